// IQ imbalance of a transmitter from received points and the points sent,
// pure functions usable on any capture.
//
// A modulator with IQ imbalance sends, for x = i + j q, y = i a_I + q a_Q:
// the images a_I, a_Q of the I and Q axes, ideally 1 and j. Written
// widely linear, y = mu x + nu conj(x) with a_I = mu + nu, a_Q = j (mu - nu).
// Whatever follows the modulator (a gain, a phase, a carrier offset taken
// off by the receiver, a channel per OFDM sub-carrier) multiplies mu and nu
// alike, so the ratio r = nu / mu survives it, and the Q axis against the I
// axis is G = a_Q / (j a_I) = (1 - r) / (1 + r).
// The figures follow the transmitter's IQ impairment: the gain is the I
// branch's over the Q branch's, -20 log10 |G| dB, and the phase how far the
// axes' images stand inside 90 degrees of each other, -arg G. (The
// impairment turns each axis half the phase towards the other and splits
// the gain between them; to first order that is the same G.)
//
// WidelyLinearFit finds y ~ A u + B w by least squares: for one symbol
// stream u = x, w = conj(x); for OFDM sub-carrier k, u = X(k) and
// w = conj(X(-k)) (the mirror carrier's point, which the imbalance folds
// onto k). Then r = B / A. Real-valued points (u and w in step) leave A
// and B apart undetermined: solve() then reports failure.
#pragma once

#include <cstddef>

#include "runtime/types.h"

namespace tarvio::verify {

class WidelyLinearFit {
 public:
  void add(cplx y, cplx u, cplx w) {
    uu_ += std::norm(u);
    ww_ += std::norm(w);
    uw_ += std::conj(u) * w;
    uy_ += std::conj(u) * y;
    wy_ += std::conj(w) * y;
  }
  // A and B; false when the points do not determine them.
  bool solve(cplx& a, cplx& b) const;

 private:
  double uu_ = 0, ww_ = 0;
  cplx uw_ = 0, uy_ = 0, wy_ = 0;
};

struct IqImbalance {
  double gainDb = 0;    // I branch over Q branch
  double phaseDeg = 0;  // 90 degrees less the angle between the axes' images
};

// From r = B / A of the fit.
IqImbalance EstimateIqImbalance(cplx ratio);

}  // namespace tarvio::verify
