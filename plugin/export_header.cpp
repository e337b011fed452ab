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
  if (count > 0) h.Frequency = values[0];
  if (count > 1) h.SampleRate = values[1];
  if (count > 2) h.Bandwidth = values[2];
  if (count > 3) h.Scaling = values[3];
  if (count > 4) h.ModAtten = values[4];
  if (count > 5) h.SetMarkerPolarity(values[5]);
  if (count > 6) h.SetRFBlankMarker(values[6]);
  h.ResidualMode = 4;
  h.Comment = comment.substr(0, 18);
  return h;
}

}  // namespace tarvio
