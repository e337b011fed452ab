// Packet log of the last calculation and the packet file reader.
#include "control/packet_log.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "control/calculation_context.h"
#include "instrument/packet_file.h"
#include "records/thread_state.h"

namespace tarvio {

void PacketLog::clear() {
  file.clear();
  runs.clear();
}

void PacketLog::add(const Markers& m, size_t times) {
  if (times == 0) return;
  if (!runs.empty() && runs.back().markers.row1 == m.row1 && runs.back().markers.row2 == m.row2) {
    runs.back().count += times;
    return;
  }
  runs.push_back({m, times});
}

size_t PacketLog::packets() const {
  size_t n = 0;
  for (const auto& r : runs) n += r.count;
  return n;
}

size_t PacketLog::samples() const {
  size_t n = 0;
  for (const auto& r : runs) n += r.count * r.markers.size();
  return n;
}

Markers PacketLog::all_markers() const {
  Markers out;
  out.row1.reserve(samples());
  out.row2.reserve(samples());
  for (const auto& r : runs)
    for (size_t k = 0; k < r.count; ++k) {
      out.row1.insert(out.row1.end(), r.markers.row1.begin(), r.markers.row1.end());
      out.row2.insert(out.row2.end(), r.markers.row2.begin(), r.markers.row2.end());
    }
  return out;
}

namespace {

thread_local PacketLog* t_log = nullptr;

}  // namespace

PacketLog& last_packet_log() {
  static PacketLog log;
  return t_log ? *t_log : log;
}

PacketLog* use_thread_packet_log(PacketLog* log) {
  PacketLog* old = t_log;
  t_log = log;
  return old;
}

ThreadCalculationContext::ThreadCalculationContext(State& s, PacketLog& log)
    : state_(use_thread_state(&s)), log_(use_thread_packet_log(&log)) {}

ThreadCalculationContext::~ThreadCalculationContext() {
  use_thread_packet_log(log_);
  use_thread_state(state_);
}

CVec read_packet_file(const PacketLog& log) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(log.file.c_str(), "rb"), &std::fclose);
  if (!f) throw std::runtime_error("Cannot open the packet file " + log.file + ": " + std::strerror(errno));
  CVec out(log.samples());
  std::vector<uint8_t> buf;
  std::vector<double> re, im;
  size_t at = 0;
  for (const auto& r : log.runs) {
    const size_t n = r.markers.size();
    buf.resize(packet_file::kBytesPerSample * n);
    re.resize(n);
    im.resize(n);
    for (size_t k = 0; k < r.count; ++k) {
      if (std::fread(buf.data(), 1, buf.size(), f.get()) != buf.size())
        throw std::runtime_error("The packet file " + log.file + " is shorter than the calculation wrote");
      packet_file::decode_values(buf.data(), n, re.data());
      packet_file::decode_values(buf.data() + 8 * n, n, im.data());
      for (size_t i = 0; i < n; ++i) out[at + i] = cplx(re[i], im[i]);
      at += n;
    }
  }
  return out;
}

void walk_packet_values(const PacketLog& log, int part, const ValuesPut& put) {
  constexpr size_t kBlock = 65536;
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(log.file.c_str(), "rb"), &std::fclose);
  if (!f) throw std::runtime_error("Cannot open the packet file " + log.file + ": " + std::strerror(errno));
  std::vector<uint8_t> buf(8 * kBlock);
  std::vector<double> values(kBlock);
  uint64_t packet_at = 0;  // byte offset of the packet in the file
  for (const auto& r : log.runs) {
    const size_t n = r.markers.size();
    for (size_t k = 0; k < r.count; ++k) {
      const uint64_t part_at = packet_at + uint64_t(part) * 8 * n;
      if (fseeko(f.get(), off_t(part_at), SEEK_SET) != 0)
        throw std::runtime_error("The packet file " + log.file + " cannot be read: " + std::strerror(errno));
      for (size_t done = 0; done < n;) {
        const size_t m = std::min(kBlock, n - done);
        if (std::fread(buf.data(), 1, 8 * m, f.get()) != 8 * m)
          throw std::runtime_error("The packet file " + log.file + " is shorter than the calculation wrote");
        packet_file::decode_values(buf.data(), m, values.data());
        put(values.data(), m);
        done += m;
      }
      packet_at += packet_file::kBytesPerSample * n;
    }
  }
}

void walk_packet_markers(const PacketLog& log, const ValuesPut& put) {
  constexpr size_t kBlock = 32768;  // samples per block: two values each
  std::vector<double> values(2 * kBlock);
  for (const auto& r : log.runs) {
    const size_t n = r.markers.size();
    for (size_t k = 0; k < r.count; ++k)
      for (size_t done = 0; done < n;) {
        const size_t m = std::min(kBlock, n - done);
        for (size_t j = 0; j < m; ++j) {
          values[2 * j] = r.markers.row1[done + j];
          values[2 * j + 1] = r.markers.row2[done + j];
        }
        put(values.data(), 2 * m);
        done += m;
      }
  }
}

}  // namespace tarvio
