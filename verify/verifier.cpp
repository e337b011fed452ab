// The verification driver: burst search, one receiver per family, the PSDU
// comparison and the pass/fail judgement of each packet.
#include "verify/verifier.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <thread>

#include "verify/burst_finder.h"

namespace tarvio::verify {

namespace {

std::string fmt(const char* f, double a, double b = 0) {
  char buf[160];
  std::snprintf(buf, sizeof buf, f, a, b);
  return buf;
}

bool whole(double v) { return v >= 1 && std::abs(v - std::round(v)) < 1e-9; }

}  // namespace

std::vector<Family> families_for_rate(double fs) {
  std::vector<Family> f;
  if (whole(fs / 20e6)) f.push_back(Family::Ofdm);
  if (whole(2 * fs / 11e6) && fs / 11e6 >= 1) f.push_back(Family::Dsss);
  return f;
}

double shortest_packet_seconds(Family family) { return family == Family::Ofdm ? 24e-6 : 96e-6; }

Verifier::Verifier(double sample_rate, Family family)
    : fs_(sample_rate), family_(family), mask_(sample_rate, family == Family::Ofdm ? MaskKind::Ofdm : MaskKind::Dsss) {
  if (family == Family::Ofdm) {
    const double os = sample_rate / 20e6;
    if (!whole(os))
      throw std::invalid_argument("OFDM needs a sample rate of 20 MHz times a whole number, got " +
                                  fmt("%g Hz", sample_rate));
    ofdm_ = std::make_unique<OfdmReceiver>(static_cast<int>(std::lround(os)));
  } else {
    const double os = sample_rate / 11e6;
    if (!(os >= 1))
      throw std::invalid_argument("DSSS needs a sample rate of 11 MHz or more, got " + fmt("%g Hz", sample_rate));
    dsss_ = std::make_unique<DsssReceiver>(os);
    fastMask_ = std::make_unique<SpectrumMask>(sample_rate, MaskKind::Dsss, 1.5);
  }
}

void Verifier::keep_points(bool on) {
  if (ofdm_) ofdm_->keep_points(on);
  if (dsss_) dsss_->keep_points(on);
}

size_t Verifier::scan(const cplx* x, size_t n, size_t offset, size_t first_index, std::vector<PacketCheck>& out) {
  const size_t before = out.size();
  for (const Burst& b : bursts(x, n)) receive_burst(x, n, b, out);
  for (size_t i = before; i < out.size(); ++i) {
    remeasure(out[i], x, n, first_index + (i - before));
    finish(out[i], first_index + (i - before));
    out[i].start += offset;
    out[i].end += offset;
  }
  return out.size() - before;
}

size_t Verifier::receive_burst(const cplx* x, size_t n, const Burst& b, std::vector<PacketCheck>& out) {
  size_t found = 0;
  const size_t margin = static_cast<size_t>(std::lround(2e-6 * fs_));
  size_t pos = b.start > margin ? b.start - margin : 0;
  while (pos + margin < b.end) {
    PacketCheck c;
    c.family = family_;
    size_t next = 0;
    if (family_ == Family::Ofdm) {
      // The long training field lies 8 us into the burst.
      const size_t searchEnd = pos + static_cast<size_t>(std::lround(12e-6 * fs_)) + margin;
      c.ofdm = ofdm_->receive(x, n, pos, searchEnd);
      // Nothing here: at a low SNR the noise between packets can join them
      // into one burst, so the search goes on through the rest of it.
      if (!c.ofdm.found) {
        if (searchEnd + margin >= b.end) break;
        pos += static_cast<size_t>(std::lround(10e-6 * fs_));
        continue;
      }
      c.start = c.ofdm.start;
      // A SIGNAL field read from noise or a cut burst can promise more
      // symbols than the samples hold: the packet ends with the samples.
      c.end = std::min(n, std::max(c.ofdm.end, c.ofdm.ltfStart + 1));
      next = std::max(c.end, c.ofdm.end);
    } else {
      c.dsss = dsss_->receive(x, n, pos);
      if (!c.dsss.found) {
        const size_t step = static_cast<size_t>(std::lround(100e-6 * fs_));
        if (pos + step + margin >= b.end) break;
        pos += step;
        continue;
      }
      c.start = c.dsss.start;
      c.end = std::min(n, std::max(c.dsss.end, c.dsss.start + 1));
      next = std::max(c.end, c.dsss.end);
    }
    judge(c, x);
    out.push_back(std::move(c));
    ++found;
    pos = std::max(next, pos + margin);
  }
  return found;
}

const std::vector<Burst>& Verifier::turn_and_find(CVec& x, CVec& spare) {
  const size_t n = x.size();
  const size_t turn = bursts_.loop_start(x.data(), n, fs_);
  if (turn > 0) {
    spare.resize(n);
    std::copy(x.begin() + static_cast<long>(turn), x.end(), spare.begin());
    std::copy(x.begin(), x.begin() + static_cast<long>(turn), spare.end() - static_cast<long>(turn));
    x.swap(spare);
  }
  return bursts_.find_turned(x.data(), n, fs_, turn);
}

// The judgement from the packet alone: decoding and the limits, and the
// spectrum mask measured (its verdict is added in finish(), after the PSDU's).
void Verifier::judge(PacketCheck& c, const cplx* x) {
  auto fail = [&](const std::string& s) { c.failures.push_back(s); };
  // Each limit is judged on the figure as its failure prints it (see
  // as_printed).
  // Without an FCS the PSDU is checked against the parameter set's alone.
  c.fcsSent = expected_.fcs;
  if (family_ == Family::Ofdm) {
    const OfdmPacket& p = c.ofdm;
    c.decoded = p.signalOk && (p.fcsOk || !c.fcsSent);
    if (!p.error.empty()) fail(p.error);
    if (p.error.empty() && !p.signalOk) fail("SIGNAL field not valid");
    if (p.error.empty() && !p.fcsOk && c.fcsSent) fail("FCS wrong");
    if (p.error.empty()) {
      if (as_printed(p.evmDb, 1) > p.evmLimitDb) fail(fmt("EVM %.1f dB above the limit %.0f dB", p.evmDb, p.evmLimitDb));
      if (!p.flatnessOk) fail(fmt("spectral flatness %.1f dB outside its limits", p.flatnessWorstDb));
      if (as_printed(p.dcLeakageDb, 1) > 2)
        fail(fmt("carrier leakage %.1f dB above the mean sub-carrier (limit +2 dB)", p.dcLeakageDb));
      if (!p.unusedCarriers.empty())
        c.warnings.push_back(fmt("%.0f sub-carriers carry nothing", static_cast<double>(p.unusedCarriers.size())));
    }
  } else {
    const DsssPacket& p = c.dsss;
    c.decoded = p.headerCrcOk && (p.fcsOk || !c.fcsSent);
    if (!p.error.empty()) fail(p.error);
    if (p.error.empty() && !p.fcsOk && c.fcsSent) fail("FCS wrong");
    if (p.error.empty()) {
      // The packet's line prints the peak to 0.01 %.
      if (as_printed(p.evmPeakPercent, 2) > kDsssEvmLimitPercent)
        fail(fmt("EVM peak %.2f %% above the limit %.0f %%", p.evmPeakPercent, kDsssEvmLimitPercent));
      if (as_printed(p.carrierLeakageDb, 1) > -15) fail(fmt("carrier leakage %.1f dB (limit -15 dB)", p.carrierLeakageDb));
      if (p.ramps.evaluated && as_printed(p.ramps.onSeconds * 1e6, 2) > 2)
        fail(fmt("power-on ramp %.2f us (limit 2 us)", p.ramps.onSeconds * 1e6));
      if (p.ramps.evaluated && as_printed(p.ramps.offSeconds * 1e6, 2) > 2)
        fail(fmt("power-down ramp %.2f us (limit 2 us)", p.ramps.offSeconds * 1e6));
    }
    c.warnings.insert(c.warnings.end(), p.warnings.begin(), p.warnings.end());
  }
  // A 33 Mbit/s burst switches to 16.5 Mchip/s after its header: the part
  // before the clock-switch section and the part after it each against the
  // mask of its own chip rate. The section itself, where one clock's
  // filtered chips give way to the other's, belongs to neither.
  const DsssPacket& d = c.dsss;
  if (family_ == Family::Dsss && d.switchEnd > d.switchStart && d.switchStart > c.start && d.switchEnd < c.end)
    c.mask = worse(mask_.check(x + c.start, d.switchStart - c.start),
                   fastMask_->check(x + d.switchEnd, c.end - d.switchEnd));
  else if (c.end > c.start)
    c.mask = mask_.check(x + c.start, c.end - c.start);
  // Samples that are not numbers leave EVM and mask without a figure.
  for (size_t k = c.start; k < c.end; ++k)
    if (!std::isfinite(x[k].real()) || !std::isfinite(x[k].imag())) ++c.notFinite;
  if (c.notFinite > 0) {
    std::erase_if(c.failures, [](const std::string& f) { return f.rfind("EVM ", 0) == 0; });
    fail(std::to_string(c.notFinite) +
         " samples of the burst are not numbers (NaN or infinite): EVM and spectrum mask not measured");
  }
}

void Verifier::remeasure(PacketCheck& c, const cplx* x, size_t n, size_t index) {
  if (family_ != Family::Ofdm || !ofdm_ || !expected_.psdu) return;
  const OfdmPacket& p = c.ofdm;
  if (!p.found || !p.signalOk || p.fcsOk || !p.error.empty() || !expected_.psdu(index, want_)) return;
  if (want_.size() != 8 * static_cast<size_t>(p.length)) return;
  const size_t os = static_cast<size_t>(std::lround(fs_ / 20e6));
  OfdmPacket again = ofdm_->receive(x, n, p.start, p.ltfStart + os, &want_);
  if (!again.knownReference || again.ltfStart != p.ltfStart) return;
  c.ofdm.evmDb = again.evmDb;
  c.ofdm.evmPercent = again.evmPercent;
  c.ofdm.impairments = again.impairments;
  if (!again.points.empty()) c.ofdm.points = std::move(again.points);
  c.ofdm.knownReference = true;
  ofdm_->recycle(std::move(again.psdu));
  // The judgement of the EVM follows the figure measured again.
  std::erase_if(c.failures, [](const std::string& f) { return f.rfind("EVM ", 0) == 0; });
  if (as_printed(c.ofdm.evmDb, 1) > p.evmLimitDb)
    c.failures.push_back(fmt("EVM %.1f dB above the limit %.0f dB", c.ofdm.evmDb, p.evmLimitDb));
}

void Verifier::finish(PacketCheck& c, size_t index) {
  c.index = index;
  c.carrierHz = expected_.carrierHz;
  const bool ofdm = family_ == Family::Ofdm;
  Bits& psdu = ofdm ? c.ofdm.psdu : c.dsss.psdu;
  const bool received = (ofdm ? c.ofdm.error : c.dsss.error).empty();
  if (received && expected_.psdu && c.decoded && expected_.psdu(c.index, want_)) {
    c.psduEqual = psdu == want_ ? 1 : 0;
    if (c.psduEqual == 0) {
      size_t at = 0;
      while (at < want_.size() && at < psdu.size() && want_[at] == psdu[at]) ++at;
      c.failures.push_back(psdu.size() != want_.size()
                               ? "PSDU of " + std::to_string(psdu.size() / 8) + " octets, the parameter set's has " +
                                     std::to_string(want_.size() / 8)
                               : "PSDU differs from the parameter set's from bit " + std::to_string(at) + " on");
    }
  }
  if (c.mask.evaluated && !c.mask.pass)
    c.failures.push_back(
        fmt("spectrum mask exceeded by %.1f dB at %+.2f MHz", -c.mask.worstMarginDb, c.mask.worstFreqHz / 1e6));
  c.pass = c.failures.empty();
  if (ofdm_) ofdm_->recycle(std::move(c.ofdm.psdu));
  c.ofdm.psdu = Bits();
  c.dsss.psdu = Bits();
}

namespace {

// Verifiers, one per thread, made on the calling thread (DFT plans are
// made there).
std::vector<std::unique_ptr<Verifier>> make_verifiers(unsigned threads, double sample_rate, Family family,
                                                      const Expected& expected) {
  std::vector<std::unique_ptr<Verifier>> v;
  for (unsigned t = 0; t < threads; ++t) {
    v.push_back(std::make_unique<Verifier>(sample_rate, family));
    v.back()->set_expected(expected);
  }
  return v;
}

// Runs work(t) on threads 1.. and on the calling thread as 0; the first
// exception stops the others at their next item (`failed`) and is thrown
// again here.
template <class Work>
void run_threads(unsigned threads, std::atomic<bool>& failed, Work work) {
  std::exception_ptr error;
  auto guarded = [&](unsigned t) {
    try {
      work(t);
    } catch (...) {
      if (!failed.exchange(true)) error = std::current_exception();
    }
  };
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < threads; ++t) pool.emplace_back(guarded, t);
  guarded(0);
  for (auto& th : pool) th.join();
  if (error) std::rethrow_exception(error);
}

}  // namespace

std::vector<PacketCheck> verify_packets(size_t count, const OpenPacketReader& open, double sample_rate, Family family,
                                        const Expected& expected, unsigned threads,
                                        const std::function<void(size_t, size_t)>& progress) {
  std::vector<PacketCheck> results(count);
  threads = static_cast<unsigned>(std::clamp<size_t>(threads, 1, std::max<size_t>(count, 1)));
  const auto verifiers = make_verifiers(threads, sample_rate, family, expected);
  std::vector<PacketReader> readers;
  for (unsigned t = 0; t < threads; ++t) readers.push_back(open());
  std::atomic<size_t> next{0}, done{0};
  std::atomic<bool> failed{false};
  run_threads(threads, failed, [&](unsigned t) {
    Verifier& v = *verifiers[t];
    CVec x, spare;
    std::vector<PacketCheck> found;
    for (size_t k; !failed && (k = next++) < count;) {
      readers[t](k, x);
      found.clear();
      // The packet's first burst that holds a packet.
      for (const Burst& b : v.turn_and_find(x, spare))
        if (v.receive_burst(x.data(), x.size(), b, found) > 0) break;
      PacketCheck& c = results[k];
      if (found.empty()) {
        c.family = family;
        c.index = k;
        c.failures.push_back("no packet found");
      } else {
        c = std::move(found.front());
        v.remeasure(c, x.data(), x.size(), k);
        v.finish(c, k);
      }
      const size_t d = ++done;
      if (t == 0 && progress) progress(d, count);
    }
  });
  if (progress) progress(count, count);  // also when another thread did the last one
  return results;
}

std::vector<PacketCheck> verify_waveform(const cplx* x, size_t n, double sample_rate, Family family,
                                         const Expected& expected, unsigned threads,
                                         const std::function<void(size_t, size_t)>& progress, bool keep_points) {
  if (static_cast<double>(n) < shortest_packet_seconds(family) * sample_rate) return {};
  BurstFinder finder;
  const std::vector<Burst> bursts = finder.find(x, n, sample_rate);
  threads = static_cast<unsigned>(std::clamp<size_t>(threads, 1, std::max<size_t>(bursts.size(), 1)));
  const auto verifiers = make_verifiers(threads, sample_rate, family, expected);
  for (const auto& v : verifiers) v->keep_points(keep_points);
  // Each burst's packets in its own slot, numbered and judged in order
  // once all are in.
  std::vector<std::vector<PacketCheck>> perBurst(bursts.size());
  std::atomic<size_t> next{0}, done{0};
  std::atomic<bool> failed{false};
  run_threads(threads, failed, [&](unsigned t) {
    for (size_t b; !failed && (b = next++) < bursts.size();) {
      verifiers[t]->receive_burst(x, n, bursts[b], perBurst[b]);
      const size_t d = ++done;
      if (t == 0 && progress) progress(d, bursts.size());
    }
  });
  if (progress) progress(bursts.size(), bursts.size());
  std::vector<PacketCheck> out;
  for (auto& packets : perBurst)
    for (PacketCheck& c : packets) {
      verifiers[0]->remeasure(c, x, n, out.size());
      verifiers[0]->finish(c, out.size());
      out.push_back(std::move(c));
    }
  return out;
}

}  // namespace tarvio::verify
