// The run-long packet file writer and its fused encode-and-peak pass.
#include "instrument/packet_writer.h"

#include <fcntl.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "instrument/packet_file.h"

namespace tarvio::packet_file {

namespace {

std::string errno_text() { return std::strerror(errno); }

// Values encoded per write: 8192 doubles = 64 KiB.
constexpr size_t kPiece = 8192;

inline void put_complemented(uint8_t* p, double v) {
  uint64_t b = ~std::bit_cast<uint64_t>(v);
  if constexpr (std::endian::native == std::endian::big) b = __builtin_bswap64(b);
  std::memcpy(p, &b, 8);
}

// The largest |x[k]| of n values and `peak`, NaN never raising it (as
// "if (|x| > peak) peak = |x|" does, in any order). Two SSE2 lanes on
// x86-64: MAXPD(a, b) is "a > b ? a : b", the same comparison.
inline double abs_peak(const double* x, size_t n, double peak) {
  size_t k = 0;
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

// Encodes v[0], v[2], v[4], ... (the I or the Q values of interleaved
// complex samples) as the packet file stores them.
void encode_every_other(const double* __restrict v, size_t count, uint8_t* __restrict out) {
  for (size_t k = 0; k < count; ++k) put_complemented(out + 8 * k, v[2 * k]);
}

int open_append(const std::string& path, const char* what) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error(std::string("cannot open the ") + what + " '" + path + "': " + errno_text());
  return fd;
}

}  // namespace

void marker_bytes(const Markers& m, uint8_t* out) {
  const size_t n = m.size();
  if (m.row2.size() != n) throw std::invalid_argument("marker rows differ in length");
  const uint8_t* __restrict r1 = m.row1.data();
  const uint8_t* __restrict r2 = m.row2.data();
  for (size_t c = 0; c < n; ++c) out[c] = static_cast<uint8_t>((r1[c] != 0 ? 1u : 0u) | (r2[c] != 0 ? 2u : 0u));
}

Writer::Writer(const std::string& packet_path) : path_(packet_path), marker_path_(marker_path(packet_path)) {
  fd_ = open_append(path_, "packet file");
  try {
    mk_ = open_append(marker_path_, "marker file");
  } catch (...) {
    ::close(fd_);
    throw;
  }
}

Writer::~Writer() {
  if (fd_ >= 0) ::close(fd_);
  if (mk_ >= 0) ::close(mk_);
}

void Writer::write_all(int fd, const uint8_t* p, size_t n, const std::string& path) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("cannot write the packet file '" + path + "': " + errno_text());
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
}

double Writer::append(const cplx* samples, size_t n, const Markers& markers) {
  // No marker rows store zeros, as code 11 does.
  if (markers.size() != n && markers.size() != 0)
    throw std::invalid_argument("packet file: the markers have " + std::to_string(markers.size()) +
                                " columns but the packet has " + std::to_string(n) + " samples");
  marks_.assign(n, 0);
  if (markers.size() != 0) marker_bytes(markers, marks_.data());
  // The I values, then the Q values, in pieces: the buffer stays small
  // whatever the packet length.
  bytes_.resize(8 * std::min(n, kPiece));
  for (int part = 0; part < 2; ++part)
    for (size_t first = 0; first < n; first += kPiece) {
      const size_t count = std::min(kPiece, n - first);
      const double* v = reinterpret_cast<const double*>(samples + first) + part;
      encode_every_other(v, count, bytes_.data());
      write_all(fd_, bytes_.data(), 8 * count, path_);
    }
  write_all(mk_, marks_.data(), marks_.size(), marker_path_);
  // I and Q side by side: the peak over both is the peak of the 2n values.
  return abs_peak(reinterpret_cast<const double*>(samples), 2 * n, 0.0);
}

double Writer::peak(const cplx* samples, size_t n) {
  return abs_peak(reinterpret_cast<const double*>(samples), 2 * n, 0.0);
}

void Writer::close() {
  const int fd = fd_, mk = mk_;
  fd_ = mk_ = -1;
  const bool bad_fd = fd >= 0 && ::close(fd) != 0;
  const bool bad_mk = mk >= 0 && ::close(mk) != 0;
  if (bad_fd) throw std::runtime_error("cannot write the packet file '" + path_ + "': " + errno_text());
  if (bad_mk) throw std::runtime_error("cannot write the marker file '" + marker_path_ + "': " + errno_text());
}

}  // namespace tarvio::packet_file
