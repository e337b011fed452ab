// DAC-resolution quantisation of a complex waveform.
#include "dsp/dac_res.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "runtime/registry.h"

namespace tarvio {

CVec ApplyDacRes(const CVec& wave, double numBits) {
  if (std::isnan(numBits)) throw std::invalid_argument("ApplyDacRes: numBits must be a number");
  if (numBits <= 2) return wave;
  numBits = std::min(numBits, 32.0);
  double m = 0;
  for (const cplx& z : wave) {
    if (!std::isfinite(z.real()) || !std::isfinite(z.imag()))
      throw std::invalid_argument("ApplyDacRes: the wave must hold finite values only");
    m = std::max({m, std::abs(z.real()), std::abs(z.imag())});
  }
  if (m == 0) return wave;  // nothing to scale: zero stays zero
  const double scale = (std::pow(2.0, numBits - 1) - 1) / m;
  CVec out(wave.size());
  for (size_t i = 0; i < wave.size(); ++i)
    out[i] = cplx(round_half_away(wave[i].real() * scale) / scale, round_half_away(wave[i].imag() * scale) / scale);
  return out;
}

TARVIO_OP(
    "ApplyDacRes", 2, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const Value& w = arg_required(in, 0, "ApplyDacRes");
      CVec r = ApplyDacRes(w.to_complex(), arg_required(in, 1, "ApplyDacRes").to_double());
      // Keep the caller's shape (a column stays a column) and a real wave real.
      if (w.kind() == Value::Kind::Complex) return {Value::complex(w.rows(), w.cols(), std::move(r))};
      std::vector<double> re(r.size());
      for (size_t i = 0; i < r.size(); ++i) re[i] = r[i].real();
      return {Value::real(w.rows(), w.cols(), std::move(re))};
    },
    "resWave = ApplyDacRes(wave, numBits): quantises to numBits of converter resolution");

}  // namespace tarvio
