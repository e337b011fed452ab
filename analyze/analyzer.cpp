// Burst by burst analysis of a capture, shared among threads.
#include "analyze/analyzer.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "analyze/capture_resampler.h"
#include "analyze/family_detect.h"
#include "verify/measurements.h"

namespace tarvio::analyze {

using verify::Family;
using verify::PacketCheck;

namespace {

std::string fmt(const char* f, double a, double b = 0, double c = 0) {
  char buf[256];
  std::snprintf(buf, sizeof buf, f, a, b, c);
  return buf;
}

// The signal's bandwidth: a capture narrower than it holds no packet of
// the family.
constexpr double kOfdmBandwidth = 16.6e6, kDsssBandwidth = 11e6;
// Above this capture rate the resampling kernels grow long and the mask
// at the capture's rate needs DFTs of millions of points: refused.
constexpr double kMaxAnalyzeRate = 1e9;
// The mask is measured at the capture's rate up to this rate; above it
// at the receiver's, which holds the whole mask.
constexpr double kMaxMaskRate = 200e6;
// Samples read on either side of a burst: the receivers search for the
// training fields from a little before the detected edge.
constexpr double kMarginSeconds = 16e-6;
// The longest packet lasts 65.5 ms (a DSSS LENGTH of 65535 us); a burst
// longer than a piece is analysed in overlapping pieces, so that a
// continuous signal is never held whole.
// The overlap holds the longest PSDU, 4095 octets at 1 Mbit/s (33 ms).
constexpr double kPieceSeconds = 100e-3, kOverlapSeconds = 34e-3;

struct Piece {
  size_t burst;
  size_t start, end;   // the part of the burst, capture samples
  size_t keepFrom;     // packets starting before this belong to the previous piece
  size_t keepBefore;   // packets starting at or after this belong to the next piece
  bool burstStartsCapture, burstEndsCapture;
};

// One thread's receivers and buffers, made on the calling thread (the DFT
// plans are made there).
struct Worker {
  std::unique_ptr<verify::Verifier> ofdm, dsss;
  std::unique_ptr<verify::SpectrumMask> ofdmMask, dsssMask;  // at the capture's rate
  CVec row, rx, tmp;
};

bool header_ok(const PacketCheck& c) {
  return c.family == Family::Ofdm ? c.ofdm.signalOk && c.ofdm.error.empty() : c.dsss.headerCrcOk && c.dsss.error.empty();
}

void mark_not_finite(PacketCheck& c, size_t count) {
  c.notFinite = count;
  c.mask = verify::MaskResult{};
  std::erase_if(c.failures, [](const std::string& f) { return f.rfind("EVM ", 0) == 0; });
  c.failures.push_back(std::to_string(count) +
                       " samples of the burst are not numbers (NaN or infinite): EVM and spectrum mask not measured");
}

class Run {
 public:
  Run(const CaptureSource& src, const AnalyzeOptions& o) : src_(src), o_(o), fs_(src.sample_rate()) {
    ofdmOk_ = fs_ >= kOfdmBandwidth && (!o.family || *o.family == Family::Ofdm);
    dsssOk_ = fs_ >= kDsssBandwidth && (!o.family || *o.family == Family::Dsss);
    if (fs_ > kMaxAnalyzeRate)
      throw std::runtime_error(fmt("a sample rate of %g MHz is above the 1 GHz a capture can be analysed at: "
                                   "decimate it first",
                                   fs_ / 1e6));
    if (!ofdmOk_ && !dsssOk_)
      throw std::runtime_error(
          fmt("a sample rate of %g MHz is below the bandwidth of ", fs_ / 1e6) +
          (o.family ? (*o.family == Family::Ofdm ? "an OFDM signal (16.6 MHz)" : "a DSSS signal (11 MHz)")
                    : "either family (OFDM 16.6 MHz, DSSS 11 MHz)"));
  }

  std::vector<AnalyzedPacket> run(const BurstScan& scan) {
    const size_t total = src_.size();
    const size_t pieceLen = static_cast<size_t>(kPieceSeconds * fs_), overlap = static_cast<size_t>(kOverlapSeconds * fs_);
    for (size_t b = 0; b < scan.bursts.size(); ++b) {
      const CaptureBurst& cb = scan.bursts[b];
      for (size_t s = cb.start;; s += pieceLen - overlap) {
        const size_t e = std::min(cb.end, s + pieceLen);
        const bool last = e == cb.end;
        pieces_.push_back({b, s, e, s == cb.start ? 0 : s, last ? total : e - overlap, cb.start == 0, cb.end >= total});
        if (last) break;
      }
    }
    const unsigned threads = std::max(1u, std::min<unsigned>(o_.threads, static_cast<unsigned>(pieces_.size())));
    if (ofdmOk_) toOfdm_ = std::make_unique<CaptureResampler>(fs_, receiver_rate(true, fs_));
    if (dsssOk_) toDsss_ = std::make_unique<CaptureResampler>(fs_, receiver_rate(false, fs_));
    std::vector<Worker> workers(threads);
    for (Worker& w : workers) make(w);
    std::vector<std::vector<AnalyzedPacket>> out(pieces_.size());
    std::atomic<size_t> next{0};
    std::exception_ptr error;
    std::mutex m;
    auto work = [&](Worker& w) {
      try {
        for (size_t i = next++; i < pieces_.size(); i = next++) out[i] = piece(w, pieces_[i]);
      } catch (...) {
        std::lock_guard<std::mutex> lock(m);
        if (!error) error = std::current_exception();
        next = pieces_.size();
      }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work, std::ref(workers[t]));
    work(workers[0]);
    for (auto& t : pool) t.join();
    if (error) std::rethrow_exception(error);
    std::vector<AnalyzedPacket> all;
    for (auto& v : out)
      for (auto& p : v) all.push_back(std::move(p));
    for (size_t k = 0; k < all.size(); ++k) {
      all[k].check.index = k;
      if (all[k].view) all[k].view->index = k;
    }
    return all;
  }

 private:
  void make(Worker& w) {
    verify::Expected e;
    e.carrierHz = o_.carrierHz;
    if (ofdmOk_) {
      const double r = receiver_rate(true, fs_);
      w.ofdm = std::make_unique<verify::Verifier>(r, Family::Ofdm);
      w.ofdm->set_expected(e);
      w.ofdm->keep_points(true);  // for the EVM rows
      if (r != fs_ && fs_ <= kMaxMaskRate)
        w.ofdmMask = std::make_unique<verify::SpectrumMask>(fs_, verify::MaskKind::Ofdm);
    }
    if (dsssOk_) {
      const double r = receiver_rate(false, fs_);
      w.dsss = std::make_unique<verify::Verifier>(r, Family::Dsss);
      w.dsss->set_expected(e);
      w.dsss->keep_points(true);
      if (r != fs_ && fs_ <= kMaxMaskRate)
        w.dsssMask = std::make_unique<verify::SpectrumMask>(fs_, verify::MaskKind::Dsss);
    }
  }

  std::vector<AnalyzedPacket> piece(Worker& w, const Piece& p) {
    const size_t total = src_.size();
    const size_t margin = static_cast<size_t>(std::lround(kMarginSeconds * fs_));
    const size_t r0 = p.start > margin ? p.start - margin : 0;
    const size_t r1 = std::min(total, p.end + margin);
    const size_t bad = src_.read(r0, r1 - r0, w.row);
    shift_frequency(w.row, o_.centerOffsetHz, fs_, r0);
    const FamilyScore score = score_family(w.row.data(), w.row.size(), p.start - r0, fs_);
    std::vector<Family> order;
    if (o_.family)
      order = {*o_.family};
    else
      order = score.ofdm_first() ? std::vector<Family>{Family::Ofdm, Family::Dsss}
                                 : std::vector<Family>{Family::Dsss, Family::Ofdm};
    std::erase_if(order, [&](Family f) { return f == Family::Ofdm ? !ofdmOk_ : !dsssOk_; });

    std::vector<AnalyzedPacket> result;
    for (Family fam : order) {
      const bool ofdm = fam == Family::Ofdm;
      verify::Verifier& v = ofdm ? *w.ofdm : *w.dsss;
      const CaptureResampler& rs = ofdm ? *toOfdm_ : *toDsss_;
      const CVec* rx = &w.row;
      if (!rs.identity()) {
        rs.run(w.row, w.rx);
        rx = &w.rx;
      }
      const double ratio = rs.rate_out() / fs_;
      auto to_rx = [&](size_t s) { return std::min(rx->size(), static_cast<size_t>(std::lround((s - r0) * ratio))); };
      auto to_capture = [&](size_t s) {
        return std::min(r1, r0 + static_cast<size_t>(std::lround(static_cast<double>(s) / ratio)));
      };
      std::vector<PacketCheck> got;
      v.receive_burst(rx->data(), rx->size(), verify::Burst{to_rx(p.start), to_rx(p.end)}, got);
      const bool any = std::any_of(got.begin(), got.end(), header_ok);
      const double familyScore = ofdm ? score.ofdm : score.dsss;
      if (!any && (got.empty() || familyScore < 0.5)) {
        for (PacketCheck& c : got) v.finish(c, 0);  // hands the PSDU storage back
        continue;
      }
      for (PacketCheck& c : got) {
        AnalyzedPacket a;
        a.burst = p.burst;
        a.rxRate = rs.rate_out();
        a.ofdmScore = score.ofdm;
        a.dsssScore = score.dsss;
        const size_t cs = to_capture(c.start), ce = std::max(cs, to_capture(c.end));
        if (cs < p.keepFrom || cs >= p.keepBefore) {
          v.finish(c, 0);
          continue;
        }
        // The mask over the capture's own band, which a resampled burst
        // would narrow.
        verify::SpectrumMask* mask = ofdm ? w.ofdmMask.get() : w.dsssMask.get();
        if (mask && ce > cs) c.mask = mask->check(w.row.data() + (cs - r0), ce - cs);
        if (bad > 0) {
          const size_t here = src_.read(cs, ce - cs, w.tmp);
          if (here > 0) mark_not_finite(c, here);
        }
        judge(c, fam, *rx, r1 == total, ratio, a);
        v.finish(c, 0);
        // The rows stay with the packet (taken from its view when it has
        // one), its points (kilobytes per symbol) do not.
        verify::PacketPoints& pts = ofdm ? c.ofdm.points : c.dsss.points;
        if (o_.keepViews) {
          a.view = verify::packet_view(c, rx->data(), rx->size(), rs.rate_out());
          a.evm = {a.view->carriers, a.view->perCarrier, a.view->perSymbol};
        } else {
          a.evm = verify::evm_rows(pts);
        }
        pts = verify::PacketPoints{};
        c.start = cs;
        c.end = ce;
        a.seconds = static_cast<double>(cs) / fs_;
        a.check = std::move(c);
        result.push_back(std::move(a));
      }
      return result;
    }
    // Nothing decodes: a burst of neither family, or one the capture cut
    // before its header.
    AnalyzedPacket a;
    a.burst = p.burst;
    a.foreign = true;
    a.ofdmScore = score.ofdm;
    a.dsssScore = score.dsss;
    a.seconds = static_cast<double>(p.start) / fs_;
    PacketCheck& c = a.check;
    c.family = order.empty() ? Family::Ofdm : order.front();
    c.start = p.start;
    c.end = p.end;
    const double us = static_cast<double>(p.end - p.start) / fs_ * 1e6;
    std::string tried;
    if (ofdmOk_) tried += fmt("OFDM (short training correlation %.2f)", score.ofdm);
    if (ofdmOk_ && dsssOk_) tried += " nor ";
    if (dsssOk_) tried += fmt("DSSS (Barker correlation %.2f)", score.dsss);
    if (p.burstStartsCapture && p.start == 0)
      c.missing = fmt("a burst of %.1f us from the capture's first sample (its start may be cut): ", us) +
                  (ofdmOk_ && dsssOk_ ? "neither " : "no ") + tried + " decodes";
    else if (p.burstEndsCapture && p.end >= total)
      c.missing = fmt("cut: the capture ends %.1f us into a burst, before a header could be read: ", us) +
                  (ofdmOk_ && dsssOk_ ? "neither " : "no ") + tried + " decodes";
    else
      c.missing = fmt("foreign burst of %.1f us: ", us) + (ofdmOk_ && dsssOk_ ? "neither " : "no ") + tried + " decodes";
    result.push_back(std::move(a));
    return result;
  }

  // The analysis's own limits, before the verifier's finish() completes
  // the verdict: frequency tolerances, a packet cut by the capture's end,
  // bit errors against the payload.
  void judge(PacketCheck& c, Family fam, const CVec& rx, bool rowEndsCapture, double ratio, AnalyzedPacket& a) {
    const bool ofdm = fam == Family::Ofdm;
    const size_t announcedEnd = ofdm ? c.ofdm.end : c.dsss.end;
    const bool headerRead = ofdm ? c.ofdm.signalOk : c.dsss.headerCrcOk;
    if (headerRead && rowEndsCapture && announcedEnd > rx.size())
      c.failures.push_back(fmt("cut: the capture ends %.1f us before the end its header announces",
                               static_cast<double>(announcedEnd - rx.size()) / (ratio * fs_) * 1e6));
    if (!header_ok(c)) return;
    const verify::BurstImpairments& m = ofdm ? c.ofdm.impairments : c.dsss.impairments;
    const double tol = carrier_tolerance_hz(fam, o_.carrierHz);
    const double ppm = ofdm ? 20 : 25;
    if (std::abs(verify::as_printed(m.cfoHz / 1e3, 1)) > tol / 1e3) {
      if (o_.carrierHz > 0)
        c.failures.push_back(fmt("carrier offset %+.1f kHz beyond the frequency tolerance +-%.1f kHz", m.cfoHz / 1e3,
                                 tol / 1e3) +
                             fmt(" (%.0f ppm of %g MHz)", ppm, o_.carrierHz / 1e6));
      else
        c.failures.push_back(fmt("carrier offset %+.1f kHz beyond the frequency tolerance +-%.1f kHz", m.cfoHz / 1e3,
                                 tol / 1e3) +
                             fmt(" (%.0f ppm of %g MHz, the highest channel; give --carrier for the channel's own)",
                                 ppm, (ofdm ? 5825e6 : 2484e6) / 1e6));
    }
    if (std::isfinite(m.clockPpm) && std::abs(verify::as_printed(m.clockPpm, 2)) > ppm)
      c.failures.push_back(fmt("symbol clock error %+.2f ppm beyond the tolerance +-%.0f ppm", m.clockPpm, ppm));
    const Bits& psdu = ofdm ? c.ofdm.psdu : c.dsss.psdu;
    if (o_.payloads.empty() || psdu.empty()) return;
    for (const Bits& want : o_.payloads) {
      // The payload may leave out the FCS; a length that differs counts
      // every missing or extra bit.
      const size_t n = want.size() + 32 == psdu.size() ? want.size() : std::max(want.size(), psdu.size());
      long errors = 0;
      for (size_t k = 0; k < n; ++k)
        if (k >= psdu.size() || k >= want.size() || psdu[k] != want[k]) ++errors;
      if (a.bitErrors < 0 || errors < a.bitErrors) {
        a.bitErrors = errors;
        a.bitsCompared = n;
      }
    }
    if (a.bitErrors > 0)
      c.failures.push_back(fmt("%.0f bit errors in %.0f bits against the known payload",
                               static_cast<double>(a.bitErrors), static_cast<double>(a.bitsCompared)));
  }

  const CaptureSource& src_;
  const AnalyzeOptions& o_;
  double fs_;
  bool ofdmOk_ = false, dsssOk_ = false;
  std::vector<Piece> pieces_;
  std::unique_ptr<CaptureResampler> toOfdm_, toDsss_;  // shared: run() only reads them
};

}  // namespace

bool Analysis::pass() const {
  return !packets.empty() &&
         std::all_of(packets.begin(), packets.end(), [](const AnalyzedPacket& p) { return p.check.pass; });
}

double carrier_tolerance_hz(Family family, double carrier_hz) {
  const double ppm = family == Family::Ofdm ? 20e-6 : 25e-6;
  const double carrier = carrier_hz > 0 ? carrier_hz : family == Family::Ofdm ? 5825e6 : 2484e6;
  return ppm * carrier;
}

Bits payload_bits(const std::string& bytes) {
  Bits b;
  b.reserve(8 * bytes.size());
  for (unsigned char c : bytes)
    for (int k = 0; k < 8; ++k) b.push_back(static_cast<uint8_t>((c >> k) & 1u));
  return b;
}

Analysis analyze_capture(const CaptureSource& src, const AnalyzeOptions& options,
                         const std::function<void(size_t, size_t)>& progress) {
  Analysis a;
  a.sampleRate = src.sample_rate();
  a.samples = src.size();
  Run run(src, options);  // refuses a rate below both families' bandwidth before any reading
  a.scan = scan_bursts(src, progress);
  a.packets = run.run(a.scan);
  return a;
}

}  // namespace tarvio::analyze
