// tarvio.analyze: samples held by Python (a capture of any transmitter, at
// any sample rate) analysed as tarvio-cli analyze analyses a capture file:
// bursts found against the noise floor, each decoded and judged; the
// results as tarvio-cli analyze --json gives them. The analysis runs off
// the interpreter's lock; Ctrl-C stops it while the capture is scanned.
#include <pybind11/stl.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <complex>
#include <thread>

#include "analyze/analysis_report.h"
#include "analyze/analyzer.h"
#include "analyze/capture_source.h"
#include "files/waveform_file.h"
#include "python/binding.h"
#include "runtime/number_text.h"

namespace tarvio::py {

namespace {

std::string analyze_samples(const pyb::array& samples, double sample_rate, double center_offset,
                            const std::string& family, double carrier, unsigned threads) {
  if (samples.ndim() != 1 || samples.dtype().kind() != 'c' || !(samples.flags() & pyb::array::c_style))
    throw std::invalid_argument("the samples must be a contiguous one-dimensional complex array");
  const std::string why = capture_rate_problem(sample_rate);
  if (!(sample_rate > 0)) throw std::invalid_argument("the capture's sample rate is not known: give sample_rate");
  if (!why.empty()) throw std::invalid_argument("a sample rate " + why);
  if (!std::isfinite(center_offset) || std::abs(center_offset) >= sample_rate / 2)
    throw std::invalid_argument("center_offset outside the capture's band of +-" + Num2Str(sample_rate / 2) + " Hz");
  analyze::AnalyzeOptions o;
  if (family == "ofdm")
    o.family = verify::Family::Ofdm;
  else if (family == "dsss")
    o.family = verify::Family::Dsss;
  else if (!family.empty() && family != "auto")
    throw std::invalid_argument("family '" + family + "': ofdm, dsss or auto");
  o.centerOffsetHz = center_offset;
  o.carrierHz = std::isfinite(carrier) && carrier > 0 ? carrier : 0;
  o.threads = threads > 0 ? threads : std::clamp(std::thread::hardware_concurrency(), 1u, 64u);
  const size_t n = size_t(samples.shape(0));
  const bool single = samples.itemsize() == 8;
  CVec x(n);
  if (single) {
    const auto* f = static_cast<const std::complex<float>*>(samples.data());
    for (size_t k = 0; k < n; ++k) x[k] = cplx(f[k].real(), f[k].imag());
  } else {
    std::copy_n(static_cast<const cplx*>(samples.data()), n, x.begin());
  }
  State st;
  PacketLog log;
  CallMessages msgs;
  std::atomic<bool> cancel{false};
  std::string out;
  run_released(
      st, log, msgs,
      [&] {
        const analyze::CaptureSource src(std::move(x), sample_rate, "samples");
        const analyze::Analysis a = analyze::analyze_capture(src, o, [&](size_t, size_t) {
          if (cancel.load()) throw std::runtime_error("interrupted");
        });
        out = analyze::analysis_json(a, o, "", src.kind()).dump();
      },
      {}, [&] { cancel = true; });
  return out;
}

}  // namespace

void bind_analyze(pyb::module_& m) {
  m.def("_analyze", &analyze_samples, pyb::arg("samples"), pyb::arg("sample_rate"), pyb::arg("center_offset") = 0.0,
        pyb::arg("family") = "", pyb::arg("carrier") = 0.0, pyb::arg("threads") = 0,
        "Analyses a capture held in memory; the results as JSON text (internal).");
}

}  // namespace tarvio::py
