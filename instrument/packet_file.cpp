// Writing and reading the packet temporary file and its marker side file in
// large blocks with explicit byte order.
#include "instrument/packet_file.h"

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "runtime/cleanup.h"
#include "runtime/output_target.h"

namespace tarvio::packet_file {

namespace {

// Values converted per write call: 8192 doubles = 64 KiB.
constexpr size_t kBlock = 8192;

std::string errno_text() { return std::strerror(errno); }

struct FileCloser {
  std::FILE* f;
  ~FileCloser() {
    if (f) std::fclose(f);
  }
};

void write_all(std::FILE* f, const uint8_t* p, size_t n, const std::string& path) {
  if (n && std::fwrite(p, 1, n, f) != n)
    throw std::runtime_error("cannot write the packet file '" + path + "': " + errno_text());
}

// Encodes and writes n doubles in blocks.
void write_values(std::FILE* f, const double* v, size_t n, const std::string& path) {
  std::vector<uint8_t> buf(std::min(n, kBlock) * 8);
  for (size_t done = 0; done < n;) {
    size_t m = std::min(kBlock, n - done);
    encode_values(v + done, m, buf.data());
    write_all(f, buf.data(), m * 8, path);
    done += m;
  }
}

bool read_exact(std::FILE* f, uint64_t offset, uint8_t* p, size_t n) {
  if (fseeko(f, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
  return std::fread(p, 1, n, f) == n;
}

uint64_t file_size(std::FILE* f) {
  if (fseeko(f, 0, SEEK_END) != 0) return 0;
  off_t s = ftello(f);
  return s < 0 ? 0 : static_cast<uint64_t>(s);
}

// The packet files of this run on the clean-up table, by path.
struct Registered {
  std::mutex lock;
  std::map<std::string, CleanupGuard> guards;
};

Registered& registered() {
  static Registered r;
  return r;
}

void protect(const std::string& path) {
  Registered& r = registered();
  std::lock_guard<std::mutex> hold(r.lock);
  if (!r.guards.count(path)) r.guards.emplace(path, CleanupGuard(path));
}

void unprotect(const std::string& path) {
  Registered& r = registered();
  std::lock_guard<std::mutex> hold(r.lock);
  r.guards.erase(path);
}

}  // namespace

std::string marker_path(const std::string& packet_path) { return packet_path + ".markers"; }

std::string own_path() {
  std::error_code ec;
  std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
  if (ec) dir = "/tmp";
  return (dir / ("tarvio-" + std::to_string(::getpid()) + "-packets.bin")).string();
}

int remove_stale(const std::string& folder) {
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  if (ec) return 0;
  int removed = 0;
  for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    const std::string name = it->path().filename().string();
    // "tarvio-PID-packets.bin" or "tarvio-download-PID.bin", then a companion's suffix.
    std::string_view rest(name);
    std::string_view head, tail;
    if (rest.starts_with("tarvio-download-")) {
      head = "tarvio-download-", tail = ".bin";
    } else if (rest.starts_with("tarvio-")) {
      head = "tarvio-", tail = "-packets.bin";
    } else {
      continue;
    }
    rest.remove_prefix(head.size());
    size_t digits = 0;
    while (digits < rest.size() && digits < 10 && rest[digits] >= '0' && rest[digits] <= '9') ++digits;
    if (digits == 0 || rest.substr(digits, tail.size()) != tail) continue;
    const std::string_view companion = rest.substr(digits + tail.size());
    if (companion != "" && companion != ".markers" && companion != ".kept" && companion != ".markers.kept") continue;
    const long pid = std::stol(std::string(rest.substr(0, digits)));
    const std::string full = it->path().string();
    if (!output_target::process_gone(pid) || !output_target::own_regular_file(full)) continue;
    if (::unlink(full.c_str()) == 0) ++removed;
  }
  return removed;
}

void encode_values(const double* v, size_t n, uint8_t* out) {
  for (size_t k = 0; k < n; ++k) {
    uint64_t b = ~std::bit_cast<uint64_t>(v[k]);
    for (int j = 0; j < 8; ++j) out[8 * k + j] = static_cast<uint8_t>(b >> (8 * j));
  }
}

// Whole 8-byte words, byte-swapped only on a big-endian machine: the
// reading of packets (download, export, verification) runs at memory speed.
void decode_values(const uint8_t* in, size_t n, double* v) {
  for (size_t k = 0; k < n; ++k) {
    uint64_t b;
    std::memcpy(&b, in + 8 * k, 8);
    if constexpr (std::endian::native == std::endian::big) b = __builtin_bswap64(b);
    v[k] = std::bit_cast<double>(~b);
  }
}

void clear(const std::string& packet_path) {
  for (const std::string& p : {packet_path, marker_path(packet_path)}) {
    protect(p);
    std::FILE* f = std::fopen(p.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot create the packet file '" + p + "': " + errno_text());
    if (std::fclose(f) != 0) throw std::runtime_error("cannot create the packet file '" + p + "': " + errno_text());
  }
}

void discard(const std::string& packet_path) {
  if (packet_path.empty()) return;
  for (const std::string& p : {packet_path, marker_path(packet_path)}) {
    std::remove(p.c_str());
    unprotect(p);
  }
}

double peak_of(const double* i, const double* q, size_t n) {
  double peak = 0;
  for (size_t k = 0; k < n; ++k) peak = std::max({peak, std::fabs(i[k]), std::fabs(q[k])});
  return peak;
}

double append(const std::string& packet_path, const double* i, const double* q, size_t n, const uint8_t* markers) {
  protect(packet_path);
  protect(marker_path(packet_path));
  {
    FileCloser f{std::fopen(packet_path.c_str(), "ab")};
    if (!f.f) throw std::runtime_error("cannot open the packet file '" + packet_path + "': " + errno_text());
    write_values(f.f, i, n, packet_path);
    write_values(f.f, q, n, packet_path);
    std::FILE* h = f.f;
    f.f = nullptr;
    if (std::fclose(h) != 0)
      throw std::runtime_error("cannot write the packet file '" + packet_path + "': " + errno_text());
  }
  const std::string mp = marker_path(packet_path);
  FileCloser m{std::fopen(mp.c_str(), "ab")};
  if (!m.f) throw std::runtime_error("cannot open the marker file '" + mp + "': " + errno_text());
  if (markers) {
    write_all(m.f, markers, n, mp);
  } else {
    std::vector<uint8_t> zeros(std::min(n, kBlock * 8), 0);
    for (size_t done = 0; done < n; done += zeros.size())
      write_all(m.f, zeros.data(), std::min(zeros.size(), n - done), mp);
  }
  std::FILE* h = m.f;
  m.f = nullptr;
  if (std::fclose(h) != 0) throw std::runtime_error("cannot write the marker file '" + mp + "': " + errno_text());
  return peak_of(i, q, n);
}

Reader::Reader(const std::string& packet_path, size_t pkt_size) : path_(packet_path), pkt_size_(pkt_size) {
  if (pkt_size == 0) throw std::runtime_error("packet file '" + packet_path + "': the packet size is 0");
  iq_ = std::fopen(packet_path.c_str(), "rb");
  if (!iq_) throw std::runtime_error("cannot open the packet file '" + packet_path + "': " + errno_text());
  packets_ = static_cast<size_t>(file_size(iq_) / (uint64_t(pkt_size) * kBytesPerSample));
  mk_ = std::fopen(marker_path(packet_path).c_str(), "rb");
  if (mk_) mk_bytes_ = static_cast<size_t>(file_size(mk_));
}

Reader::~Reader() {
  if (iq_) std::fclose(iq_);
  if (mk_) std::fclose(mk_);
}

void Reader::read(size_t k, size_t first, size_t count, double* i, double* q, uint8_t* markers) const {
  if (k >= packets_ || first > pkt_size_ || count > pkt_size_ - first)
    throw std::out_of_range("packet file '" + path_ + "': packet " + std::to_string(k) + " samples " +
                            std::to_string(first) + "+" + std::to_string(count) + " lie outside " +
                            std::to_string(packets_) + " packets of " + std::to_string(pkt_size_) + " samples");
  std::vector<uint8_t> buf(std::min(count, kBlock) * 8);
  const uint64_t base = uint64_t(k) * pkt_size_ * kBytesPerSample;
  for (int part = 0; part < 2; ++part) {
    double* dst = part == 0 ? i : q;
    uint64_t off = base + uint64_t(part) * pkt_size_ * 8 + uint64_t(first) * 8;
    for (size_t done = 0; done < count;) {
      size_t m = std::min(kBlock, count - done);
      if (!read_exact(iq_, off + uint64_t(done) * 8, buf.data(), m * 8))
        throw std::runtime_error("cannot read the packet file '" + path_ + "'");
      decode_values(buf.data(), m, dst + done);
      done += m;
    }
  }
  if (!markers) return;
  uint64_t moff = uint64_t(k) * pkt_size_ + first;
  if (!mk_) {
    std::fill(markers, markers + count, uint8_t{0});
    return;
  }
  if (moff + count > mk_bytes_)
    throw std::runtime_error("the marker file '" + marker_path(path_) + "' is shorter than its packet file");
  if (count && !read_exact(mk_, moff, markers, count))
    throw std::runtime_error("cannot read the marker file '" + marker_path(path_) + "'");
}

}  // namespace tarvio::packet_file
