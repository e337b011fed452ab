// Least-squares widely linear fit and the IQ gain and phase it implies.
#include "verify/iq_estimate.h"

#include <cmath>
#include <numbers>

namespace tarvio::verify {

bool WidelyLinearFit::solve(cplx& a, cplx& b) const {
  // [uu uw; conj(uw) ww] [A; B] = [uy; wy]
  const double det = uu_ * ww_ - std::norm(uw_);
  if (!(det > 1e-9 * uu_ * ww_) || !(uu_ > 0)) return false;
  a = (ww_ * uy_ - uw_ * wy_) / det;
  b = (uu_ * wy_ - std::conj(uw_) * uy_) / det;
  return true;
}

IqImbalance EstimateIqImbalance(cplx r) {
  const cplx g = (1.0 - r) / (1.0 + r);
  return {-20 * std::log10(std::abs(g)), -std::arg(g) * 180 / std::numbers::pi};
}

}  // namespace tarvio::verify
