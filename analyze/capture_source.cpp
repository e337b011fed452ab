// Block-wise reading of captured samples.
#include "analyze/capture_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "files/stored_waveform.h"
#include "files/waveform_file.h"
#include "runtime/input_file.h"
#include "verify/file_views.h"

namespace tarvio::analyze {

namespace {

bool ends_with(const std::string& s, const std::string& e) {
  return s.size() >= e.size() && s.compare(s.size() - e.size(), e.size(), e) == 0;
}

std::string rate_text(double hz) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%g", hz);
  return buf;
}

// A SigMF metadata file is a few kilobytes; one of more than this is not
// parsed (its JSON would be held whole).
constexpr off_t kMaxMetaBytes = 16 << 20;

}  // namespace

SampleFormat parse_sample_format(const std::string& t) {
  if (t == "cs16" || t == "ci16" || t == "sc16" || t == "i16" || t == "ci16_le") return SampleFormat::Cs16;
  if (t == "cf32" || t == "f32" || t == "fc32" || t == "cf32_le") return SampleFormat::Cf32;
  if (t == "raw") return SampleFormat::OurRaw;
  throw std::invalid_argument("--format " + t + ": cs16 (16-bit signed I/Q), cf32 (32-bit float I/Q) or raw");
}

CaptureSource::CaptureSource(const std::string& path, double rate, SampleFormat format) : path_(path) {
  check_input_file(path);
  std::string data = path;
  const bool sigmf = ends_with(path, ".sigmf-meta") || ends_with(path, ".sigmf-data") || ends_with(path, ".sigmf");
  if (sigmf) {
    std::string base = path;
    for (const char* e : {".sigmf-meta", ".sigmf-data", ".sigmf"})
      if (ends_with(base, e)) base = base.substr(0, base.size() - std::strlen(e));
    const std::string meta_path = base + ".sigmf-meta";
    check_input_file(meta_path);
    struct stat ms {};
    if (::stat(meta_path.c_str(), &ms) == 0 && ms.st_size > kMaxMetaBytes)
      throw std::runtime_error("the SigMF metadata '" + meta_path + "' is " + std::to_string(ms.st_size) +
                               " bytes long, too large for a metadata file");
    const SigmfMeta meta = read_sigmf_meta(meta_path);
    if (meta.type == "cf32_le")
      format_ = SampleFormat::Cf32;
    else if (meta.type == "ci16_le")
      format_ = SampleFormat::Cs16;
    else
      throw std::runtime_error("the SigMF recording '" + meta_path + "' holds " +
                               (meta.type.empty() ? std::string("no core:datatype") : "samples of type " + meta.type) +
                               "; cf32_le and ci16_le are supported");
    if (meta.rate != 0) {
      const std::string why = capture_rate_problem(meta.rate);
      if (!why.empty())
        throw std::runtime_error("'" + meta_path + "': core:sample_rate " + rate_text(meta.rate) + " Hz is " + why);
      rate_ = meta.rate;
    }
    data = base + ".sigmf-data";
    check_input_file(data);
    kind_ = "SigMF recording (" + meta.type + ")";
  } else if (format != SampleFormat::Auto) {
    format_ = format;
    kind_ = format == SampleFormat::Cs16 ? "raw cs16 capture" : format == SampleFormat::Cf32 ? "raw cf32 capture"
                                                                                             : "raw file";
  } else if (!ends_with(path, ".mat")) {
    // Without a format: an export file by its magic, else our raw file.
    char magic[8] = {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);  // a FIFO must not wait for a writer
    const ssize_t got = fd >= 0 ? ::pread(fd, magic, 8, 0) : -1;
    if (fd >= 0) ::close(fd);
    if (got != 8 || std::string(magic, 8) != "TVWFXPRT") {
      format_ = SampleFormat::OurRaw;
      kind_ = "raw file";
    }
  }
  if (format_ == SampleFormat::Auto) {
    WaveformFile w = read_waveform_file(path);
    whole_ = std::move(w.samples);
    samples_ = whole_.size();
    rate_ = w.sampleRate;
    carrierHz_ = std::isfinite(w.carrierHz) && w.carrierHz > 0 ? w.carrierHz : 0;
    kind_ = w.kind;
  } else {
    fd_ = ::open(data.c_str(), O_RDONLY | O_NONBLOCK);  // a FIFO must not wait; refused below
    if (fd_ < 0) throw std::runtime_error(data + ": " + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd_);
      fd_ = -1;
      throw std::runtime_error(data + ": not a regular file");
    }
    bytesPerSample_ = format_ == SampleFormat::Cf32 ? 8 : 4;
    // A partial last sample (a cut file) is left out.
    samples_ = static_cast<size_t>(st.st_size) / bytesPerSample_;
  }
  if (rate > 0) rate_ = rate;
  if (samples_ == 0) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    throw std::runtime_error("'" + path + "' holds no samples");
  }
  if (!(rate_ > 0)) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    throw verify::MissingSampleRate("'" + path + "' does not carry its sample rate: give it with --sample-rate HZ");
  }
}

CaptureSource::CaptureSource(CVec samples, double rate, std::string kind)
    : kind_(std::move(kind)), rate_(rate), whole_(std::move(samples)) {
  samples_ = whole_.size();
  if (samples_ == 0) throw std::runtime_error("the capture holds no samples");
  if (!(rate_ > 0)) throw verify::MissingSampleRate("the capture's sample rate is not known: give it");
}

CaptureSource::~CaptureSource() {
  if (fd_ >= 0) ::close(fd_);
}

size_t CaptureSource::read(size_t from, size_t n, CVec& out) const {
  if (from >= samples_) {
    out.clear();
    return 0;
  }
  n = std::min(n, samples_ - from);
  out.resize(n);
  size_t bad = 0;
  auto keep = [&](double i, double q) {
    if (std::isfinite(i) && std::isfinite(q)) return cplx(i, q);
    ++bad;
    return cplx(0, 0);
  };
  if (fd_ < 0) {
    for (size_t k = 0; k < n; ++k) out[k] = keep(whole_[from + k].real(), whole_[from + k].imag());
    return bad;
  }
  std::vector<unsigned char> buf(n * bytesPerSample_);
  size_t done = 0;
  const off_t at = static_cast<off_t>(offset_ + from * bytesPerSample_);
  while (done < buf.size()) {
    const ssize_t r = ::pread(fd_, buf.data() + done, buf.size() - done, at + static_cast<off_t>(done));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) throw std::runtime_error("cannot read '" + path_ + "': " + std::strerror(errno));
    if (r == 0) break;  // the file shrank while being read
    done += static_cast<size_t>(r);
  }
  n = done / bytesPerSample_;
  out.resize(n);
  const unsigned char* b = buf.data();
  for (size_t k = 0; k < n; ++k, b += bytesPerSample_) {
    if (format_ == SampleFormat::Cf32) {
      float v[2];
      for (int c = 0; c < 2; ++c) {
        uint32_t u = 0;
        for (int j = 0; j < 4; ++j) u |= static_cast<uint32_t>(b[4 * c + j]) << (8 * j);
        std::memcpy(&v[c], &u, 4);
      }
      out[k] = keep(v[0], v[1]);
    } else if (format_ == SampleFormat::Cs16) {
      const auto i = static_cast<int16_t>(static_cast<uint16_t>(b[0] | b[1] << 8));
      const auto q = static_cast<int16_t>(static_cast<uint16_t>(b[2] | b[3] << 8));
      out[k] = cplx(i / 32768.0, q / 32768.0);
    } else {  // offset binary, high byte first, as files/waveform_file reads it
      const unsigned i = static_cast<unsigned>(b[0]) << 8 | b[1], q = static_cast<unsigned>(b[2]) << 8 | b[3];
      out[k] = cplx((i - 32768.0) / 32767.0, (q - 32768.0) / 32767.0);
    }
  }
  return bad;
}

}  // namespace tarvio::analyze
