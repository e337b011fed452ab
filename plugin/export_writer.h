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
// the file closed without error. The chunk records, marker bytes and the two
// residual blocks go to anonymous scratch files in the same folder (see
// export_files.h), which vanish when closed. The destructor removes the
// partial output unless it was committed, so an export that stops early
// leaves neither temporary files nor a partial output behind, and the old
// output, if any, stays as it was. The first failure is kept as a readable
// reason (error()).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
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
  const std::string& partial_name() const { return partial_name_; }

 protected:
  // Encodes one scaled chunk: 16-bit samples, residuals and marker bytes;
  // appends samples to the output, residuals to their files and marker bytes
  // to `marker_file`.
  bool encode_chunk(const double* i, const double* q, const uint8_t* markers, std::size_t n, uint32_t rows,
                    std::FILE* marker_file, bool last);
  // Writes the header record to the output.
  bool write_header(uint64_t n, uint32_t m);
  // Appends a whole scratch file to the output, then closes it.
  bool append_scratch(std::FILE*& f, const char* what);
  // Appends the residual scratch files (I, then Q) to the output.
  bool append_residuals();
  // Closes the output and renames it into place.
  bool commit();
  // Writes n bytes to f; a short write fails the export with the reason.
  bool write_bytes(std::FILE* f, const uint8_t* data, std::size_t n, const char* what);

  ExportHeader header_;
  std::string option_;

 private:
  std::string file_name_, partial_name_;
  std::FILE* out_ = nullptr;
  std::FILE* resi_ = nullptr;
  std::FILE* resq_ = nullptr;
  int cleanup_handle_ = -1;
  bool ok_ = true;
  bool committed_ = false;
  std::string error_;
  // Encoded-output buffers, reused from chunk to chunk.
  std::vector<double> si_, sq_;
  std::vector<uint8_t> sample_bytes_, marker_bytes_, resi_bytes_, resq_bytes_;
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
  std::vector<uint8_t> record_;
  std::vector<double> ri_, rq_;
};

}  // namespace tarvio
