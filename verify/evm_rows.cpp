// EVM rows of one packet from its kept points.
#include "verify/evm_rows.h"

#include <algorithm>
#include <cmath>

namespace tarvio::verify {

namespace {

// Sub-carrier numbers of the 48 data values, in the mapper's order.
std::vector<double> data_carriers() {
  std::vector<double> v;
  for (int k = -26; k <= 26; ++k)
    if (k != 0 && k != -21 && k != -7 && k != 7 && k != 21) v.push_back(k);
  return v;
}

bool finite(cplx z) { return std::isfinite(z.real()) && std::isfinite(z.imag()); }

}  // namespace

double evm_percent_to_db(double percent) { return percent > 0 ? 20 * std::log10(percent / 100) : -INFINITY; }

EvmRows evm_rows(const PacketPoints& pts) {
  EvmRows r;
  const size_t n = std::min(pts.measured.size(), pts.ideal.size());
  double ref = 0;
  size_t used = 0;
  for (size_t i = 0; i < n; ++i)
    if (finite(pts.measured[i])) {
      ref += std::norm(pts.ideal[i]);
      ++used;
    }
  if (used == 0 || !(ref > 0)) return r;
  const double meanRef = ref / static_cast<double>(used);
  auto rms = [&](double err, size_t count) { return count ? 100 * std::sqrt(err / count / meanRef) : 0.0; };
  if (pts.perSymbol > 0) {
    const size_t K = pts.perSymbol, S = n / K;
    std::vector<double> carrierErr(K, 0);
    std::vector<size_t> carrierCount(K, 0);
    r.perSymbol.reserve(S);
    for (size_t s = 0; s < S; ++s) {
      double err = 0;
      size_t count = 0;
      for (size_t k = 0; k < K; ++k) {
        const cplx m = pts.measured[K * s + k];
        if (!finite(m)) continue;
        const double e = std::norm(m - pts.ideal[K * s + k]);
        err += e;
        ++count;
        carrierErr[k] += e;
        ++carrierCount[k];
      }
      r.perSymbol.push_back(rms(err, count));
    }
    const std::vector<double> numbers = data_carriers();
    for (size_t k = 0; k < K && k < numbers.size(); ++k)
      if (carrierCount[k] > 0) {
        r.carriers.push_back(numbers[k]);
        r.perCarrier.push_back(rms(carrierErr[k], carrierCount[k]));
      }
  } else {
    for (size_t first = 0; first < n; first += 1000) {
      double err = 0;
      const size_t last = std::min(n, first + 1000);
      for (size_t i = first; i < last; ++i) err += std::norm(pts.measured[i] - pts.ideal[i]);
      r.perSymbol.push_back(rms(err, last - first));
    }
  }
  return r;
}

}  // namespace tarvio::verify
