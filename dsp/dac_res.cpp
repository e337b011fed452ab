// DAC-resolution quantisation of a complex waveform.
#include "dsp/dac_res.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "runtime/parallel_pieces.h"
#include "runtime/registry.h"

namespace tarvio {

namespace {

// Samples per thread below which splitting a pass costs more than it saves.
constexpr size_t kGrain = 1 << 18;

// The scale that puts the largest component on the full-scale step; 0 when
// the wave is to pass unchanged (numBits <= 2, an all-zero or empty wave).
double dac_scale(const CVec& wave, double numBits) {
  if (std::isnan(numBits)) throw std::invalid_argument("ApplyDacRes: numBits must be a number");
  if (numBits <= 2) return 0;
  numBits = std::min(numBits, 32.0);
  // The largest component per piece; the largest of those is the same
  // whatever the pieces.
  std::vector<double> peak(piece_count(wave.size(), kGrain), 0);
  std::vector<char> finite(peak.size(), 1);
  parallel_pieces(wave.size(), kGrain, [&](size_t p, size_t b, size_t e) {
    double m = 0;
    bool ok = true;
    for (size_t k = b; k < e; ++k) {
      const cplx& z = wave[k];
      ok &= std::isfinite(z.real());
      ok &= std::isfinite(z.imag());
      m = std::max({m, std::abs(z.real()), std::abs(z.imag())});
    }
    peak[p] = m;
    finite[p] = ok;
  });
  if (std::find(finite.begin(), finite.end(), 0) != finite.end())
    throw std::invalid_argument("ApplyDacRes: the wave must hold finite values only");
  const double m = *std::max_element(peak.begin(), peak.end());
  return m == 0 ? 0 : (std::pow(2.0, numBits - 1) - 1) / m;
}

// round_half_away(v * scale) / scale: the same arithmetic as the scalar
// rule (floor of |v| + 1/2, sign put back), so that the AVX2 clones below,
// four at a time, give the same values.
inline double quantise(double v, double scale) {
  v *= scale;
  const double t = std::floor(std::fabs(v) + 0.5);
  return (v < 0 ? -t : t) / scale;
}

// Each sample is read once; memory, not arithmetic, sets the pace.
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target_clones("avx2", "default")))
#endif
void quantise_interleaved(const double* __restrict in, size_t n, double scale, double* __restrict out) {
  for (size_t k = 0; k < 2 * n; ++k) out[k] = quantise(in[k], scale);
}

// One part (every second component from `in`) into its own row.
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target_clones("avx2", "default")))
#endif
void quantise_part(const double* __restrict in, size_t n, double scale, double* __restrict out) {
  for (size_t k = 0; k < n; ++k) out[k] = quantise(in[2 * k], scale);
}

}  // namespace

CVec ApplyDacRes(const CVec& wave, double numBits) {
  const double scale = dac_scale(wave, numBits);
  if (scale == 0) return wave;
  CVec out(wave.size());
  const double* in = reinterpret_cast<const double*>(wave.data());
  double* o = reinterpret_cast<double*>(out.data());
  parallel_pieces(wave.size(), kGrain,
                  [&](size_t, size_t b, size_t e) { quantise_interleaved(in + 2 * b, e - b, scale, o + 2 * b); });
  return out;
}

void ApplyDacRes(const CVec& wave, double numBits, RVec& re, RVec& im) {
  const double scale = dac_scale(wave, numBits);
  const size_t n = wave.size();
  const double* in = reinterpret_cast<const double*>(wave.data());
  auto row = [&](RVec& out, size_t part) {
    out.clear();
    out.resize(n);
    if (scale == 0)
      for (size_t k = 0; k < n; ++k) out[k] = in[2 * k + part];
    else
      quantise_part(in + part, n, scale, out.data());
  };
  // One row per thread: the first touch of a fresh gigabyte costs as much
  // as the arithmetic, and it too goes faster on two cores. A short wave
  // stays on the caller's thread.
  parallel_pieces(2, n >= kGrain ? 1 : 2, [&](size_t, size_t b, size_t e) {
    for (size_t part = b; part < e; ++part) row(part == 0 ? re : im, part);
  });
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
