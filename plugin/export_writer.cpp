// The export writer classes: chunk file, peak tracking, second-pass scaling
// to 16-bit samples with residuals, marker bytes and file assembly.
#include "export_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "export_files.h"
#include "export_layout.h"

namespace tarvio {

namespace el = exportfile;

namespace {

// Truncation toward zero into a 16-bit integer: in-range values convert
// directly (the conversion truncates); out-of-range values saturate and NaN
// gives 0.
inline int16_t trunc16(double v) {
  if (v >= -32768.0 && v <= 32767.0) return int16_t(v);
  return v > 0 ? int16_t(32767) : v < 0 ? int16_t(-32768) : int16_t(0);
}

// The residual of v over its truncated integer t, in units of 1/2147483647;
// |v - t| < 1 keeps it in range, and a non-finite v gives 0.
inline int32_t residual32(double v, int16_t t) {
  const double r = (v - t) * 2147483647.0;
  return r > -2147483648.0 && r < 2147483648.0 ? int32_t(r) : 0;
}

bool close_file(std::FILE*& f) {
  if (f == nullptr) return true;
  const bool good = std::fclose(f) == 0;
  f = nullptr;
  return good;
}

void put_text(uint8_t* dst, std::size_t size, const std::string& text) {
  std::memset(dst, 0, size);
  std::memcpy(dst, text.data(), std::min(size, text.size()));
}

}  // namespace

// ---- ExportWriterBase -----------------------------------------------------

ExportWriterBase::ExportWriterBase(const std::string& file_name, const std::string& option, const ExportHeader& header)
    : header_(header), option_(option), file_name_(file_name) {
  std::string why;
  out_ = exportfiles::create_unique(file_name_, ".partial", false, partial_name_, cleanup_handle_, why);
  if (out_ == nullptr) {
    fail("cannot create '" + file_name_ + "': " + why);
    return;
  }
  if (header_.ResidualMode != 0) {
    resi_ = exportfiles::open_scratch(file_name_, why);
    if (resi_ != nullptr) resq_ = exportfiles::open_scratch(file_name_, why);
    if (resi_ == nullptr || resq_ == nullptr)
      fail("cannot create a temporary file beside '" + file_name_ + "': " + why);
  }
}

ExportWriterBase::~ExportWriterBase() {
  close_file(out_);
  close_file(resi_);
  close_file(resq_);
  if (!committed_ && !partial_name_.empty()) std::remove(partial_name_.c_str());
  exportfiles::host_cleanup_forget(cleanup_handle_);
}

void ExportWriterBase::fail(const std::string& reason) {
  if (ok_) error_ = reason;
  ok_ = false;
}

bool ExportWriterBase::write_bytes(std::FILE* f, const uint8_t* data, std::size_t n, const char* what) {
  if (n == 0 || std::fwrite(data, 1, n, f) == n) return true;
  fail(std::string("cannot write ") + what + " of '" + file_name_ + "': " + exportfiles::errno_text());
  return false;
}

void ExportWriterBase::EncodeHeader(std::vector<uint8_t>& out, uint64_t n, uint32_t m) {
  out.assign(el::kHeaderSize, 0);
  uint8_t* p = out.data();
  std::memcpy(p + el::kOffMagic, el::kMagic, sizeof el::kMagic);
  el::put_u32le(p + el::kOffHeaderSize, uint32_t(el::kHeaderSize));
  el::put_u32le(p + el::kOffVersion, el::kLayoutVersion);
  el::put_u64le(p + el::kOffSampleCount, n);
  el::put_u32le(p + el::kOffMarkerRows, m);
  el::put_u32le(p + el::kOffResidualMode, uint32_t(header_.ResidualMode));
  el::put_f64le(p + el::kOffSampleRate, header_.SampleRate);
  el::put_f64le(p + el::kOffFrequency, header_.Frequency);
  el::put_f64le(p + el::kOffScaling, header_.Scaling);
  el::put_f64le(p + el::kOffBandwidth, header_.Bandwidth);
  el::put_f64le(p + el::kOffReserved1, header_.Reserved1);
  el::put_f64le(p + el::kOffModAtten, header_.ModAtten);
  p[el::kOffReserved2] = uint8_t(header_.Reserved2);
  p[el::kOffReserved3] = uint8_t(header_.Reserved3);
  p[el::kOffReserved5] = uint8_t(header_.Reserved5);
  p[el::kOffRFBlankMarker] = uint8_t(header_.RFBlankMarker);
  el::put_u16le(p + el::kOffReserved4, uint16_t(header_.Reserved4));
  el::put_u16le(p + el::kOffPolarityMask, header_.MarkerPolarityMask);
  put_text(p + el::kOffOption, el::kOptionBytes, option_);
  put_text(p + el::kOffComment, el::kCommentBytes, header_.Comment);
}

std::size_t ExportWriterBase::Scale(const double* i, const double* q, double* si, double* sq, std::size_t n) {
  double peak = 0;
  for (std::size_t k = 0; k < n; ++k) peak = std::max({peak, std::fabs(i[k]), std::fabs(q[k])});
  for (std::size_t k = 0; k < n; ++k) {
    si[k] = peak > 0 ? i[k] / peak : i[k];
    sq[k] = peak > 0 ? q[k] / peak : q[k];
  }
  return n;
}

void ExportWriterBase::EncodeSamples(std::vector<uint8_t>& bytes, std::size_t n, bool last) {
  (void)bytes, (void)n, (void)last;
}

void ExportWriterBase::EncodeMarkers(std::vector<uint8_t>& bytes, std::size_t n, bool last) {
  (void)bytes, (void)n, (void)last;
}

bool ExportWriterBase::write_header(uint64_t n, uint32_t m) {
  std::vector<uint8_t> bytes;
  EncodeHeader(bytes, n, m);
  return ok_ && write_bytes(out_, bytes.data(), bytes.size(), "the export file");
}

bool ExportWriterBase::encode_chunk(const double* i, const double* q, const uint8_t* markers, std::size_t n,
                                    uint32_t rows, std::FILE* marker_file, bool last) {
  if (!ok_) return false;
  si_.resize(n);
  sq_.resize(n);
  n = Scale(i, q, si_.data(), sq_.data(), n);
  sample_bytes_.resize(n * el::kSampleBytes);
  marker_bytes_.resize(n * el::kMarkerBytes);
  resi_bytes_.resize(n * el::kResidualBytes);
  resq_bytes_.resize(n * el::kResidualBytes);
  const uint32_t used_rows = std::min<uint32_t>(rows, 4);
  for (std::size_t k = 0; k < n; ++k) {
    const double vi = si_[k] * 32767.0, vq = sq_[k] * 32767.0;
    const int16_t ti = trunc16(vi), tq = trunc16(vq);
    const int32_t ri = residual32(vi, ti), rq = residual32(vq, tq);
    uint8_t* s = &sample_bytes_[k * el::kSampleBytes];
    const uint16_t ui = uint16_t(ti), uq = uint16_t(tq);
    s[0] = uint8_t(ui >> 8);
    s[1] = uint8_t(ui);
    s[2] = uint8_t(uq >> 8);
    s[3] = uint8_t(uq);
    el::put_u32le(&resi_bytes_[k * el::kResidualBytes], uint32_t(ri));
    el::put_u32le(&resq_bytes_[k * el::kResidualBytes], uint32_t(rq));
    uint8_t mb = 0;
    for (uint32_t r = 0; r < used_rows; ++r)
      if (markers[k * rows + r] != 0) mb = uint8_t(mb | (1u << r));
    marker_bytes_[k] = mb;
  }
  EncodeSamples(sample_bytes_, n, last);
  EncodeMarkers(marker_bytes_, n, last);
  write_bytes(out_, sample_bytes_.data(), sample_bytes_.size(), "the export file") &&
      write_bytes(marker_file, marker_bytes_.data(), marker_bytes_.size(), "the marker bytes") &&
      (resi_ == nullptr || write_bytes(resi_, resi_bytes_.data(), resi_bytes_.size(), "the residuals")) &&
      (resq_ == nullptr || write_bytes(resq_, resq_bytes_.data(), resq_bytes_.size(), "the residuals"));
  return ok_;
}

bool ExportWriterBase::append_scratch(std::FILE*& f, const char* what) {
  if (!ok_) return false;
  if (f == nullptr || std::fflush(f) != 0 || std::fseek(f, 0, SEEK_SET) != 0) {
    fail(std::string("cannot read back ") + what + " of '" + file_name_ + "': " + exportfiles::errno_text());
    close_file(f);
    return false;
  }
  std::vector<uint8_t> buf(1 << 20);
  std::size_t got = 0;
  while (ok_ && (got = std::fread(buf.data(), 1, buf.size(), f)) > 0)
    write_bytes(out_, buf.data(), got, "the export file");
  if (std::ferror(f)) fail(std::string("cannot read back ") + what + " of '" + file_name_ + "'");
  close_file(f);
  return ok_;
}

bool ExportWriterBase::append_residuals() {
  if (header_.ResidualMode == 0) return ok_;
  return append_scratch(resi_, "the residuals") && append_scratch(resq_, "the residuals");
}

bool ExportWriterBase::commit() {
  if (!ok_) return false;
  if (std::fflush(out_) != 0 || std::ferror(out_)) {
    fail("cannot write the export file '" + file_name_ + "': " + exportfiles::errno_text());
    return false;
  }
  if (!close_file(out_)) {
    fail("cannot write the export file '" + file_name_ + "': " + exportfiles::errno_text());
    return false;
  }
  if (std::rename(partial_name_.c_str(), file_name_.c_str()) != 0) {
    fail("cannot replace '" + file_name_ + "': " + exportfiles::errno_text());
    return false;
  }
  committed_ = true;
  exportfiles::host_cleanup_forget(cleanup_handle_);
  cleanup_handle_ = -1;
  return true;
}

// ---- TwoPassExportWriter --------------------------------------------------

TwoPassExportWriter::TwoPassExportWriter(const std::string& file_name, const std::string& option,
                                         const ExportHeader& header)
    : ExportWriterBase(file_name, option, header) {}

TwoPassExportWriter::~TwoPassExportWriter() {
  close_file(tmp_);
  close_file(mkr_);
}

std::size_t TwoPassExportWriter::Scale(const double* i, const double* q, double* si, double* sq, std::size_t n) {
  for (std::size_t k = 0; k < n; ++k) {
    si[k] = scale_ > 0 ? i[k] / scale_ : i[k];
    sq[k] = scale_ > 0 ? q[k] / scale_ : q[k];
  }
  return n;
}

bool TwoPassExportWriter::Begin(uint32_t marker_rows) {
  if (begun_ || !ok()) return false;
  begun_ = true;
  peak_ = 0;
  total_ = 0;
  rows_ = marker_rows;
  std::string why;
  tmp_ = exportfiles::open_scratch(file_name(), why);
  if (tmp_ == nullptr) fail("cannot create a temporary file beside '" + file_name() + "': " + why);
  return ok();
}

bool TwoPassExportWriter::WriteChunk(const double* i, const double* q, const uint8_t* markers, std::size_t n,
                                     bool last) {
  if (!begun_ || finished_ || !ok() || tmp_ == nullptr) return false;
  if (n > std::numeric_limits<uint32_t>::max()) {
    fail("a chunk of " + std::to_string(n) + " samples is larger than a chunk record holds");
    return false;
  }
  const std::size_t mbytes = n * rows_;
  record_.resize(4 + 16 * n + mbytes);
  uint8_t* p = record_.data();
  el::put_u32le(p, uint32_t(n));
  p += 4;
  for (std::size_t k = 0; k < n; ++k, p += 8) el::put_f64le(p, i[k]);
  for (std::size_t k = 0; k < n; ++k, p += 8) el::put_f64le(p, q[k]);
  if (mbytes > 0) std::memcpy(p, markers, mbytes);
  if (!write_bytes(tmp_, record_.data(), record_.size(), "the chunk records")) return false;
  total_ += n;
  for (std::size_t k = 0; k < n; ++k) {
    // NaN never raises the peak: the comparison is false for it.
    if (std::fabs(i[k]) > peak_) peak_ = std::fabs(i[k]);
    if (std::fabs(q[k]) > peak_) peak_ = std::fabs(q[k]);
  }
  return last ? second_pass() : true;
}

bool TwoPassExportWriter::second_pass() {
  std::string why;
  mkr_ = exportfiles::open_scratch(file_name(), why);
  if (mkr_ == nullptr) {
    fail("cannot create a temporary file beside '" + file_name() + "': " + why);
    return false;
  }
  scale_ = peak_ > 0 && std::isfinite(peak_) ? peak_ : 0;
  if (!write_header(total_, rows_)) return false;
  if (std::fflush(tmp_) != 0 || std::fseek(tmp_, 0, SEEK_SET) != 0) {
    fail("cannot read back the chunk records of '" + file_name() + "': " + exportfiles::errno_text());
    return false;
  }
  uint64_t seen = 0;
  bool last = false;
  while (!last) {
    uint8_t head[4];
    if (std::fread(head, 1, 4, tmp_) != 4) {
      fail("the chunk records of '" + file_name() + "' are cut short");
      break;
    }
    const std::size_t n = el::get_u32le(head);
    const std::size_t body = 16 * n + n * rows_;
    record_.resize(body);
    if (body > 0 && std::fread(record_.data(), 1, body, tmp_) != body) {
      fail("the chunk records of '" + file_name() + "' are cut short");
      break;
    }
    const int next = std::fgetc(tmp_);
    last = next == EOF;
    if (!last) std::ungetc(next, tmp_);
    ri_.resize(n);
    rq_.resize(n);
    const uint8_t* p = record_.data();
    for (std::size_t k = 0; k < n; ++k, p += 8) ri_[k] = el::get_f64le(p);
    for (std::size_t k = 0; k < n; ++k, p += 8) rq_[k] = el::get_f64le(p);
    if (!encode_chunk(ri_.data(), rq_.data(), p, n, rows_, mkr_, last)) break;
    seen += n;
  }
  close_file(tmp_);
  if (ok() && seen != total_) fail("the chunk records of '" + file_name() + "' do not hold every sample");
  if (!ok() || !append_scratch(mkr_, "the marker bytes") || !append_residuals() || !commit()) return false;
  finished_ = true;
  return true;
}

}  // namespace tarvio
