// Entry rules and display of the signal generator settings.
#include "instrument/siggen_entry.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "runtime/types.h"

namespace tarvio {

namespace {

double clamp_entry(double x, double lo, double hi, double previous) {
  if (std::isnan(x)) return previous;
  return std::clamp(x, lo, hi);
}

}  // namespace

std::string EntryTitle(const std::string& entered) {
  std::string t;
  for (char c : entered) {
    char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if ((u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || (u != '\0' && std::strchr("_$&#+-[]", u))) t += u;
  }
  if (t.empty()) return "BLANK";
  return t.substr(0, 20);
}

double unit_factor(int unit_position) { return std::pow(10.0, 3 * (std::clamp(unit_position, 1, 4) - 1)); }

double EntryFrequency(double number, int unit_position, double previous) {
  return clamp_entry(number * unit_factor(unit_position), 100e3, 1e12, previous);
}

double EntryAmplitude(double number, double previous) {
  if (std::isnan(number)) return previous;
  return std::clamp(round_half_away(number), -136.0, 30.0);
}

double EntrySamplingRate(double number, int unit_position, double previous) {
  return clamp_entry(number * unit_factor(unit_position), 1, 100e6, previous);
}

double EntryScaling(double number, double previous) {
  if (std::isnan(number)) return previous;
  if (std::isinf(number)) return number > 0 ? 100 : 1;
  return std::clamp(round_half_away(number * 100) / 100, 1.0, 100.0);
}

double EntryModAtten(double number, double previous) {
  if (std::isnan(number)) return previous;
  return std::clamp(round_half_away(number), 0.0, 40.0);
}

namespace {

std::string value_text(double v) {
  char b[64];
  std::snprintf(b, sizeof b, "%.12g", v);
  return b;
}

// Applies one numeric rule and notes a change.
void rule(std::vector<std::string>& notes, const char* field, const char* unit, const char* range, double& value,
          double ruled) {
  if (ruled == value) return;
  const std::string was = std::isnan(value) ? "is not a number" : value_text(value) + unit + " is outside " + range;
  notes.push_back(std::string(field) + " " + was + ": " + value_text(ruled) + unit + " is used");
  value = ruled;
}

}  // namespace

std::vector<std::string> apply_entry_rules(SigGenSettings& s, const SigGenSettings& previous,
                                           bool sampling_rate_range) {
  std::vector<std::string> notes;
  rule(notes, "Frequency", " Hz", "100 kHz to 1e12 Hz", s.Frequency,
       EntryFrequency(s.Frequency, 1, previous.Frequency));
  rule(notes, "Amplitude", " dBm", "-136 to 30 dBm in whole dB", s.Amplitude,
       EntryAmplitude(s.Amplitude, previous.Amplitude));
  if (s.SamplingRate) {
    double& rate = *s.SamplingRate;
    const double before = previous.SamplingRate.value_or(1e6);
    const double ruled = sampling_rate_range            ? EntrySamplingRate(rate, 1, before)
                         : std::isnan(rate)             ? before
                         : std::isinf(rate) || rate < 1 ? EntrySamplingRate(rate, 1, before)
                                                        : rate;
    rule(notes, "SamplingRate", " Hz", "1 Hz to 100 MHz", rate, ruled);
  }
  rule(notes, "Scaling", " %", "1 to 100 % in steps of 0.01", s.Scaling, EntryScaling(s.Scaling, previous.Scaling));
  rule(notes, "ModAtten", " dB", "0 to 40 dB in whole dB", s.ModAtten, EntryModAtten(s.ModAtten, previous.ModAtten));
  return notes;
}

FrequencyDisplay display_frequency(double hz) {
  static const char* kUnits[] = {"Hz", "kHz", "MHz", "GHz"};
  int pos = hz < 1e3 ? 1 : hz < 1e6 ? 2 : hz < 1e9 ? 3 : 4;
  return {hz / unit_factor(pos), pos, kUnits[pos - 1]};
}

SigGenSettings advanced_defaults() {
  SigGenSettings s;
  s.Title = "NoName";
  s.Frequency = 1e9;
  s.Amplitude = -50;
  s.SamplingRate = 1e6;
  s.BBfilter = 2;
  s.Scaling = 95;
  s.ModAtten = 0;
  s.ModAttenAuto = 0;
  s.RFblanking = 1;
  s.ALC = 1;
  s.ArbRefSource = 0;
  s.MarkerPolarity = 0;
  return s;
}

}  // namespace tarvio
