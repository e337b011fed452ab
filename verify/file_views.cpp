// Reading and checking a waveform file for its analysis views.
#include "verify/file_views.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "files/waveform_file.h"
#include "verify/burst_finder.h"
#include "verify/expected_psdus.h"

namespace tarvio::verify {

FileViews file_views(const std::string& path, double sample_rate, std::optional<Family> family, unsigned threads) {
  WaveformFile s = read_waveform_file(path);
  if (sample_rate > 0) s.sampleRate = sample_rate;
  bool mirror = false;
  if (s.parameters) {
    const Parameters& p = *s.parameters;
    if (!family) family = p.format == 1 ? Family::Ofdm : Family::Dsss;
    if (!(sample_rate > 0) && p.OverSampling > 0) s.sampleRate = (p.format == 1 ? 20e6 : 11e6) * p.OverSampling;
    if (p.MirrorSpectrum == 1) mirror = true;
    if (p.generationMode != 1)
      throw std::runtime_error("'" + path +
                               "' holds an unframed waveform: without preamble and header it cannot be decoded");
  }
  if (!(s.sampleRate > 0)) throw MissingSampleRate("'" + path + "' does not carry its sample rate");
  const std::string why = capture_rate_problem(s.sampleRate);
  if (!why.empty()) throw std::runtime_error("'" + path + "': a sample rate " + why);
  if (!family) {
    const auto f = families_for_rate(s.sampleRate);
    if (f.empty()) {
      char buf[160];
      std::snprintf(buf, sizeof buf, "a sample rate of %g Hz is neither 20 MHz nor 11 MHz times an oversampling factor",
                    s.sampleRate);
      throw std::runtime_error(buf);
    }
    family = f.front();
  }
  if (mirror)
    for (cplx& v : s.samples) v = std::conj(v);
  // A file that says how long it is and holds less: its whole packets only.
  if (s.packets > 0 && s.packetSamples > 0 && s.samples.size() < s.packets * s.packetSamples)
    s.samples.resize(s.samples.size() / s.packetSamples * s.packetSamples);

  Expected want;
  std::optional<ExpectedPsdus> expected;
  if (s.parameters && s.parameters->numberOfPackets > 0)
    expected.emplace(*s.parameters, static_cast<size_t>(s.parameters->numberOfPackets));
  if (std::isfinite(s.carrierHz) && s.carrierHz > 0) want.carrierHz = s.carrierHz;
  if (expected) {
    want.psdu = [&](size_t i, Bits& out) { return expected->fill(i, out); };
    want.fcs = expected->has_fcs();
  }
  // The waveform plays in a loop: read it from an idle part, as verify does.
  const size_t turn = loop_start(s.samples.data(), s.samples.size(), s.sampleRate);
  std::rotate(s.samples.begin(), s.samples.begin() + static_cast<long>(turn), s.samples.end());
  FileViews out;
  out.checks =
      verify_waveform(s.samples.data(), s.samples.size(), s.sampleRate, *family, want, std::max(1u, threads), {}, true);
  out.sampleRate = s.sampleRate;
  out.family = *family;
  char rate[64];
  std::snprintf(rate, sizeof rate, "%s at %g MHz", *family == Family::Ofdm ? "OFDM" : "DSSS", s.sampleRate / 1e6);
  out.title =
      std::filesystem::path(path).filename().string() + ": " + s.kind + ", " + rate + (mirror ? ", mirrored" : "");
  for (const PacketCheck& c : out.checks) out.packets.push_back(packet_summary(c));
  if (out.packets.empty()) out.note = "no packet found";
  out.samples = std::move(s.samples);
  return out;
}

PacketView FileViews::view(size_t k) const {
  if (!full.empty()) return full.at(k);
  return packet_view(checks.at(k), samples.data(), samples.size(), sampleRate);
}

}  // namespace tarvio::verify
