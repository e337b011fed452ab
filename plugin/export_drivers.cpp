// Chunking drivers that feed the export writer from memory or from the
// packet temporary file.
#include "export_drivers.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <memory>
#include <thread>

#include "export_files.h"
#include "export_layout.h"

namespace tarvio {

void marker_values_to_bytes(const double* values, std::size_t count, uint8_t* out) {
  for (std::size_t k = 0; k < count; ++k) {
    const double t = std::trunc(values[k]);
    if (std::isnan(t) || t == 0)
      out[k] = 0;
    else
      out[k] = (t >= 1 && t <= 255) ? uint8_t(t) : 1;
  }
}

namespace {

// The peak as the writer's first pass finds it: the largest |I| or |Q|
// (NaN never raises it).
double peak_of(const double* re, const double* im, std::size_t n) {
  double peak = 0;
  for (std::size_t k = 0; k < n; ++k) {
    if (std::fabs(re[k]) > peak) peak = std::fabs(re[k]);
    if (im != nullptr && std::fabs(im[k]) > peak) peak = std::fabs(im[k]);
  }
  return peak;
}

// Reads the packet file one packet at a time, undoing the complement.
class PacketFileReader {
 public:
  PacketFileReader(const std::string& path, std::size_t pkt_size)
      : in_(std::fopen(path.c_str(), "rb"), &std::fclose), pkt_size_(pkt_size) {}
  bool open() const { return in_ != nullptr; }
  bool rewind() { return std::fseek(in_.get(), 0, SEEK_SET) == 0; }
  bool next() {
    // The packet buffers are made on first use: lanes read on their own.
    if (raw_.empty()) {
      raw_.resize(16 * pkt_size_);
      i_.resize(pkt_size_);
      q_.resize(pkt_size_);
    }
    if (std::fread(raw_.data(), 1, raw_.size(), in_.get()) != raw_.size()) return false;
    const uint8_t* b = raw_.data();
    for (std::size_t k = 0; k < i_.size(); ++k, b += 8) i_[k] = std::bit_cast<double>(~exportfile::get_u64le(b));
    for (std::size_t k = 0; k < q_.size(); ++k, b += 8) q_[k] = std::bit_cast<double>(~exportfile::get_u64le(b));
    return true;
  }
  const double* i() const { return i_.data(); }
  const double* q() const { return q_.data(); }

 private:
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> in_;
  std::size_t pkt_size_;
  std::vector<uint8_t> raw_;
  std::vector<double> i_, q_;
};

// Reads ranges of samples of single packets, for the lanes: each lane holds
// only a piece of a packet at a time.
class PacketRangeReader {
 public:
  PacketRangeReader(const std::string& path, std::size_t pkt_size, std::size_t piece)
      : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)), pkt_size_(pkt_size), raw_(8 * piece), i_(piece), q_(piece) {}
  ~PacketRangeReader() {
    if (fd_ >= 0) ::close(fd_);
  }
  PacketRangeReader(const PacketRangeReader&) = delete;
  PacketRangeReader& operator=(const PacketRangeReader&) = delete;
  bool open() const { return fd_ >= 0; }
  // Samples [first, first + count) of packet p (count <= the piece size).
  bool read(std::size_t p, std::size_t first, std::size_t count) {
    const uint64_t base = uint64_t(p) * 16 * pkt_size_ + 8 * uint64_t(first);
    return read_values(base, count, i_.data()) && read_values(base + 8 * uint64_t(pkt_size_), count, q_.data());
  }
  const double* i() const { return i_.data(); }
  const double* q() const { return q_.data(); }

 private:
  bool read_values(uint64_t offset, std::size_t count, double* out) {
    uint8_t* p = raw_.data();
    std::size_t left = 8 * count;
    while (left > 0) {
      const ssize_t got = ::pread(fd_, p, left, off_t(offset));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      p += got;
      left -= std::size_t(got);
      offset += uint64_t(got);
    }
    const uint8_t* b = raw_.data();
    for (std::size_t k = 0; k < count; ++k, b += 8) out[k] = std::bit_cast<double>(~exportfile::get_u64le(b));
    return true;
  }

  int fd_;
  std::size_t pkt_size_;
  std::vector<uint8_t> raw_;
  std::vector<double> i_, q_;
};

// Samples a lane encodes at a time.
constexpr std::size_t kLanePiece = 8192;

}  // namespace

bool export_from_memory(TwoPassExportWriter& w, const double* re, const double* im, std::size_t n,
                        const double* markers, std::size_t rows) {
  // The samples are at hand: their peak is known before the first chunk.
  if (!w.BeginKnown(uint32_t(rows), n, peak_of(re, im, n))) return false;
  if (n == 0) return w.WriteChunk(nullptr, nullptr, nullptr, 0, true);
  const std::size_t chunk = std::min(n, kExportChunkSamples);
  std::vector<uint8_t> mbytes(chunk * rows);
  std::vector<double> zeros(im == nullptr ? chunk : 0, 0.0);
  for (std::size_t start = 0; start < n; start += chunk) {
    const std::size_t left = n - start;
    const std::size_t count = std::min(left, chunk);
    const bool last = left <= kExportChunkSamples;
    if (rows > 0) marker_values_to_bytes(markers + start * rows, count * rows, mbytes.data());
    const double* q = im != nullptr ? im + start : zeros.data();
    if (!w.WriteChunk(re + start, q, mbytes.data(), count, last)) return false;
  }
  return true;
}

bool export_from_packets(TwoPassExportWriter& w, const std::string& packet_file, std::size_t pkt_size,
                         std::size_t num_pkts, const double* markers, std::size_t rows, double peak,
                         std::size_t lanes) {
  std::vector<uint8_t> mbytes(pkt_size * rows);
  if (rows > 0) marker_values_to_bytes(markers, pkt_size * rows, mbytes.data());
  PacketFileReader in(packet_file, pkt_size);
  const uint64_t total = uint64_t(pkt_size) * num_pkts;
  if (!in.open()) {
    w.fail("cannot open the packet file '" + packet_file + "': " + exportfiles::errno_text());
    return false;
  }
  // A packet file that ends early: the reason, with how much it holds.
  auto short_file = [&](std::size_t packets_read) {
    w.fail("the packet file '" + packet_file + "' holds " + std::to_string(packets_read) + " of " +
           std::to_string(num_pkts) + " packets of " + std::to_string(pkt_size) + " samples");
    return false;
  };
  if (num_pkts == 0 || pkt_size == 0)
    return w.BeginKnown(uint32_t(rows), 0, 0) && w.WriteChunk(nullptr, nullptr, nullptr, 0, true);
  if (!(peak >= 0)) {
    // No peak given: one reading pass finds it; the file is written once.
    double seen = 0;
    for (std::size_t p = 0; p < num_pkts; ++p) {
      if (!in.next()) return short_file(p);
      for (std::size_t k = 0; k < pkt_size; ++k) {
        if (std::fabs(in.i()[k]) > seen) seen = std::fabs(in.i()[k]);
        if (std::fabs(in.q()[k]) > seen) seen = std::fabs(in.q()[k]);
      }
    }
    peak = seen;
    if (!in.rewind()) {
      w.fail("cannot read the packet file '" + packet_file + "' again: " + exportfiles::errno_text());
      return false;
    }
  }
  // At most two tries: a peak given that is not the file's own is replaced
  // by the one seen.
  const std::size_t used_lanes = std::min(std::max<std::size_t>(lanes, 1), num_pkts);
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!w.BeginKnown(uint32_t(rows), total, peak)) return false;
    bool good = true;
    if (used_lanes == 1) {
      if (attempt > 0 && !in.rewind()) {
        w.fail("cannot read the packet file '" + packet_file + "' again: " + exportfiles::errno_text());
        return false;
      }
      for (std::size_t p = 0; p < num_pkts && good; ++p) {
        if (!in.next()) return short_file(p);
        good = w.WriteChunk(in.i(), in.q(), mbytes.data(), pkt_size, p + 1 == num_pkts);
      }
    } else {
      // Each lane reads and writes its own run of packets.
      std::vector<std::unique_ptr<TwoPassExportWriter::Lane>> lane;
      std::vector<const TwoPassExportWriter::Lane*> done;
      for (std::size_t l = 0; l < used_lanes; ++l) {
        lane.push_back(std::make_unique<TwoPassExportWriter::Lane>(w));
        done.push_back(lane.back().get());
      }
      // A lane that cannot read its packets notes the first one it missed.
      std::vector<std::size_t> unread(used_lanes, num_pkts);
      auto run = [&](std::size_t l) {
        const std::size_t from = num_pkts * l / used_lanes, to = num_pkts * (l + 1) / used_lanes;
        const std::size_t piece = std::min(pkt_size, kLanePiece);
        PacketRangeReader part(packet_file, pkt_size, piece);
        if (!part.open()) {
          unread[l] = from;
          return false;
        }
        for (std::size_t p = from; p < to; ++p)
          for (std::size_t first = 0; first < pkt_size; first += piece) {
            const std::size_t count = std::min(piece, pkt_size - first);
            if (!part.read(p, first, count)) {
              unread[l] = p;
              return false;
            }
            if (!lane[l]->Write(uint64_t(p) * pkt_size + first, part.i(), part.q(), mbytes.data() + first * rows,
                                count))
              return false;
          }
        return true;
      };
      std::vector<std::thread> threads;
      std::vector<char> ok(used_lanes, 0);
      for (std::size_t l = 1; l < used_lanes; ++l) threads.emplace_back([&, l] { ok[l] = run(l); });
      ok[0] = run(0);
      for (std::thread& t : threads) t.join();
      for (char o : ok) good = good && o;
      const std::size_t first_unread = *std::min_element(unread.begin(), unread.end());
      if (first_unread < num_pkts) return short_file(first_unread);
      good = w.FinishLanes(done) && good;
    }
    if (good) return true;
    if (!w.peak_mismatch()) return false;
    peak = w.peak();
  }
  return false;
}

}  // namespace tarvio
