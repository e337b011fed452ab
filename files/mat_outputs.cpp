// MAT-format waveform saves: Save Wave, special save and exportVector.
#include "files/mat_outputs.h"

#include <cstdio>
#include <stdexcept>

#include "files/raw_waveform.h"
#include "records/record_value.h"
#include "records/state.h"
#include "runtime/matfile.h"
#include "runtime/report.h"

namespace tarvio {

namespace {

Value iq_columns(const CVec& wave) {
  const size_t n = wave.size();
  std::vector<double> d(2 * n);
  for (size_t k = 0; k < n; ++k) {
    d[k] = wave[k].real();
    d[n + k] = wave[k].imag();
  }
  return Value::real(n, 2, std::move(d));
}

double sample_rate_setting() {
  const auto& rate = state().sigGenSettings.SamplingRate;
  if (!rate) throw std::runtime_error("SigGenSettings.SamplingRate is not set; calculate a waveform first");
  return *rate;
}

// The data-rate text of a rate in Mbit/s: integers in full, else %g.
std::string rate_text(double rate) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", rate);
  return buf;
}

}  // namespace

void SaveWaveFile(const std::string& path, const CVec& wave, double sample_rate) {
  mat_write(
      path,
      {{"samplePoints", iq_columns(wave)}, {"sampleRate", Value(sample_rate)}, {"wave", Value::complex_row(wave)}});
}

bool SaveWaveCommand(const std::string& path) {
  try {
    SaveWaveFile(path, state().waveform, sample_rate_setting());
    return true;
  } catch (const std::exception& e) {
    report_error("Error Saving " + path, e.what(), true);
    return false;
  }
}

bool SpecialSave(const std::string& filename, const std::string& answer) {
  const CVec& wave = state().waveform;
  try {
    if (answer == "ASCII") {
      mat_write(filename, {{"samples", iq_columns(wave)}});
    } else if (answer == "MAT") {
      mat_write(filename, {{"samples", Value::complex(wave.size(), wave.empty() ? 0 : 1, wave)}});
    } else if (answer == "Brisca") {
      if (!SaveBriscaWaveform(wave, filename)) {
        report_error("Special Save", "Error Saving " + filename + "\nthe file could not be written", true);
        return false;
      }
    } else {
      return false;
    }
    return true;
  } catch (const std::exception& e) {
    report_error("Special Save", "Error Saving " + filename + "\n" + e.what(), true);
    return false;
  }
}

std::string exportVector(const std::string& folder) {
  const State& s = state();
  std::string path = "new_" + rate_text(s.parameters.dataRate);
  if (!folder.empty()) path = folder + "/" + path;
  mat_write(path, {{"parameters", to_value(s.parameters)},
                   {"waveform", Value::complex_row(s.waveform)},
                   {"markers", Value::markers(s.markers)}});
  return path;
}

}  // namespace tarvio
