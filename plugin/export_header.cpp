// Setters of the export header record and its construction from the
// settings vector.
#include "export_header.h"

#include <algorithm>
#include <cmath>

namespace tarvio {

namespace {

// Truncates toward zero and clamps into [lo, hi]; NaN gives lo.
double clamp_int(double v, double lo, double hi) {
  if (std::isnan(v)) return lo;
  return std::clamp(std::trunc(v), lo, hi);
}

// The settings dialogs' entry rule for a number: NaN keeps the default,
// anything else is rounded to `step` (0: not rounded) and held in [lo, hi].
double entry(double v, double lo, double hi, double step, double def) {
  if (std::isnan(v)) return def;
  if (step > 0 && std::isfinite(v)) v = std::round(v / step) * step;
  return std::clamp(v, lo, hi);
}

}  // namespace

void ExportHeader::SetReserved2(double v) { Reserved2 = int8_t(clamp_int(v, -1, 4)); }
void ExportHeader::SetReserved3(double v) { Reserved3 = int8_t(clamp_int(v, -1, 4)); }
void ExportHeader::SetReserved5(double v) { Reserved5 = int8_t(clamp_int(v, -1, 1)); }
void ExportHeader::SetReserved4(double v) { Reserved4 = int16_t(clamp_int(v, -1, 2)); }
void ExportHeader::SetRFBlankMarker(double v) { RFBlankMarker = int8_t(clamp_int(v, -1, 4)); }

void ExportHeader::SetMarkerPolarity(double v) {
  MarkerPolarityMask = uint16_t(MarkerPolarityMask & 0x00FF);
  if (v != 0) MarkerPolarityMask = uint16_t(MarkerPolarityMask | 0x000F);
}

ExportHeader make_export_header(const double* values, std::size_t count, const std::string& comment) {
  ExportHeader h;
  // The playback settings keep to the ranges the settings dialogs allow, so
  // a file never carries what the instrument would refuse (a scaling of
  // 500 % or NaN, a negative frequency). The sample rate is kept positive and
  // finite only: the oversampling sets it, also above the dialog's range.
  if (count > 0) h.Frequency = entry(values[0], 100e3, 1e12, 0, h.Frequency);
  if (count > 1) h.SampleRate = entry(values[1], 1, 1e12, 0, h.SampleRate);
  if (count > 2) h.Bandwidth = values[2];
  if (count > 3) h.Scaling = entry(values[3], 1, 100, 0.01, h.Scaling);
  if (count > 4) h.ModAtten = values[4] == -2 ? -2 : entry(values[4], 0, 40, 1, h.ModAtten);
  if (count > 5) h.SetMarkerPolarity(values[5]);
  if (count > 6) h.SetRFBlankMarker(values[6]);
  h.ResidualMode = 4;
  h.Comment = comment.substr(0, 18);
  return h;
}

}  // namespace tarvio
