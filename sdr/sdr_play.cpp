// The play loop: packets read from the packet file, resampled when the
// device runs another rate, scaled and converted to the stream format, and
// written in blocks with the end-of-burst flag where marker row 2 ends.
#include "sdr/sdr_play.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "dsp/band_limited_interpolator.h"
#include "instrument/packet_file.h"

namespace tarvio::sdr {

namespace {

constexpr size_t kBlock = 65536;               // samples per write at most
constexpr size_t kCacheBytes = size_t(1) << 30;  // converted waveform kept between passes up to this size

std::string hz_text(double v) { return ranges_text({{v, v, 0}}, "Hz"); }

// One packet as it goes to the device: the converted samples and, for
// every burst, the index one past its last sample.
struct Prepared {
  std::vector<char> data;
  std::vector<size_t> ends;
  size_t n = 0;
};

// Where marker row 2 falls from set to clear (and the packet's end when the
// last sample has it set); the packet's end when it has no marker 2 at all.
std::vector<size_t> burst_ends(const std::vector<uint8_t>& m, size_t n) {
  std::vector<size_t> ends;
  bool any = false;
  for (size_t k = 0; k < n; ++k) {
    const bool on = m[k] & 2;
    any = any || on;
    if (on && (k + 1 == n || !(m[k + 1] & 2))) ends.push_back(k + 1);
  }
  if (!any && n > 0) ends.push_back(n);
  return ends;
}

// The low-pass a packet passes before it is played slower than its rate
// (ratio = waveform rate / device rate > 1): a Kaiser-windowed sinc
// (beta 8.6, about 80 dB stop band) with its edge at 0.45 of the device's
// rate, so that what lies beyond half the device's rate is taken out
// instead of folding into the band; unit gain at DC. Empty at ratio <= 1.
std::vector<double> antialias_taps(double ratio) {
  if (!(ratio > 1.0)) return {};
  const double fc = 0.45 / ratio;  // cycles per waveform sample
  const int half = int(std::ceil(16.0 * ratio));
  std::vector<double> h(size_t(2 * half + 1));
  const double beta = 8.6, i0b = std::cyl_bessel_i(0.0, beta);
  double sum = 0;
  for (int k = -half; k <= half; ++k) {
    const double x = 2 * fc * k, r = double(k) / half;
    const double sinc = k == 0 ? 1.0 : std::sin(M_PI * x) / (M_PI * x);
    h[size_t(k + half)] = 2 * fc * sinc * std::cyl_bessel_i(0.0, beta * std::sqrt(1 - r * r)) / i0b;
    sum += h[size_t(k + half)];
  }
  for (double& v : h) v /= sum;
  return h;
}

// y[k] = sum_j h[j] x[k + half - j]: the filter centred, so the packet keeps
// its timing; samples outside the packet count as 0.
void lowpass(std::vector<double>& x, const std::vector<double>& h) {
  const long n = long(x.size()), half = long(h.size() / 2);
  std::vector<double> y(x.size());
  for (long k = 0; k < n; ++k) {
    const long jlo = std::max(0L, k + half - (n - 1)), jhi = std::min(long(h.size()) - 1, k + half);
    double acc = 0;
    for (long j = jlo; j <= jhi; ++j) acc += h[size_t(j)] * x[size_t(k + half - j)];
    y[size_t(k)] = acc;
  }
  x.swap(y);
}

Prepared prepare(packet_file::Reader& reader, size_t p, size_t pkt, double ratio, double scale, bool cs16,
                 const std::vector<double>& antialias) {
  std::vector<double> i(pkt), q(pkt);
  std::vector<uint8_t> m(pkt);
  reader.read(p, 0, pkt, i.data(), q.data(), m.data());
  Prepared out;
  if (!antialias.empty()) lowpass(i, antialias), lowpass(q, antialias);
  if (ratio != 1.0) {
    // The packet played at the device's rate: out[k] = x(k * ratio).
    // time_scale makes as many samples as it reads: the row is padded
    // with zeros to the longer of the two lengths and the result cut.
    const size_t n = size_t(std::floor(double(pkt) / ratio + 0.5));
    const size_t len = std::max(n, pkt);
    CVec in(len), res(len);
    for (size_t k = 0; k < pkt; ++k) in[k] = {i[k], q[k]};
    BandLimitedInterpolator::instance().time_scale(in.data(), len, ratio, res.data());
    std::vector<uint8_t> mm(n);
    i.resize(n), q.resize(n);
    for (size_t k = 0; k < n; ++k) {
      i[k] = res[k].real(), q[k] = res[k].imag();
      mm[k] = m[std::min(pkt - 1, size_t(double(k) * ratio))];
    }
    m.swap(mm);
  }
  out.n = i.size();
  out.ends = burst_ends(m, out.n);
  if (cs16) {
    out.data.resize(out.n * 4);
    auto* d = reinterpret_cast<int16_t*>(out.data.data());
    auto conv = [](double x) { return int16_t(std::lround(std::min(32767.0, std::max(-32767.0, x * 32767.0)))); };
    for (size_t k = 0; k < out.n; ++k) d[2 * k] = conv(i[k] / scale), d[2 * k + 1] = conv(q[k] / scale);
  } else {
    out.data.resize(out.n * 8);
    auto* d = reinterpret_cast<float*>(out.data.data());
    for (size_t k = 0; k < out.n; ++k) d[2 * k] = float(i[k] / scale), d[2 * k + 1] = float(q[k] / scale);
  }
  return out;
}

}  // namespace

std::string choose_format(const Device& dev, Direction d, size_t ch) {
  const std::string native = dev.native_format(d, ch);
  const std::vector<std::string> f = dev.formats(d, ch);
  auto offered = [&](const std::string& x) { return std::find(f.begin(), f.end(), x) != f.end(); };
  if ((native == "CF32" || native == "CS16") && (offered(native) || f.empty())) return native;
  if (offered("CF32")) return "CF32";
  if (offered("CS16")) return "CS16";
  throw SdrError(ErrorKind::stream, "the device offers neither CF32 nor CS16 samples (it offers " +
                                        [&] {
                                          std::string s;
                                          for (const auto& x : f) s += (s.empty() ? "" : ", ") + x;
                                          return s.empty() ? std::string("none") : s;
                                        }() +
                                        ")");
}

double waveform_peak(const PacketSource& src) {
  double peak = 0;
  walk_packets(src, [&](const double* i, const double* q, const uint8_t*, size_t n, size_t) {
    peak = std::max(peak, packet_file::peak_of(i, q, n));
  });
  return peak;
}

PlayResult prepare_tx(Device& dev, double waveform_rate, const PlayOptions& o) {
  const Direction tx = Direction::tx;
  check_channel_and_frequency(dev, tx, o.channel, o.frequency);
  const size_t ch = o.channel;
  const Range g = dev.gain_range(tx, ch);
  if (o.gain < g.min || o.gain > g.max) refuse("the gain", o.gain, {g}, "dB");
  if (!o.antenna.empty()) {
    const auto ants = dev.antennas(tx, ch);
    if (std::find(ants.begin(), ants.end(), o.antenna) == ants.end()) {
      std::string s;
      for (const auto& a : ants) s += (s.empty() ? "" : ", ") + a;
      throw SdrError(ErrorKind::out_of_range, "the device has no antenna '" + o.antenna + "' (it has " +
                                                  (s.empty() ? std::string("none") : s) + ")");
    }
  }
  PlayResult r;
  const double want = o.rate > 0 ? o.rate : waveform_rate;
  const auto rates = dev.rate_ranges(tx, ch);
  if (rates.empty()) throw SdrError(ErrorKind::out_of_range, "the device names no transmit sample rates");
  r.device_rate = nearest_rate(rates, want);
  if (std::fabs(r.device_rate - want) > 1e-9 * want)
    r.note = "the device cannot run " + hz_text(want) + " (it runs " + ranges_text(rates, "Hz") +
             "): the waveform is resampled to " + hz_text(r.device_rate);
  else if (want != waveform_rate)
    r.note = "the waveform (" + hz_text(waveform_rate) + ") is resampled to " + hz_text(want);
  // Below the waveform's rate the packets are low-passed first, so that
  // nothing folds into the band; what lay beyond is not sent.
  if (!r.note.empty() && r.device_rate < waveform_rate)
    r.note += " (below the waveform's rate: low-passed to +-" + hz_text(0.45 * r.device_rate) +
              " first, its content beyond is not sent)";
  try {
    dev.set_rate(tx, ch, r.device_rate);
    dev.set_frequency(tx, ch, o.frequency);
    dev.set_gain(tx, ch, o.gain);
    if (!o.antenna.empty()) dev.set_antenna(tx, ch, o.antenna);
  } catch (const SdrError&) {
    throw;
  } catch (const std::exception& e) {
    throw SdrError(ErrorKind::out_of_range, std::string("the device refused the settings: ") + e.what());
  }
  const double got = dev.rate(tx, ch);
  if (got > 0 && std::fabs(got - r.device_rate) > 1e-6 * r.device_rate)
    throw SdrError(ErrorKind::out_of_range, "the device was set to " + hz_text(r.device_rate) + " but runs " +
                                                hz_text(got) + "; refusing to play at the wrong rate");
  r.format = o.format.empty() ? choose_format(dev, tx, ch) : o.format;
  return r;
}

PlayResult play(Device& dev, const PacketSource& src, double waveform_rate, double peak, const PlayOptions& o,
                const std::atomic<bool>& stop) {
  PlayResult r = prepare_tx(dev, waveform_rate, o);
  const double ratio = waveform_rate / r.device_rate;
  const std::vector<double> antialias = antialias_taps(ratio);
  const double scale = peak > 0 ? peak : 1.0;
  const bool cs16 = r.format == "CS16";
  packet_file::Reader reader(src.path, src.pkt_size);
  // The converted waveform is kept between passes when it fits; its size
  // follows the device's rate.
  const bool cache = double(src.total()) * (cs16 ? 4 : 8) / ratio <= double(kCacheBytes) && o.repeat != 1;
  std::vector<Prepared> kept;
  struct StopStream {
    Device& d;
    ~StopStream() { d.stop_stream(); }
  } guard{dev};
  dev.start_stream(Direction::tx, o.channel, r.format);
  const size_t bytes = cs16 ? 4 : 8;
  bool open = false;  // samples sent since the last end-of-burst flag
  for (long pass = 0; o.repeat == 0 || pass < o.repeat; ++pass) {
    for (size_t p = 0; p < src.num_pkts; ++p) {
      std::optional<Prepared> fresh;
      if (!cache || kept.size() <= p) {
        fresh = prepare(reader, p, src.pkt_size, ratio, scale, cs16, antialias);
        if (cache) kept.push_back(std::move(*fresh)), fresh.reset();
      }
      const Prepared& pk = fresh ? *fresh : kept[p];
      size_t at = 0;
      for (size_t end : pk.ends) {
        while (at < end) {
          if (stop.load()) {
            if (open) dev.write(nullptr, 0, true, o.timeout_s);
            r.stopped = true;
            r.underflows += dev.take_lost_samples_events();
            return r;
          }
          const size_t n = std::min(kBlock, end - at);
          const bool last = at + n == end;
          dev.write(pk.data.data() + at * bytes, n, last, o.timeout_s);
          at += n;
          r.samples += n;
          r.bursts += last;
          open = !last;
        }
        r.underflows += dev.take_lost_samples_events();
      }
      // Samples after the last burst (idle tail) close no burst of their own.
      if (at < pk.n) {
        dev.write(pk.data.data() + at * bytes, pk.n - at, false, o.timeout_s);
        r.samples += pk.n - at;
        open = true;
      }
    }
    ++r.passes;
  }
  if (open) dev.write(nullptr, 0, true, o.timeout_s);
  r.underflows += dev.take_lost_samples_events();
  return r;
}

}  // namespace tarvio::sdr
