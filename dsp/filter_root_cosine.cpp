// Root raised cosine pulse-shaping taps with roll-off alpha, normalised to
// unit DC gain.
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "dsp/filter_design.h"
#include "dsp/filter_taps.h"
#include "runtime/registry.h"

namespace tarvio {

RVec Filter_RootCosine(double num_taps, double alpha, double samp_per_symb) {
  if (!(samp_per_symb > 0)) throw std::invalid_argument("Filter_RootCosine: the samples per symbol must be positive.");
  if (!(alpha > 0) || !std::isfinite(alpha))
    throw std::invalid_argument("Filter_RootCosine: the roll-off must be a positive number.");
  constexpr double pi = std::numbers::pi;
  const double G = 4.0 * alpha / (pi * std::sqrt(samp_per_symb));
  const double mid = (num_taps - 1.0) / 2.0;
  const size_t n = symmetric_tap_count(num_taps);
  RVec coef(n);
  double sum = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = (-mid + static_cast<double>(i)) / samp_per_symb;
    const double q = 4.0 * alpha * t;
    const double den = 1.0 - q * q;
    double c;
    if (t == 0.0) {
      c = G * (1.0 + (pi / 4.0) * (1.0 / alpha - 1.0));
    } else if (std::abs(den) < 1e-9) {
      // At |t| = 1/(4 alpha) numerator and denominator both vanish; the
      // grid rarely hits that point exactly in floating point, so a
      // tolerance selects the analytic limit instead of a 0/0 ratio of
      // rounding errors.
      const double a = pi * std::abs(t) + pi / 4.0;
      c = G * ((pi / 4.0) * std::sin(a) - 0.5 * std::cos(a));
    } else {
      c = G * (std::cos(pi * (1.0 + alpha) * t) + std::sin(pi * (1.0 - alpha) * t) / q) / den;
    }
    coef[i] = c;
    sum += c;
  }
  for (double& c : coef) c /= sum;
  return coef;
}

TARVIO_OP(
    "Filter_RootCosine", 3, 1,
    [](const Args& in, int) -> std::vector<Value> {
      return {Value::row(Filter_RootCosine(arg_required(in, 0, "Filter_RootCosine").to_double(),
                                           arg_required(in, 1, "Filter_RootCosine").to_double(),
                                           arg_required(in, 2, "Filter_RootCosine").to_double()))};
    },
    "coef = Filter_RootCosine(num_taps, alpha, samp_per_symb): root raised cosine taps, unit DC gain");

}  // namespace tarvio
