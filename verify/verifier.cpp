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
  }
}

size_t Verifier::scan(const cplx* x, size_t n, size_t offset, size_t first_index, std::vector<PacketCheck>& out) {
  size_t found = 0;
  const size_t margin = static_cast<size_t>(std::lround(2e-6 * fs_));
  for (const Burst& b : find_bursts(x, n, fs_)) {
    size_t pos = b.start > margin ? b.start - margin : 0;
    while (pos + margin < b.end) {
      PacketCheck c;
      c.family = family_;
      c.index = first_index + found;
      size_t next = 0;
      if (family_ == Family::Ofdm) {
        // The long training field lies 8 us into the burst.
        const size_t searchEnd = pos + static_cast<size_t>(std::lround(12e-6 * fs_)) + margin;
        c.ofdm = ofdm_->receive(x, n, pos, searchEnd);
        if (!c.ofdm.found) break;
        c.start = c.ofdm.start;
        c.end = std::max(c.ofdm.end, c.ofdm.ltfStart + 1);
        next = c.end;
      } else {
        c.dsss = dsss_->receive(x, n, pos);
        if (!c.dsss.found) break;
        c.start = c.dsss.start;
        c.end = std::max(c.dsss.end, c.dsss.start + 1);
        next = c.end;
      }
      judge(c, x);
      c.start += offset;
      c.end += offset;
      out.push_back(std::move(c));
      ++found;
      pos = std::max(next, pos + margin);
    }
  }
  return found;
}

void Verifier::judge(PacketCheck& c, const cplx* x) {
  auto fail = [&](const std::string& s) { c.failures.push_back(s); };
  const Bits* psdu = nullptr;
  if (family_ == Family::Ofdm) {
    const OfdmPacket& p = c.ofdm;
    c.decoded = p.signalOk && p.fcsOk;
    if (!p.error.empty()) fail(p.error);
    if (p.error.empty() && !p.signalOk) fail("SIGNAL field not valid");
    if (p.error.empty() && !p.fcsOk) fail("FCS wrong");
    if (p.error.empty()) {
      psdu = &p.psdu;
      if (p.evmDb > p.evmLimitDb) fail(fmt("EVM %.1f dB above the limit %.0f dB", p.evmDb, p.evmLimitDb));
      if (!p.flatnessOk) fail(fmt("spectral flatness %.1f dB outside its limits", p.flatnessWorstDb));
      if (p.dcLeakageDb > 2)
        fail(fmt("carrier leakage %.1f dB above the mean sub-carrier (limit +2 dB)", p.dcLeakageDb));
      if (!p.unusedCarriers.empty())
        c.warnings.push_back(fmt("%.0f sub-carriers carry nothing", static_cast<double>(p.unusedCarriers.size())));
    }
  } else {
    const DsssPacket& p = c.dsss;
    c.decoded = p.headerCrcOk && p.fcsOk;
    if (!p.error.empty()) fail(p.error);
    if (p.error.empty() && !p.fcsOk) fail("FCS wrong");
    if (p.error.empty()) {
      psdu = &p.psdu;
      if (p.evmPeakPercent > kDsssEvmLimitPercent)
        fail(fmt("EVM peak %.1f %% above the limit %.0f %%", p.evmPeakPercent, kDsssEvmLimitPercent));
      if (p.carrierLeakageDb > -15) fail(fmt("carrier leakage %.1f dB (limit -15 dB)", p.carrierLeakageDb));
      if (p.ramps.evaluated && p.ramps.onSeconds > 2e-6)
        fail(fmt("power-on ramp %.2f us (limit 2 us)", p.ramps.onSeconds * 1e6));
      if (p.ramps.evaluated && p.ramps.offSeconds > 2e-6)
        fail(fmt("power-down ramp %.2f us (limit 2 us)", p.ramps.offSeconds * 1e6));
    }
    c.warnings.insert(c.warnings.end(), p.warnings.begin(), p.warnings.end());
  }
  if (psdu && expected_ && c.decoded && expected_(c.index, want_)) {
    c.psduEqual = *psdu == want_ ? 1 : 0;
    if (c.psduEqual == 0) {
      size_t at = 0;
      while (at < want_.size() && at < psdu->size() && want_[at] == (*psdu)[at]) ++at;
      fail(psdu->size() != want_.size()
               ? "PSDU of " + std::to_string(psdu->size() / 8) + " octets, the parameter set's has " +
                     std::to_string(want_.size() / 8)
               : "PSDU differs from the parameter set's from bit " + std::to_string(at) + " on");
    }
  }
  if (c.end > c.start) {
    c.mask = mask_.check(x + c.start, c.end - c.start);
    if (c.mask.evaluated && !c.mask.pass)
      fail(fmt("spectrum mask exceeded by %.1f dB at %+.2f MHz", -c.mask.worstMarginDb, c.mask.worstFreqHz / 1e6));
  }
  c.pass = c.failures.empty();
}

std::vector<PacketCheck> verify_packets(size_t count, const PacketReader& read, double sample_rate, Family family,
                                        const ExpectedPsdu& expected, unsigned threads,
                                        const std::function<void(size_t)>& progress) {
  std::vector<PacketCheck> results(count);
  std::atomic<size_t> next{0}, done{0};
  threads = static_cast<unsigned>(std::clamp<size_t>(threads, 1, std::max<size_t>(count, 1)));
  // Receivers (and their DFT plans) are made here, on the calling thread.
  std::vector<std::unique_ptr<Verifier>> verifiers;
  for (unsigned t = 0; t < threads; ++t) {
    verifiers.push_back(std::make_unique<Verifier>(sample_rate, family));
    verifiers.back()->set_expected(expected);
  }
  std::exception_ptr error;
  std::atomic<bool> failed{false};
  auto work = [&](unsigned t, bool report) {
    CVec x;
    std::vector<PacketCheck> found;
    try {
      for (size_t k; !failed && (k = next++) < count;) {
        read(k, x);
        found.clear();
        const size_t turn = loop_start(x.data(), x.size(), sample_rate);
        std::rotate(x.begin(), x.begin() + static_cast<long>(turn), x.end());
        verifiers[t]->scan(x.data(), x.size(), 0, k, found);
        PacketCheck c;
        if (found.empty()) {
          c.family = family;
          c.index = k;
          c.failures.push_back("no packet found");
        } else {
          c = std::move(found.front());
          c.ofdm.psdu = Bits();
          c.dsss.psdu = Bits();
        }
        results[k] = std::move(c);
        const size_t d = ++done;
        if (report && progress) progress(d);
      }
    } catch (...) {
      if (!failed.exchange(true)) error = std::current_exception();
    }
  };
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work, t, false);
  work(0, true);
  for (auto& th : pool) th.join();
  if (error) std::rethrow_exception(error);
  return results;
}

}  // namespace tarvio::verify
