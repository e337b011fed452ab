// IQ imbalance of a transmitter from received points and the points sent,
// pure functions usable on any capture.
//
// A modulator whose Q branch has gain g and stands phi off quadrature
// sends, for x = i + j q, y = i + j g e^(j phi) q; with G = g e^(j phi),
//   y = mu x + nu conj(x),  mu = (1 + G) / 2,  nu = (1 - G) / 2.
// Whatever follows the modulator (a gain, a phase, a carrier offset taken
// off by the receiver, a channel per OFDM sub-carrier) multiplies mu and nu
// alike, so the ratio r = nu / mu survives it, and G = (1 - r) / (1 + r).
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
  double gainDb = 0;    // 20 log10 g
  double phaseDeg = 0;  // phi
};

// From r = B / A of the fit.
IqImbalance EstimateIqImbalance(cplx ratio);

}  // namespace tarvio::verify
