// The waveform transfer: sample source (memory or packet file), 16-bit
// encoding, the two blocks, progress on the status line, and the check that
// the instrument took everything.
#include "instrument/hwio/waveform_transfer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "instrument/hwio/instrument_codes.h"
#include "instrument/hwio/scpi_io.h"
#include "instrument/hwio/transport.h"
#include "instrument/packet_file.h"
#include "runtime/report.h"

namespace tarvio::hwio_module {

namespace {

// Samples per block read from the source and written to the connection.
constexpr size_t kChunk = 65536;
constexpr uint8_t kXon = 0x11, kXoff = 0x13;

// Where the samples come from: reads ranges of the whole waveform.
class SampleSource {
 public:
  virtual ~SampleSource() = default;
  virtual size_t total() const = 0;
  virtual void read(size_t first, size_t count, double* i, double* q, uint8_t* m) = 0;
};

class MemorySource : public SampleSource {
 public:
  MemorySource(const Value& iq, const Value& mk) : iq_(iq), mk_(mk) {
    if (!iq.is_numeric() || (iq.rows() > 1 && iq.cols() > 1))
      throw std::invalid_argument("hwIO code 20: the samples must be a numeric row");
    if (!mk.is_empty() && (!mk.is_numeric() || mk.cols() != iq.numel()))
      throw std::invalid_argument("hwIO code 20: the markers must have one column per sample");
  }
  size_t total() const override { return iq_.numel(); }
  void read(size_t first, size_t count, double* i, double* q, uint8_t* m) override {
    const auto& re = iq_.re();
    const auto& im = iq_.im();
    for (size_t k = 0; k < count; ++k) {
      i[k] = re[first + k];
      q[k] = im.empty() ? 0.0 : im[first + k];
      uint8_t b = 0;
      for (size_t r = 0; r < mk_.rows() && r < 8; ++r)
        if (mk_.re()[(first + k) * mk_.rows() + r] != 0) b |= static_cast<uint8_t>(1u << r);
      m[k] = b;
    }
  }

 private:
  const Value& iq_;
  const Value& mk_;
};

class PacketSource : public SampleSource {
 public:
  PacketSource(const std::string& path, size_t pkt, size_t packets, bool need_markers)
      : r_(path, pkt), pkt_(pkt), packets_(packets) {
    if (need_markers && !r_.has_markers())
      throw std::runtime_error("the marker file '" + packet_file::marker_path(path) + "' is missing");
    if (r_.packet_count() < packets)
      throw std::runtime_error("the packet file '" + path + "' holds " + std::to_string(r_.packet_count()) +
                               " packets of " + std::to_string(pkt) + " samples, not the " + std::to_string(packets) +
                               " to transfer");
  }
  size_t total() const override { return pkt_ * packets_; }
  void read(size_t first, size_t count, double* i, double* q, uint8_t* m) override {
    while (count > 0) {
      size_t k = first / pkt_, off = first % pkt_;
      size_t n = std::min(count, pkt_ - off);
      r_.read(k, off, n, i, q, m);
      first += n;
      count -= n;
      i += n;
      q += n;
      m += n;
    }
  }

 private:
  packet_file::Reader r_;
  size_t pkt_, packets_;
};

// Full-range conversion: value / peak x 32767 x scale (evaluated in that
// order), rounded half away from zero and held inside the 16-bit range. A
// peak of 0 (an all-zero waveform) gives 0.
int16_t to_int16(double v, double peak, double scale) {
  if (peak <= 0) return 0;
  double s = v / peak * 32767.0 * scale;
  if (!(s == s)) return 0;  // NaN carries no level
  s = s < 0 ? -std::floor(-s + 0.5) : std::floor(s + 0.5);
  return static_cast<int16_t>(std::clamp(s, -32767.0, 32767.0));
}

void encode_iq(const double* i, const double* q, size_t n, double peak, double scale, uint8_t* out) {
  for (size_t k = 0; k < n; ++k) {
    auto a = static_cast<uint16_t>(to_int16(i[k], peak, scale));
    auto b = static_cast<uint16_t>(to_int16(q[k], peak, scale));
    out[4 * k] = static_cast<uint8_t>(a >> 8);
    out[4 * k + 1] = static_cast<uint8_t>(a & 0xff);
    out[4 * k + 2] = static_cast<uint8_t>(b >> 8);
    out[4 * k + 3] = static_cast<uint8_t>(b & 0xff);
  }
}

std::string block_header(const std::string& what, const std::string& name, uint64_t bytes) {
  std::string len = std::to_string(bytes);
  if (len.size() > 9) throw std::runtime_error("the waveform is too large for one block (" + len + " bytes)");
  return ":MMEMory:DATA \"" + what + ":" + name + "\",#" + std::to_string(len.size()) + len;
}

// A waveform name the command can carry: printable, no quote.
void check_name(const std::string& name, int code) {
  if (name.empty()) throw std::invalid_argument("hwIO code " + std::to_string(code) + ": the waveform name is empty");
  for (unsigned char c : name)
    if (c < 0x20 || c >= 0x7f || c == '"')
      throw std::invalid_argument("hwIO code " + std::to_string(code) +
                                  ": the waveform name may hold printable characters other than '\"' only");
}

struct TransferSpec {
  ConnectionConfig config;
  std::string name;
  double peak = 0;
  double scale = 1;
  uint8_t marker_mask = 0;
};

class Progress {
 public:
  explicit Progress(uint64_t total) : total_(total) {}
  ~Progress() {
    if (shown_ >= 0) reporter().status("");  // the status line is free again
  }
  void advance(uint64_t n) {
    done_ += n;
    int pct = total_ ? static_cast<int>(100 * done_ / total_) : 100;
    if (pct != shown_) {
      shown_ = pct;
      char b[128];
      std::snprintf(b, sizeof b, "Transferring waveform: %d%% (%.1f of %.1f MB)", pct, done_ / 1e6, total_ / 1e6);
      reporter().status(b);
    }
  }

 private:
  uint64_t total_, done_ = 0;
  int shown_ = -1;
};

std::vector<Value> run_transfer(const TransferSpec& spec, SampleSource& src) {
  const size_t n = src.total();
  if (n == 0) return failed("There is no waveform to transfer (0 samples).");
  std::vector<double> i(std::min(n, kChunk)), q(i.size());
  std::vector<uint8_t> m(i.size()), wire(4 * i.size());
  std::unique_ptr<Transport> t;
  try {
    t = open_transport(spec.config);
    if (t->software_flow_control()) {
      // Xon/Xoff takes 0x11 and 0x13 on the line as flow control: a block
      // holding them would arrive corrupted, so it is refused before sending.
      for (size_t first = 0; first < n; first += kChunk) {
        size_t c = std::min(kChunk, n - first);
        src.read(first, c, i.data(), q.data(), m.data());
        encode_iq(i.data(), q.data(), c, spec.peak, spec.scale, wire.data());
        for (size_t k = 0; k < 4 * c; ++k)
          if (wire[k] == kXon || wire[k] == kXoff)
            return failed("The waveform cannot be sent over " + t->where() +
                          " with Xon/Xoff handshake: its binary data holds the flow-control byte 0x" +
                          (wire[k] == kXon ? std::string("11") : std::string("13")) + " (sample " +
                          std::to_string(first + k / 4 + 1) + "). Use the RTS/CTS handshake or another connection.");
      }
    }
    const uint64_t iq_bytes = 4ull * n, mk_bytes = spec.marker_mask ? n : 0;
    Progress progress(iq_bytes + mk_bytes);
    std::string head = block_header("WFM1", spec.name, iq_bytes);
    t->write(reinterpret_cast<const uint8_t*>(head.data()), head.size(), false);
    for (size_t first = 0; first < n; first += kChunk) {
      size_t c = std::min(kChunk, n - first);
      src.read(first, c, i.data(), q.data(), m.data());
      encode_iq(i.data(), q.data(), c, spec.peak, spec.scale, wire.data());
      t->write(wire.data(), 4 * c, false);
      progress.advance(4 * c);
    }
    send_text(*t, "\n");
    if (mk_bytes) {
      head = block_header("MKR1", spec.name, mk_bytes);
      t->write(reinterpret_cast<const uint8_t*>(head.data()), head.size(), false);
      for (size_t first = 0; first < n; first += kChunk) {
        size_t c = std::min(kChunk, n - first);
        src.read(first, c, i.data(), q.data(), m.data());
        for (size_t k = 0; k < c; ++k) m[k] &= spec.marker_mask;
        t->write(m.data(), c, false);
        progress.advance(c);
      }
      send_text(*t, "\n");
    }
    // The completion query proves that the instrument has read both blocks.
    std::string opc = query_text(*t, "*OPC?");
    if (opc.find_first_not_of(" +") == std::string::npos || opc.substr(opc.find_first_not_of(" +"), 1) != "1")
      return failed("The instrument on " + t->where() + " did not confirm the waveform transfer (reply to *OPC?: '" +
                    opc + "').");
    return ok("Waveform " + spec.name + " transferred: " + std::to_string(n) + " samples.");
  } catch (const TransportError& e) {
    return failed(std::string("Waveform transfer failed: ") + e.what());
  } catch (const std::runtime_error& e) {  // the packet file could not be read
    if (t) t->abandon();
    return failed(std::string("Waveform transfer failed: ") + e.what());
  }
}

TransferSpec common_spec(const ArgList& a, int code, size_t mode_pos, double peak, size_t marker_rows) {
  TransferSpec s;
  s.config = parse_config(a.at(0));
  std::string mode = a.text(mode_pos);
  if (mode != "norm")
    throw std::invalid_argument("hwIO code " + std::to_string(code) + ": the scaling mode must be \"norm\", not \"" +
                                mode + "\"");
  double scale = a.number(mode_pos + 1);
  if (!(scale > 0 && scale <= 1))
    throw std::invalid_argument("hwIO code " + std::to_string(code) + ": the scale must lie in (0, 1]");
  s.name = a.text(mode_pos + 2);
  check_name(s.name, code);
  if (!std::isfinite(peak) || peak < 0)
    throw std::invalid_argument("hwIO code " + std::to_string(code) + ": the peak value must be a finite number >= 0");
  s.peak = peak;
  s.scale = scale;
  if (marker_rows > 8) marker_rows = 8;
  s.marker_mask = static_cast<uint8_t>((1u << marker_rows) - 1);
  return s;
}

}  // namespace

std::vector<Value> transfer_from_memory(const ArgList& a) {
  const Value& iq = a.at(1);
  const Value& mk = a.at(2);
  MemorySource src(iq, mk);
  double peak = 0;
  for (double v : iq.re()) peak = std::max(peak, std::fabs(v));
  for (double v : iq.im()) peak = std::max(peak, std::fabs(v));
  TransferSpec s = common_spec(a, 20, 3, peak, mk.is_empty() ? 0 : mk.rows());
  return run_transfer(s, src);
}

std::vector<Value> transfer_from_packet_file(const ArgList& a) {
  std::string path = a.text(1);
  double pkt = a.number(2), packets = a.number(3), rows = a.number(4);
  if (!(pkt >= 1) || pkt != std::floor(pkt) || !(packets >= 1) || packets != std::floor(packets))
    throw std::invalid_argument("hwIO code 9: the packet size and count must be whole numbers of at least 1");
  if (!(rows >= 0) || rows != std::floor(rows))
    throw std::invalid_argument("hwIO code 9: the marker row count must be a whole number >= 0");
  TransferSpec s = common_spec(a, 9, 6, a.number(5), static_cast<size_t>(rows));
  std::unique_ptr<PacketSource> src;
  try {
    src = std::make_unique<PacketSource>(path, static_cast<size_t>(pkt), static_cast<size_t>(packets),
                                         s.marker_mask != 0);
  } catch (const std::exception& e) {
    return failed(std::string("Waveform transfer failed: ") + e.what());
  }
  return run_transfer(s, *src);
}

}  // namespace tarvio::hwio_module
