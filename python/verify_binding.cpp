// tarvio.verify: the built-in receivers over a Waveform held by Python, as
// tarvio-cli calc --verify checks a calculation (packet by packet, against
// the PSDUs of its parameter set) and tarvio-cli verify checks a file (the
// bursts of the whole row, read from an idle point); the results as the
// JSON of --json.
#include <cmath>
#include <algorithm>
#include <complex>
#include <cstdio>
#include <thread>

#include "files/waveform_file.h"
#include "python/binding.h"
#include "verify/burst_finder.h"
#include "verify/expected_psdus.h"
#include "verify/report.h"
#include "verify/verifier.h"

namespace tarvio::py {

namespace {

using verify::Family;

unsigned default_threads() { return std::clamp(std::thread::hardware_concurrency(), 1u, 4u); }

std::string verify_samples(const pyb::array& samples, double sample_rate, const std::shared_ptr<Records>& records,
                           size_t packet_len, const std::string& family_name, bool mirrored_asked, unsigned threads) {
  if (samples.ndim() != 1 || samples.dtype().kind() != 'c' || !(samples.flags() & pyb::array::c_style))
    throw std::invalid_argument("the samples must be a contiguous one-dimensional complex array");
  const size_t n = size_t(samples.shape(0));
  const bool single = samples.itemsize() == 8;
  const void* data = samples.data();
  const Parameters* p = records ? &records->state.parameters : nullptr;
  if (p && p->generationMode != 1)
    throw std::invalid_argument("the waveform is unframed; without preamble and header it cannot be decoded");
  std::optional<Family> family;
  if (family_name == "ofdm")
    family = Family::Ofdm;
  else if (family_name == "dsss")
    family = Family::Dsss;
  else if (!family_name.empty())
    throw std::invalid_argument("family '" + family_name + "': ofdm or dsss");
  if (!family && p) family = p->format == 1 ? Family::Ofdm : Family::Dsss;
  if (!(sample_rate > 0) && p && p->OverSampling > 0) sample_rate = (p->format == 1 ? 20e6 : 11e6) * p->OverSampling;
  if (!(sample_rate > 0)) throw std::invalid_argument("the waveform's sample rate is not known: give sample_rate");
  if (const std::string why = capture_rate_problem(sample_rate); !why.empty()) {
    char rate[48];
    std::snprintf(rate, sizeof rate, "%g", sample_rate);
    throw std::invalid_argument("sample_rate " + std::string(rate) + " Hz is " + why);
  }
  if (!family) {
    const auto f = verify::families_for_rate(sample_rate);
    if (f.empty())
      throw std::invalid_argument("a sample rate of " + std::to_string(sample_rate) +
                                  " Hz is neither 20 MHz nor 11 MHz times an oversampling factor: give family");
    family = f.front();
  }
  const bool mirrored = mirrored_asked || (p && p->MirrorSpectrum == 1);
  if (threads == 0) threads = default_threads();
  const size_t count = packet_len > 0 && n % packet_len == 0 ? n / packet_len : 0;
  std::optional<verify::ExpectedPsdus> expected;
  if (p && p->numberOfPackets > 0) expected.emplace(*p, count > 0 ? count : size_t(p->numberOfPackets));
  verify::Expected want;
  if (expected) {
    want.psdu = [&](size_t i, Bits& out) { return expected->fill(i, out); };
    want.fcs = expected->has_fcs();
  }
  // The carrier the waveform is played on, for the offset in ppm, as the
  // command line takes it from the calculation or the file.
  if (records) {
    const double f = records->state.sigGenSettings.Frequency;
    if (std::isfinite(f) && f > 0) want.carrierHz = f;
  }
  auto at = [&](size_t k) {
    if (single) {
      const auto* f = static_cast<const std::complex<float>*>(data) + k;
      return cplx(f->real(), mirrored ? -f->imag() : f->imag());
    }
    const cplx v = static_cast<const cplx*>(data)[k];
    return mirrored ? std::conj(v) : v;
  };
  pyb::gil_scoped_release release;
  std::vector<verify::PacketCheck> checks;
  if (count > 0 && p) {
    // A calculation: one burst per packet, each read where it lies.
    auto open = [&]() -> verify::PacketReader {
      return [&, packet_len](size_t k, CVec& x) {
        x.resize(packet_len);
        for (size_t j = 0; j < packet_len; ++j) x[j] = at(k * packet_len + j);
      };
    };
    checks = verify::verify_packets(count, open, sample_rate, *family, want, threads);
  } else {
    // The waveform plays in a loop: start reading in an idle part.
    CVec x(n);
    for (size_t k = 0; k < n; ++k) x[k] = at(k);
    const size_t turn = verify::loop_start(x.data(), x.size(), sample_rate);
    std::rotate(x.begin(), x.begin() + static_cast<long>(turn), x.end());
    checks = verify::verify_waveform(x.data(), x.size(), sample_rate, *family, want, threads);
  }
  nlohmann::json j = verify::to_json(checks, verify::summarize(checks));
  j["family"] = *family == Family::Ofdm ? "ofdm" : "dsss";
  j["sample_rate"] = sample_rate;
  j["mirrored"] = mirrored;
  return j.dump();
}

}  // namespace

void bind_verify(pyb::module_& m) {
  m.def("_verify", &verify_samples, pyb::arg("samples"), pyb::arg("sample_rate"), pyb::arg("records"),
        pyb::arg("packet_len"), pyb::arg("family") = "", pyb::arg("mirrored") = false, pyb::arg("threads") = 0,
        "Verifies a waveform; the results as JSON text (internal).");
}

}  // namespace tarvio::py
