// tarvio.download: a Waveform held by Python sent to the signal generator as
// tarvio-cli download sends a calculation: the connection of
// "rfIOConfig.mat" in the working folder (when there) changed by the same
// connection options, then the download sequence. Downloads share the
// transport module's settings, so one runs at a time.
#include <pybind11/stl.h>

#include <mutex>

#include "hosts/cli/connection_settings.h"
#include "instrument/download_sequence.h"
#include "python/staged_waveform.h"

namespace tarvio::py {

namespace {

std::mutex& download_mutex() {
  static std::mutex m;
  return m;
}

pyb::dict download(const Records& rec, const pyb::array& samples, const pyb::object& markers, size_t packet_len,
                   double rate, const std::vector<std::string>& options) {
  State st = rec.state;
  std::vector<std::string> args = options;
  const ConnectionOverrides o = cli::take_connection_args(args);
  if (!args.empty()) throw std::invalid_argument("unknown connection option " + args.front());
  WaveformArrays w;
  w.samples = samples;
  w.markers = markers;
  w.packet_len = packet_len;
  w.sample_rate = rate;
  HwResult r;
  with_staged(st, w, [&] {
    std::lock_guard<std::mutex> lock(download_mutex());
    Configuration connection = cli::stored_connection();
    connection.BBGtype = st.configuration.BBGtype;
    cli::use_connection(connection, o);
    r = DownloadSequence();
  });
  if (r.status != 0) throw std::runtime_error(r.response.empty() ? "the download failed" : r.response);
  pyb::dict out;
  out["status"] = r.status;
  out["response"] = r.response;
  out["title"] = st.sigGenSettings.Title;
  return out;
}

}  // namespace

void bind_download(pyb::module_& m) {
  m.def("_download", &download, pyb::arg("records"), pyb::arg("samples"), pyb::arg("markers"), pyb::arg("packet_len"),
        pyb::arg("sample_rate"), pyb::arg("options"),
        "Downloads a waveform; options as tarvio-cli download's connection options (internal).");
}

}  // namespace tarvio::py
