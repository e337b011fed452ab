// The two-pass export writer. The first pass appends every chunk of samples
// and marker bytes to a chunk file while tracking the waveform peak; when the
// last chunk arrives the second pass reads the chunk file back, scales each
// sample by the peak, writes it as 16-bit I/Q with 32-bit residuals, and
// assembles the export file (see docs/export-file.md for its layout).
//
// Scaling: s = x / peak with peak = max |I|, |Q| over the whole waveform, so
// the largest component maps to +-32767. Each s * 32767 is truncated toward
// zero to a 16-bit integer v; the residual (s * 32767 - v) * 2147483647 is
// truncated to a 32-bit integer, so v + r / 2147483647 restores s * 32767.
//
// Files: the output is assembled under a unique temporary name in its
// folder and renamed into place only when every byte has been written and
// the file closed without error; a symbolic link is followed and the file it
// leads to replaced. A character device or FIFO is written in order once the
// export is complete in a scratch file; other kinds of target are refused
// (runtime/output_target.h). The chunk records, marker bytes and the two
// residual blocks of the two-pass path go to anonymous scratch files in the
// same folder (see export_files.h), which vanish when closed. The first
// failure is kept as a readable reason (error()).
//
// When the sample total and the peak are known before the first chunk
// (BeginKnown: a packet file whose peak was kept while it was written, or
// samples in memory), there is one pass: each chunk is scaled and encoded at
// once and its sample, marker and residual bytes are written straight to
// their final places in the output, so every byte is written once and no
// chunk, marker or residual file is needed. The peak seen is compared with
// the one given; when they differ the export is not finished and the driver
// begins again with the peak seen, so the file is always the two-pass one.
// The destructor removes the partial output unless it was committed, so an
// export that stops early leaves neither temporary files nor a partial
// output behind, and the old output, if any, stays as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "export_header.h"

namespace tarvio {

class ExportWriterBase {
 public:
  // Creates the (temporary) output file and, because the residual mode is
  // non-zero, the two residual files. Check ok() afterwards.
  ExportWriterBase(const std::string& file_name, const std::string& option, const ExportHeader& header);
  virtual ~ExportWriterBase();  // slot 0
  ExportWriterBase(const ExportWriterBase&) = delete;
  ExportWriterBase& operator=(const ExportWriterBase&) = delete;

  // Slot 1: the bytes that open the export file (the header record); n is
  // the number of samples that follow, m the caller's marker-row count.
  virtual void EncodeHeader(std::vector<uint8_t>& out, uint64_t n, uint32_t m);
  // Slot 2: scaled copies of I and Q; the base divides by the largest |I| or
  // |Q| of this chunk (unchanged when that is 0). Returns the sample count.
  virtual std::size_t Scale(const double* i, const double* q, double* si, double* sq, std::size_t n);
  // Slots 3 and 4: encode a chunk's sample bytes and marker bytes in place
  // before they are written. The stored layout is plain, so both keep the
  // bytes as they are.
  virtual void EncodeSamples(std::vector<uint8_t>& bytes, std::size_t n, bool last);
  virtual void EncodeMarkers(std::vector<uint8_t>& bytes, std::size_t n, bool last);

  bool ok() const { return ok_; }
  // Why the export failed: the file and the reason (empty while ok()).
  const std::string& error() const { return error_; }
  // Marks the export failed; the first reason given is kept.
  void fail(const std::string& reason);
  const std::string& file_name() const { return file_name_; }
  // Empty when the target is a device or FIFO (see copy_in_place()).
  const std::string& partial_name() const { return partial_name_; }

 protected:
  // Encodes one scaled chunk: 16-bit samples, residuals and marker bytes;
  // appends samples to the output, residuals to their files and marker bytes
  // to `marker_file`.
  bool encode_chunk(const double* i, const double* q, const uint8_t* markers, std::size_t n, uint32_t rows,
                    std::FILE* marker_file, bool last);
  // Work buffers of the encoding step: one set per thread that encodes.
  struct EncodeBuffers {
    std::vector<double> si, sq;
    std::vector<int32_t> ti, tq, ri, rq;
    std::vector<uint32_t> words;
    std::vector<uint8_t> samples, markers, resi, resq;
  };
  // Encodes one chunk the same way and writes its bytes in place: the chunk
  // starts at sample `first` of a waveform of `total` samples whose header
  // record takes `header_bytes`. Chunks of disjoint ranges may be written
  // from different threads, each with its own buffers; false on a failure
  // (ok() is left to the caller).
  bool encode_chunk_in_place(EncodeBuffers& b, const double* i, const double* q, const uint8_t* markers, std::size_t n,
                             uint32_t rows, uint64_t first, uint64_t total, std::size_t header_bytes, bool last);
  // Writes the header record at the start of the output; returns its size
  // (0 on failure).
  std::size_t write_header_in_place(uint64_t n, uint32_t m);
  // Writes the header record to the output.
  bool write_header(uint64_t n, uint32_t m);
  // Appends a whole scratch file to the output, then closes it.
  bool append_scratch(std::FILE*& f, const char* what);
  // Appends the residual scratch files (I, then Q) to the output.
  bool append_residuals();
  // Closes the output and renames it into place (over the file a link
  // leads to); for a device or FIFO, copies it there instead.
  bool commit();
  // A file near which scratch files are made: the output, or for a device
  // or FIFO target a name in the temporary folder.
  const std::string& scratch_near() const { return scratch_near_; }
  // Writes n bytes to f; a short write fails the export with the reason.
  bool write_bytes(std::FILE* f, const uint8_t* data, std::size_t n, const char* what);

  ExportHeader header_;
  std::string option_;

 private:
  // Streams the finished scratch output to the device or FIFO in order.
  bool copy_in_place();

  std::string file_name_, partial_name_;
  std::string replace_name_;  // the file the partial output replaces
  std::string in_place_;      // a device or FIFO written when complete
  std::string scratch_near_;
  std::FILE* out_ = nullptr;
  std::FILE* resi_ = nullptr;
  std::FILE* resq_ = nullptr;
  int cleanup_handle_ = -1;
  bool ok_ = true;
  bool committed_ = false;
  std::string error_;
  // Scales and encodes a chunk into `b` (hooks included).
  void encode_buffers(EncodeBuffers& b, const double* i, const double* q, const uint8_t* markers, std::size_t n,
                      uint32_t rows, bool last);
  bool write_at(const std::vector<uint8_t>& bytes, uint64_t offset) const;

  // Encoded-output buffers, reused from chunk to chunk.
  EncodeBuffers bufs_;
};

class TwoPassExportWriter : public ExportWriterBase {
 public:
  TwoPassExportWriter(const std::string& file_name, const std::string& option, const ExportHeader& header);
  ~TwoPassExportWriter() override;

  // Divides by the stored waveform peak (unchanged when it is not positive).
  // The encoding hooks (slots 1, 3, 4) are the base's plain ones.
  std::size_t Scale(const double* i, const double* q, double* si, double* sq, std::size_t n) override;

  // Starts an export with `marker_rows` marker bytes per sample; refused
  // when already begun or when a file could not be created.
  bool Begin(uint32_t marker_rows);
  // Starts a one-pass export of `total` samples whose waveform peak is
  // `peak` (see above). Refused when already begun, unless the last try
  // ended in peak_mismatch().
  bool BeginKnown(uint32_t marker_rows, uint64_t total, double peak);
  // After a one-pass export: the peak seen differed from the one given, so
  // nothing was finished; begin again with peak().
  bool peak_mismatch() const { return mismatch_; }

  // A part of a one-pass export written by one thread: chunks of a range of
  // samples that no other lane writes. Lanes keep their own buffers and
  // peak; FinishLanes checks and commits what they wrote together.
  class Lane {
   public:
    explicit Lane(TwoPassExportWriter& w) : w_(w) {}
    // Encodes n samples starting at sample `first` and writes them in place.
    bool Write(uint64_t first, const double* i, const double* q, const uint8_t* markers, std::size_t n);

   private:
    friend class TwoPassExportWriter;
    TwoPassExportWriter& w_;
    EncodeBuffers bufs_;
    double peak_ = 0;
    uint64_t written_ = 0;
    bool failed_ = false;
    int errno_ = 0;  // of the write that failed, if one did
  };
  // After every lane has written: true when they wrote the announced total,
  // their peak is the one given and the output is in place. On a different
  // peak, peak_mismatch() and peak() tell the driver to begin again.
  bool FinishLanes(const std::vector<const Lane*>& lanes);
  // First pass: appends the chunk (n samples, n * marker_rows marker bytes,
  // column by column) to the chunk file; on the last chunk runs the second
  // pass. False on any I/O failure or when not begun.
  bool WriteChunk(const double* i, const double* q, const uint8_t* markers, std::size_t n, bool last);

  bool finished() const { return finished_; }
  double peak() const { return peak_; }
  uint64_t sample_total() const { return total_; }

 private:
  bool second_pass();

  std::FILE* tmp_ = nullptr;
  std::FILE* mkr_ = nullptr;
  uint32_t rows_ = 0;
  uint64_t total_ = 0;
  double peak_ = 0;
  double scale_ = 0;
  bool begun_ = false;
  bool finished_ = false;
  bool known_ = false;     // one-pass export
  bool mismatch_ = false;  // its peak was not the one given
  uint64_t given_total_ = 0;
  std::size_t header_bytes_ = 0;
  std::unique_ptr<Lane> lane_;  // the chunks given to WriteChunk in a one-pass export
  std::vector<uint8_t> record_;
  std::vector<double> ri_, rq_;
};

}  // namespace tarvio
