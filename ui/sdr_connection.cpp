// The radio's settings in rfIOConfig.mat, and Download and Check Hardware
// on the radio.
#include "ui/sdr_connection.h"

#include <atomic>
#include <cstdio>

#include "control/parameter_files.h"
#include "files/packet_walk.h"
#include "records/record_value.h"
#include "records/state.h"
#include "runtime/matfile.h"
#include "sdr/sdr_play.h"

namespace tarvio::ui {

namespace {

double waveform_rate() {
  const State& s = state();
  if (s.sigGenSettings.SamplingRate) return *s.sigGenSettings.SamplingRate;
  return (s.parameters.format == 1 ? 20000000.0 : 11000000.0) * s.parameters.OverSampling;
}

}  // namespace

std::optional<SdrConnection> load_sdr_connection() {
  try {
    const Value v = mat_read_var(kIoConfigFile, "sdrConnection", {kSettingsFileMaxBytes});
    const Record& r = v.record();
    SdrConnection c;
    c.selected = r.at("selected").to_double() != 0;
    c.args = r.at("args").str();
    c.frequency = r.at("frequency").to_double();
    c.gain = r.at("gain").to_double();
    return c;
  } catch (const std::exception&) {
    // No radio stored (an older file), or a damaged entry: the defaults.
    return std::nullopt;
  }
}

void save_io_config(const Configuration& c, const SdrConnection& sdr) {
  if (!sdr.selected && sdr.args.empty()) {
    SaveConfig(c);
    return;
  }
  Record r;
  r.set("selected", Value(sdr.selected ? 1.0 : 0.0));
  r.set("args", Value(sdr.args));
  r.set("frequency", Value(sdr.frequency));
  r.set("gain", Value(sdr.gain));
  mat_write(kIoConfigFile, {{"fileParameters", to_value(c)}, {"sdrConnection", Value(r)}});
}

std::string play_on_sdr(const SdrConnection& sdr) {
  const PacketSource src = current_packets();
  sdr::PlayOptions o;
  o.frequency = sdr.frequency;
  o.gain = sdr.gain;
  o.repeat = 1;
  auto dev = sdr::open_device(sdr.args);
  const std::atomic<bool> stop{false};
  const sdr::PlayResult r = sdr::play(*dev, src, waveform_rate(), sdr::waveform_peak(src), o, stop);
  dev.reset();
  char b[256];
  std::snprintf(b, sizeof b, "Played %zu samples on %s (%zu burst(s), %zu underflow(s)).", r.samples,
                sdr.args.c_str(), r.bursts, r.underflows);
  return (r.note.empty() ? "" : "Note: " + r.note + ".\n") + b;
}

std::string check_sdr(const SdrConnection& sdr) {
  try {
    auto dev = sdr::open_device(sdr.args);
    return "Found " + dev->driver() + ": " + dev->hardware();
  } catch (const std::exception& e) {
    return e.what();
  }
}

}  // namespace tarvio::ui
