// A capture read a block at a time: a SigMF recording (cf32_le, ci16_le),
// a raw file of interleaved I/Q (16-bit signed or 32-bit float, little
// endian, or our own offset-binary 16-bit raw file), or any other waveform
// file the verification reads (MAT, export file), which is held whole.
// Raw and SigMF samples stay on disk: any range is read on demand, from
// several threads at once, so that a capture of gigabytes is analysed with
// bounded memory.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "runtime/types.h"

namespace tarvio::analyze {

enum class SampleFormat { Auto, Cs16, Cf32, OurRaw };

// "cs16", "ci16", "sc16", "i16" are 16-bit signed I/Q; "cf32", "f32",
// "fc32" 32-bit float I/Q; "raw" our offset-binary raw file. Throws
// std::invalid_argument for anything else.
SampleFormat parse_sample_format(const std::string& text);

class CaptureSource {
 public:
  // Opens `path`; `rate` (0: the file's own) and `format` (Auto: from the
  // file) as the command line gives them. Throws std::runtime_error with a
  // clear reason: unreadable, a directory, empty, no sample rate, a rate
  // outside the capture range, an unknown SigMF type, a metadata file too
  // large to be one.
  CaptureSource(const std::string& path, double rate, SampleFormat format);
  // Samples already in memory (a program's own array), at `rate`; `kind`
  // names them in reports.
  CaptureSource(CVec samples, double rate, std::string kind);
  ~CaptureSource();
  CaptureSource(const CaptureSource&) = delete;
  CaptureSource& operator=(const CaptureSource&) = delete;

  size_t size() const { return samples_; }
  double sample_rate() const { return rate_; }
  const std::string& kind() const { return kind_; }
  double carrier_hz() const { return carrierHz_; }
  // Reads samples [from, from + n) (clipped to the capture) into out,
  // which is resized to what was read. Samples that are not numbers are
  // read as 0 and counted in the return value. Safe from several threads.
  size_t read(size_t from, size_t n, CVec& out) const;

 private:
  std::string path_, kind_;
  int fd_ = -1;
  size_t offset_ = 0;  // first sample byte in the data file
  size_t samples_ = 0;
  size_t bytesPerSample_ = 0;
  SampleFormat format_ = SampleFormat::Auto;
  double rate_ = 0, carrierHz_ = 0;
  CVec whole_;  // files read whole (MAT, export)
};

}  // namespace tarvio::analyze
