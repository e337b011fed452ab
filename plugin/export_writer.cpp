// The export writer classes: chunk file, peak tracking, second-pass scaling
// to 16-bit samples with residuals, marker bytes and file assembly.
#include "export_writer.h"

#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

#include "export_files.h"
#include "export_layout.h"
#include "runtime/output_target.h"

namespace tarvio {

namespace el = exportfile;

namespace {

// The largest |x[k]| of n values and `peak`, NaN never raising it (as
// "if (|x| > peak) peak = |x|" does, in any order). Two SSE2 lanes on
// x86-64: MAXPD(a, b) is "a > b ? a : b", the same comparison.
inline double abs_peak(const double* x, std::size_t n, double peak) {
  std::size_t k = 0;
#if defined(__SSE2__)
  const __m128d sign = _mm_set1_pd(-0.0);
  __m128d m0 = _mm_set1_pd(peak), m1 = m0;
  for (; k + 4 <= n; k += 4) {
    m0 = _mm_max_pd(_mm_andnot_pd(sign, _mm_loadu_pd(x + k)), m0);
    m1 = _mm_max_pd(_mm_andnot_pd(sign, _mm_loadu_pd(x + k + 2)), m1);
  }
  double lanes[4];
  _mm_storeu_pd(lanes, m0);
  _mm_storeu_pd(lanes + 2, m1);
  for (double v : lanes) peak = v > peak ? v : peak;
#endif
  for (; k < n; ++k) {
    const double a = std::fabs(x[k]);
    peak = a > peak ? a : peak;
  }
  return peak;
}

// The 16-bit sample and the 32-bit residual of one scaled component v (the
// scaled value times 32767): the sample is v truncated toward zero, out-of-
// range values saturated and NaN giving 0; the residual is (v - sample) in
// units of 1/2147483647, which |v - sample| < 1 keeps in range, and 0 for a
// saturated or non-finite v. Written as selects, not branches, so that the
// loop over a chunk vectorises (this file is built without floating-point
// trap semantics for that; the values are the same).
inline void quantise(double v, int32_t& sample, int32_t& residual) {
  double c = v < -32768.0 ? -32768.0 : v;
  c = c > 32767.0 ? 32767.0 : c;
  c = v == v ? c : 0.0;
  const int32_t t = int32_t(c);
  double r = (v - double(t)) * 2147483647.0;
  r = r > -2147483648.0 ? r : 0.0;
  r = r < 2147483648.0 ? r : 0.0;
  sample = t;
  residual = int32_t(r);
}

// Scaled components of a chunk into samples and residuals; on processors
// with AVX2 four at a time (no fused multiply-add, so the same values).
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target_clones("avx2", "default")))
#endif
void quantise_row(const double* __restrict s, std::size_t n, int32_t* __restrict samples,
                  int32_t* __restrict residuals) {
  for (std::size_t k = 0; k < n; ++k) quantise(s[k] * 32767.0, samples[k], residuals[k]);
}

// out[k] = x[k] / d; on processors with AVX2 four at a time (a division is
// exact-rounded either way).
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target_clones("avx2", "default")))
#endif
void divide_row(const double* __restrict x, std::size_t n, double d, double* __restrict out) {
  for (std::size_t k = 0; k < n; ++k) out[k] = x[k] / d;
}

// Little-endian 32-bit words into bytes.
void put_words_le(const uint32_t* words, std::size_t n, uint8_t* out) {
  if (n == 0) return;  // empty buffers may have no storage at all
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(out, words, 4 * n);
  } else {
    for (std::size_t k = 0; k < n; ++k) el::put_u32le(out + 4 * k, words[k]);
  }
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
    : header_(header), option_(option), file_name_(file_name), scratch_near_(file_name) {
  std::string why;
  output_target::Target target;
  if (!output_target::resolve(file_name_, target, why)) {
    fail("cannot write '" + file_name_ + "': " + why);
    return;
  }
  if (target.way == output_target::Way::kInPlace) {
    // A device or FIFO takes the bytes once and in order, while the export
    // is written in places and may begin again: it is assembled in a
    // scratch file of the temporary folder and copied over when complete.
    in_place_ = target.path;
    std::error_code ec;
    const std::filesystem::path tmp = std::filesystem::temp_directory_path(ec);
    scratch_near_ = ((ec ? std::filesystem::path("/tmp") : tmp) / "export").string();
    out_ = exportfiles::open_scratch(scratch_near_, why);
    if (out_ == nullptr) {
      fail("cannot create a temporary file for '" + file_name_ + "': " + why);
      return;
    }
  } else {
    out_ = exportfiles::create_unique(target.path, ".partial", false, partial_name_, cleanup_handle_, why);
    if (out_ == nullptr) {
      fail("cannot create '" + file_name_ + "': " + why);
      return;
    }
    replace_name_ = target.path;
  }
  if (header_.ResidualMode != 0) {
    resi_ = exportfiles::open_scratch(scratch_near_, why);
    if (resi_ != nullptr) resq_ = exportfiles::open_scratch(scratch_near_, why);
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

void ExportWriterBase::encode_buffers(EncodeBuffers& b, const double* i, const double* q, const uint8_t* markers,
                                      std::size_t n, uint32_t rows, bool last) {
  b.si.resize(n);
  b.sq.resize(n);
  n = Scale(i, q, b.si.data(), b.sq.data(), n);
  b.samples.resize(n * el::kSampleBytes);
  b.markers.resize(n * el::kMarkerBytes);
  b.resi.resize(n * el::kResidualBytes);
  b.resq.resize(n * el::kResidualBytes);
  b.ti.resize(n);
  b.tq.resize(n);
  b.ri.resize(n);
  b.rq.resize(n);
  quantise_row(b.si.data(), n, b.ti.data(), b.ri.data());
  quantise_row(b.sq.data(), n, b.tq.data(), b.rq.data());
  b.words.resize(n);
  for (std::size_t k = 0; k < n; ++k) b.words[k] = uint32_t(b.ri[k]);
  put_words_le(b.words.data(), n, b.resi.data());
  for (std::size_t k = 0; k < n; ++k) b.words[k] = uint32_t(b.rq[k]);
  put_words_le(b.words.data(), n, b.resq.data());
  // Sample words: I high, I low, Q high, Q low.
  const int32_t* ti = b.ti.data();
  const int32_t* tq = b.tq.data();
  uint32_t* words = b.words.data();
  for (std::size_t k = 0; k < n; ++k) {
    const uint32_t ui = uint16_t(ti[k]), uq = uint16_t(tq[k]);
    words[k] = (ui >> 8) | ((ui & 0xFFu) << 8) | ((uq >> 8) << 16) | ((uq & 0xFFu) << 24);
  }
  put_words_le(words, n, b.samples.data());
  const uint32_t used_rows = std::min<uint32_t>(rows, 4);
  uint8_t* mb = b.markers.data();
  if (rows == 2) {
    for (std::size_t k = 0; k < n; ++k)
      mb[k] = uint8_t((markers[2 * k] != 0 ? 1u : 0u) | (markers[2 * k + 1] != 0 ? 2u : 0u));
  } else {
    for (std::size_t k = 0; k < n; ++k) {
      uint8_t m = 0;
      for (uint32_t r = 0; r < used_rows; ++r)
        if (markers[k * rows + r] != 0) m = uint8_t(m | (1u << r));
      mb[k] = m;
    }
  }
  EncodeSamples(b.samples, n, last);
  EncodeMarkers(b.markers, n, last);
}

bool ExportWriterBase::encode_chunk(const double* i, const double* q, const uint8_t* markers, std::size_t n,
                                    uint32_t rows, std::FILE* marker_file, bool last) {
  if (!ok_) return false;
  encode_buffers(bufs_, i, q, markers, n, rows, last);
  write_bytes(out_, bufs_.samples.data(), bufs_.samples.size(), "the export file") &&
      write_bytes(marker_file, bufs_.markers.data(), bufs_.markers.size(), "the marker bytes") &&
      (resi_ == nullptr || write_bytes(resi_, bufs_.resi.data(), bufs_.resi.size(), "the residuals")) &&
      (resq_ == nullptr || write_bytes(resq_, bufs_.resq.data(), bufs_.resq.size(), "the residuals"));
  return ok_;
}

bool ExportWriterBase::write_at(const std::vector<uint8_t>& bytes, uint64_t offset) const {
  if (out_ == nullptr) return false;
  const int fd = fileno(out_);
  const uint8_t* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t w = ::pwrite(fd, p, left, static_cast<off_t>(offset));
    if (w < 0 && errno == EINTR) continue;
    if (w == 0) errno = ENOSPC;  // no progress: as a full device
    if (w <= 0) return false;
    p += w;
    left -= std::size_t(w);
    offset += uint64_t(w);
  }
  return true;
}

std::size_t ExportWriterBase::write_header_in_place(uint64_t n, uint32_t m) {
  if (!ok_) return 0;
  std::vector<uint8_t> bytes;
  EncodeHeader(bytes, n, m);
  return write_at(bytes, 0) ? bytes.size() : 0;
}

bool ExportWriterBase::encode_chunk_in_place(EncodeBuffers& b, const double* i, const double* q, const uint8_t* markers,
                                             std::size_t n, uint32_t rows, uint64_t first, uint64_t total,
                                             std::size_t header_bytes, bool last) {
  if (!ok_) return false;
  encode_buffers(b, i, q, markers, n, rows, last);
  // The blocks' places follow from the sample total; an encoding that
  // changed a block's size would not fit them.
  const bool residuals = header_.ResidualMode != 0;
  if (b.samples.size() != n * el::kSampleBytes || b.markers.size() != n * el::kMarkerBytes) {
    errno = 0;  // not a write: the encoding changed a block's size
    return false;
  }
  const uint64_t h = header_bytes;
  const uint64_t markers_at = h + total * el::kSampleBytes;
  const uint64_t resi_at = markers_at + total * el::kMarkerBytes;
  const uint64_t resq_at = resi_at + total * el::kResidualBytes;
  return write_at(b.samples, h + first * el::kSampleBytes) &&
         write_at(b.markers, markers_at + first * el::kMarkerBytes) &&
         (!residuals || (write_at(b.resi, resi_at + first * el::kResidualBytes) &&
                         write_at(b.resq, resq_at + first * el::kResidualBytes)));
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

bool ExportWriterBase::copy_in_place() {
  const int to = output_target::open_in_place(in_place_);
  if (to < 0) {
    fail("cannot open '" + file_name_ + "': " + exportfiles::errno_text());
    return false;
  }
  const int from = fileno(out_);
  std::vector<uint8_t> buf(1 << 20);
  uint64_t offset = 0;
  for (;;) {
    const ssize_t got = ::pread(from, buf.data(), buf.size(), static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      fail("cannot read back the export of '" + file_name_ + "': " + exportfiles::errno_text());
      break;
    }
    if (got == 0) break;
    offset += uint64_t(got);
    const uint8_t* p = buf.data();
    std::size_t left = std::size_t(got);
    while (left > 0) {
      const ssize_t w = ::write(to, p, left);
      if (w < 0 && errno == EINTR) continue;
      if (w == 0) errno = ENOSPC;  // no progress: as a full device
      if (w <= 0) {
        fail("cannot write the export file '" + file_name_ + "': " + exportfiles::errno_text());
        break;
      }
      p += w;
      left -= std::size_t(w);
    }
    if (!ok_) break;
  }
  if (::close(to) != 0 && ok_) fail("cannot write the export file '" + file_name_ + "': " + exportfiles::errno_text());
  close_file(out_);
  return ok_;
}

bool ExportWriterBase::commit() {
  if (!ok_) return false;
  if (std::fflush(out_) != 0 || std::ferror(out_)) {
    fail("cannot write the export file '" + file_name_ + "': " + exportfiles::errno_text());
    return false;
  }
  if (!in_place_.empty()) {
    if (!copy_in_place()) return false;
    committed_ = true;
    return true;
  }
  if (!close_file(out_)) {
    fail("cannot write the export file '" + file_name_ + "': " + exportfiles::errno_text());
    return false;
  }
  if (std::rename(partial_name_.c_str(), replace_name_.c_str()) != 0) {
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
  if (scale_ > 0) {
    divide_row(i, n, scale_, si);
    divide_row(q, n, scale_, sq);
  } else {
    std::copy(i, i + n, si);
    std::copy(q, q + n, sq);
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
  tmp_ = exportfiles::open_scratch(scratch_near(), why);
  if (tmp_ == nullptr) fail("cannot create a temporary file beside '" + file_name() + "': " + why);
  return ok();
}

bool TwoPassExportWriter::BeginKnown(uint32_t marker_rows, uint64_t total, double peak) {
  if ((begun_ && !mismatch_) || !ok()) return false;
  begun_ = true;
  known_ = true;
  mismatch_ = false;
  lane_.reset();
  peak_ = 0;
  total_ = 0;
  rows_ = marker_rows;
  given_total_ = total;
  scale_ = peak > 0 && std::isfinite(peak) ? peak : 0;
  header_bytes_ = write_header_in_place(total, marker_rows);
  if (header_bytes_ == 0 && ok())
    fail("cannot write the export file '" + file_name() + "': " + exportfiles::errno_text());
  return ok();
}

bool TwoPassExportWriter::Lane::Write(uint64_t first, const double* i, const double* q, const uint8_t* markers,
                                      std::size_t n) {
  TwoPassExportWriter& w = w_;
  if (failed_ || !w.known_ || !w.begun_ || w.finished_ || w.mismatch_ || first + n > w.given_total_) {
    failed_ = true;
    return false;
  }
  if (!w.encode_chunk_in_place(bufs_, i, q, markers, n, w.rows_, first, w.given_total_, w.header_bytes_,
                               first + n == w.given_total_)) {
    errno_ = errno;  // this thread's: why the write failed
    failed_ = true;
    return false;
  }
  peak_ = abs_peak(q, n, abs_peak(i, n, peak_));
  written_ += n;
  return true;
}

bool TwoPassExportWriter::FinishLanes(const std::vector<const Lane*>& lanes) {
  if (!known_ || !begun_ || finished_ || mismatch_ || !ok()) return false;
  uint64_t written = 0;
  double peak = 0;
  for (const Lane* l : lanes) {
    if (l->failed_) {
      fail(l->errno_ != 0 ? "cannot write the export file '" + file_name() + "': " + std::strerror(l->errno_)
                          : "the export of '" + file_name() + "' was not written whole");
      return false;
    }
    written += l->written_;
    peak = l->peak_ > peak ? l->peak_ : peak;
  }
  total_ = written;
  peak_ = peak;
  if (written != given_total_) {
    fail("the export of '" + file_name() + "' received " + std::to_string(written) + " of " +
         std::to_string(given_total_) + " samples");
    return false;
  }
  // The scale used must be the one the waveform's own peak gives.
  const double seen = peak_ > 0 && std::isfinite(peak_) ? peak_ : 0;
  if (seen != scale_) {
    mismatch_ = true;
    return false;
  }
  if (!commit()) return false;
  finished_ = true;
  return true;
}

bool TwoPassExportWriter::WriteChunk(const double* i, const double* q, const uint8_t* markers, std::size_t n,
                                     bool last) {
  if (known_) {
    if (!begun_ || finished_ || mismatch_ || !ok()) return false;
    if (!lane_) lane_ = std::make_unique<Lane>(*this);
    if (last && total_ + n != given_total_) {
      fail("the export of '" + file_name() + "' received " + std::to_string(total_ + n) + " of " +
           std::to_string(given_total_) + " samples");
      return false;
    }
    if (!lane_->Write(total_, i, q, markers, n)) {
      fail(lane_->errno_ != 0 ? "cannot write the export file '" + file_name() + "': " + std::strerror(lane_->errno_)
                              : "the export of '" + file_name() + "' was not written whole");
      return false;
    }
    total_ += n;
    if (!last) return true;
    const bool done = FinishLanes({lane_.get()});
    lane_.reset();
    return done;
  }
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
  mkr_ = exportfiles::open_scratch(scratch_near(), why);
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
