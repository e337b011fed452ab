// tarvio.play_sdr: a Waveform held by Python transmitted on a
// software-defined radio as tarvio-cli play --sdr transmits one: the
// settings checked against the device's ranges before anything is sent, a
// burst per run of marker row 2, once, N times or until Ctrl-C, which ends
// the burst and stops the stream before KeyboardInterrupt is raised.
#include <pybind11/stl.h>

#include <atomic>

#include "files/packet_walk.h"
#include "python/staged_waveform.h"
#include "sdr/sdr_play.h"

namespace tarvio::py {

namespace {

pyb::dict play_sdr(const Records& rec, const pyb::array& samples, const pyb::object& markers, size_t packet_len,
                   double rate, const std::string& device, double frequency, double gain, const std::string& antenna,
                   size_t channel, long repeat, double rate_tx) {
  if (repeat < 0) throw std::invalid_argument("repeat needs a count of 1 or more (0 loops until Ctrl-C)");
  if (rate_tx < 0) throw std::invalid_argument("rate_tx needs a rate above 0");
  State st = rec.state;
  WaveformArrays w;
  w.samples = samples;
  w.markers = markers;
  w.packet_len = packet_len;
  w.sample_rate = rate;
  sdr::PlayOptions o;
  o.frequency = frequency;
  o.gain = gain;
  o.antenna = antenna;
  o.channel = channel;
  o.repeat = repeat;
  o.rate = rate_tx;
  sdr::PlayResult pre, r;
  std::atomic<bool> stop{false};
  with_staged(
      st, w,
      [&] {
        const PacketSource src = current_packets();
        const double wrate = rate > 0 ? rate : records_sample_rate(st);
        auto dev = sdr::open_device(device);
        pre = sdr::prepare_tx(*dev, wrate, o);
        r = sdr::play(*dev, src, wrate, sdr::waveform_peak(src), o, stop);
      },
      [&] { stop = true; });
  pyb::dict out;
  out["format"] = r.format;
  out["device_rate"] = pre.device_rate;
  out["note"] = pre.note;
  out["samples"] = r.samples;
  out["bursts"] = r.bursts;
  out["passes"] = r.passes;
  out["underflows"] = r.underflows;
  out["stopped"] = r.stopped;
  return out;
}

}  // namespace

void bind_sdr(pyb::module_& m) {
  m.def("_play_sdr", &play_sdr, pyb::arg("records"), pyb::arg("samples"), pyb::arg("markers"), pyb::arg("packet_len"),
        pyb::arg("sample_rate"), pyb::arg("device"), pyb::arg("frequency"), pyb::arg("gain"), pyb::arg("antenna"),
        pyb::arg("channel"), pyb::arg("repeat"), pyb::arg("rate_tx"),
        "Plays a waveform on a SoapySDR device (internal).");
}

}  // namespace tarvio::py
