// What an analyser draws of one packet, derived from the verification's
// result and the samples it was received from: the constellation, EVM per
// data sub-carrier and per symbol (OFDM) or per 1000-chip block (DSSS),
// the burst's averaged spectrum with the mask's limit line, and its power
// against time with the burst's edges. Plain data, so that the command
// line, the desktop window and the tests share one computation.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "runtime/types.h"
#include "verify/verifier.h"

namespace tarvio::verify {

struct PacketView {
  size_t index = 0;
  Family family = Family::Ofdm;
  std::string format;  // "OFDM", "DSSS" (1 and 2 Mbit/s), "CCK" or "PBCC"
  double rateMbps = 0;
  size_t octets = 0;
  bool found = false;     // the receiver found a packet (else only the failure is known)
  bool headerOk = false;  // SIGNAL field or PLCP header good
  bool fcsOk = false;
  bool pass = false;
  double evmDb = 0;       // rms EVM (DSSS: over every chip)
  double evmPercent = 0;  // OFDM: rms; DSSS: the peak over 1000-chip blocks, the figure judged
  double evmLimitPercent = 0;
  double cfoHz = 0;
  std::vector<std::string> failures;

  // Constellation: the points measured and the points sent, same scale.
  CVec points, ideal;
  // OFDM: rms EVM (%) of each data sub-carrier, at sub-carrier numbers
  // `carriers` (-26 .. 26 without 0 and the pilots), and of each DATA
  // symbol. DSSS: `carriers` empty; `perSymbol` holds each block of 1000
  // chips (the last one shorter). All normalised to the mean power of the
  // points sent, so that the mean of their squares is the square of the
  // rms EVM over the packet.
  std::vector<double> carriers, perCarrier, perSymbol;

  // The burst's averaged spectrum (Welch), peak at 0 dB, and the mask's
  // limit at every bin; empty when the burst has no finite samples.
  double f0Hz = 0, dfHz = 0, rbwHz = 0;
  RVec spectrumDb, maskDb;

  // Mean power (dB relative to the burst's mean) in blocks of `dtS`
  // seconds from `t0S`, over the burst and a twentieth of it (at least
  // 2 us) either side; the burst's edges as the receiver found them.
  // Times from the start of the row the packet was received from.
  double t0S = 0, dtS = 0;
  RVec powerDb;
  double burstStartS = 0, burstEndS = 0;
};

// The view of packet `c`, received from x[0..n) sampled at `fs` Hz (the
// row the packet's start and end count in). The points need a
// verification run that kept them (keep_points); without them the
// constellation and EVM rows stay empty.
PacketView packet_view(const PacketCheck& c, const cplx* x, size_t n, double fs);

// Only what the packet table shows (no spectrum, no power, no points).
PacketView packet_summary(const PacketCheck& c);

}  // namespace tarvio::verify
