// Static multipath channel applied to a finished packet waveform.
#include "dsp/fading.h"

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

#include "records/record_value.h"
#include "runtime/registry.h"

namespace tarvio {

namespace {

double path_value(const std::vector<double>& row, size_t k, const char* name) {
  double v = k < row.size() ? row[k] : 0.0;
  if (!std::isfinite(v))
    throw std::invalid_argument("ApplyFading: Fading." + std::string(name) + "(" + std::to_string(k + 1) +
                                ") must be a finite number");
  return v;
}

// Index i - shift wrapped into 0..n-1 for any integer shift.
size_t wrap(long long i, long long shift, long long n) {
  long long s = (i - shift) % n;
  return static_cast<size_t>(s < 0 ? s + n : s);
}

}  // namespace

void ApplyFading(const CVec& waveform, double samplePeriodUsec, const FadingPaths& Fading, CVec& out) {
  if (!(samplePeriodUsec > 0) || !std::isfinite(samplePeriodUsec))
    throw std::invalid_argument("ApplyFading: the sample period must be a positive number of microseconds, got " +
                                std::to_string(samplePeriodUsec));
  out.assign(waveform.begin(), waveform.end());
  const long long n = static_cast<long long>(waveform.size());
  if (n == 0) return;
  for (size_t k = 0; k < 12 && k < Fading.state.size(); ++k) {
    if (Fading.state[k] == 0) continue;
    const double atten = path_value(Fading.atten, k, "atten");
    const double phase = path_value(Fading.phase, k, "phase");
    const double delay = path_value(Fading.delay, k, "delay");
    const double mag = std::pow(10.0, atten / 20.0);
    const double ang = phase * std::numbers::pi / 180.0;
    const cplx scale(mag * std::cos(ang), mag * std::sin(ang));
    double d = delay / samplePeriodUsec;
    // A delay that is a whole number of samples up to rounding residue of
    // the division is taken as whole.
    const double dr = std::round(d);
    if (std::abs(d - dr) <= 1e-9 * std::max(1.0, std::abs(d))) d = dr;
    const double d0 = std::floor(d);
    const double f = d - d0;
    const long long shift = static_cast<long long>(std::fmod(d0, static_cast<double>(n)));
    if (f == 0) {
      for (long long i = 0; i < n; ++i) out[i] += scale * waveform[wrap(i, shift, n)];
    } else {
      for (long long i = 0; i < n; ++i) {
        const cplx a = waveform[wrap(i, shift, n)];
        const cplx b = waveform[wrap(i, shift + 1, n)];
        out[i] += scale * (a + (b - a) * f);
      }
    }
  }
}

CVec ApplyFading(const CVec& waveform, double samplePeriodUsec, const FadingPaths& Fading) {
  CVec out;
  ApplyFading(waveform, samplePeriodUsec, Fading, out);
  return out;
}

TARVIO_OP(
    "ApplyFading", 3, 1,
    [](const Args& in, int) -> std::vector<Value> {
      CVec w = arg_required(in, 0, "ApplyFading").to_complex();
      double period = arg_required(in, 1, "ApplyFading").to_double();
      FadingPaths paths = record_from_value<FadingPaths>(arg_required(in, 2, "ApplyFading"), "Fading");
      return {Value::complex_row(ApplyFading(w, period, paths))};
    },
    "outwaveform = ApplyFading(waveform, samplePeriodUsec, Fading): adds the twelve multipath paths");

}  // namespace tarvio
