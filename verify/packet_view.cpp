// The analysis views of one packet from its verification result.
#include "verify/packet_view.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "displays/spectrum.h"
#include "verify/evm_rows.h"
#include "verify/measurements.h"

namespace tarvio::verify {

namespace {

std::string dsss_format(const DsssPacket& p) {
  if (p.pbcc) return "PBCC";
  return p.rateMbps == 5.5 || p.rateMbps == 11 ? "CCK" : "DSSS";
}

// The constellation (the points that carry something) and the EVM rows.
void kept_points(const PacketPoints& pts, PacketView& v) {
  EvmRows rows = evm_rows(pts);
  if (rows.empty()) return;  // no point measured
  const size_t n = std::min(pts.measured.size(), pts.ideal.size());
  for (size_t i = 0; i < n; ++i)
    if (std::isfinite(pts.measured[i].real()) && std::isfinite(pts.measured[i].imag())) {
      v.points.push_back(pts.measured[i]);
      v.ideal.push_back(pts.ideal[i]);
    }
  v.carriers = std::move(rows.carriers);
  v.perCarrier = std::move(rows.perCarrier);
  v.perSymbol = std::move(rows.perSymbol);
}

}  // namespace

PacketView packet_summary(const PacketCheck& c) {
  PacketView v;
  v.index = c.index;
  v.family = c.family;
  v.pass = c.pass;
  v.failures = c.failures;
  if (c.family == Family::Ofdm) {
    const OfdmPacket& p = c.ofdm;
    v.format = "OFDM";
    v.found = p.found;
    v.rateMbps = p.rateMbps;
    v.octets = p.length;
    v.headerOk = p.signalOk;
    v.fcsOk = p.fcsOk;
    v.evmDb = p.evmDb;
    v.evmPercent = p.evmPercent;
    v.evmLimitPercent = 100 * std::pow(10.0, p.evmLimitDb / 20);
    v.cfoHz = p.impairments.cfoHz != 0 ? p.impairments.cfoHz : p.cfoHz;
  } else {
    const DsssPacket& p = c.dsss;
    v.format = dsss_format(p);
    v.found = p.found;
    v.rateMbps = p.rateMbps;
    v.octets = p.octets;
    v.headerOk = p.headerCrcOk;
    v.fcsOk = p.fcsOk;
    v.evmDb = p.evmDb;
    v.evmPercent = p.evmPeakPercent;
    v.evmLimitPercent = kDsssEvmLimitPercent;
    v.cfoHz = p.impairments.cfoHz;
  }
  return v;
}

PacketView packet_view(const PacketCheck& c, const cplx* x, size_t n, double fs) {
  PacketView v = packet_summary(c);
  kept_points(c.family == Family::Ofdm ? c.ofdm.points : c.dsss.points, v);
  if (!(fs > 0) || c.end <= c.start || c.end > n) return v;

  // Spectrum: the averaged one of plot spectrum, over the burst alone.
  bool finite = true;
  for (size_t k = c.start; k < c.end && finite; ++k) finite = std::isfinite(x[k].real()) && std::isfinite(x[k].imag());
  if (finite) {
    const CVec burst(x + c.start, x + c.end);
    try {
      Spectrum s = welch_spectrum(burst, fs);
      v.f0Hz = s.f0_hz;
      v.dfHz = s.df_hz;
      v.rbwHz = s.rbw_hz;
      v.spectrumDb = std::move(s.level_db);
      const MaskKind kind = c.family == Family::Ofdm ? MaskKind::Ofdm : MaskKind::Dsss;
      v.maskDb.resize(v.spectrumDb.size());
      for (size_t k = 0; k < v.maskDb.size(); ++k)
        v.maskDb[k] = mask_limit_db(kind, v.f0Hz + static_cast<double>(k) * v.dfHz);
    } catch (const std::invalid_argument&) {
      v.spectrumDb.clear();
    }
  }

  // Power against time: blocks of 0.1 us (wider when the row would pass
  // 4000 blocks) over the burst and a twentieth of it (2 us at least)
  // either side, so that its edges stand clear of the axes' frame.
  const size_t margin = std::max(static_cast<size_t>(std::lround(2e-6 * fs)), (c.end - c.start) / 20);
  const size_t a = c.start > margin ? c.start - margin : 0, b = std::min(n, c.end + margin);
  size_t block = std::max<size_t>(1, static_cast<size_t>(std::lround(0.1e-6 * fs)));
  block = std::max(block, (b - a + 3999) / 4000);
  double burstPower = 0;
  size_t counted = 0;
  for (size_t k = c.start; k < c.end; ++k)
    if (std::isfinite(std::norm(x[k]))) {
      burstPower += std::norm(x[k]);
      ++counted;
    }
  burstPower = counted && burstPower > 0 ? burstPower / static_cast<double>(counted) : 1;
  v.t0S = static_cast<double>(a) / fs;
  v.dtS = static_cast<double>(block) / fs;
  for (size_t k = a; k < b; k += block) {
    const size_t e = std::min(b, k + block);
    double p = 0;
    for (size_t i = k; i < e; ++i) p += std::norm(x[i]);
    p /= static_cast<double>(e - k);
    // A NaN breaks the line; silence sits at the axis' floor.
    v.powerDb.push_back(std::isfinite(p) ? std::max(-100.0, 10 * std::log10(std::max(p / burstPower, 1e-10)))
                                         : std::nan(""));
  }
  v.burstStartS = static_cast<double>(c.start) / fs;
  v.burstEndS = static_cast<double>(c.end) / fs;
  return v;
}

}  // namespace tarvio::verify
