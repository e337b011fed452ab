// The four waveform outputs of the last calculation, each written from the
// packet temporary file and the program-wide settings.
#include "files/waveform_outputs.h"

#include <stdexcept>

#include "files/orv_export.h"
#include "files/packet_walk.h"
#include "files/raw_waveform.h"
#include "files/sigmf_output.h"
#include "records/state.h"
#include "runtime/matfile.h"

namespace tarvio {

namespace {

double sample_rate() {
  const auto& r = state().sigGenSettings.SamplingRate;
  if (!r) throw std::runtime_error("SigGenSettings.SamplingRate is not set; calculate a waveform first");
  return *r;
}

}  // namespace

void WriteExportFile(const std::string& path) {
  current_packets();  // a readable error when there is nothing to export
  const ExportStatus s = export_packet_file(path, marker_rows(state().markers), state().sigGenSettings);
  if (s.status != 0) throw std::runtime_error("export of '" + path + "' failed: " + s.description);
}

void WriteRawWaveform(const std::string& path) { write_raw_from_packets(current_packets(), path); }

void WriteSaveWave(const std::string& path) {
  // The I/Q columns and the complex row are built side by side while the
  // packets are read, so the waveform is held once per variable.
  const PacketSource src = current_packets();
  const double rate = sample_rate();
  const size_t n = src.total();
  std::vector<double> columns(2 * n);
  CVec wave(n);
  walk_packets(src, [&](const double* i, const double* q, const uint8_t*, size_t count, size_t first) {
    for (size_t k = 0; k < count; ++k) {
      columns[first + k] = i[k];
      columns[n + first + k] = q[k];
      wave[first + k] = {i[k], q[k]};
    }
  });
  mat_write(path, {{"samplePoints", Value::real(n, 2, std::move(columns))},
                   {"sampleRate", Value(rate)},
                   {"wave", Value::complex_row(std::move(wave))}});
}

void WriteSigmf(const std::string& base) {
  write_sigmf(current_packets(), base, sample_rate(), state().sigGenSettings.Frequency, state().impairments);
}

}  // namespace tarvio
