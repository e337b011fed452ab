// The export header record: the signal generator settings stored at the
// start of an export file, with the clamping setters and the mapping from
// the seven-value settings vector that the library passes in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarvio {

struct ExportHeader {
  double SampleRate = 100000000;
  double Frequency = 4000000000;
  double Scaling = 70;
  int32_t ResidualMode = 0;
  double Bandwidth = -1;
  double Reserved1 = -1;
  double ModAtten = -1;  // dB; -2 = automatic
  int8_t Reserved2 = -1, Reserved3 = -1, Reserved5 = -1;
  int8_t RFBlankMarker = -1;
  int16_t Reserved4 = -1;
  uint16_t MarkerPolarityMask = 0xFF00;
  std::string Comment;  // at most 80 bytes are stored

  void SetReserved2(double v);
  void SetReserved3(double v);
  void SetReserved5(double v);
  void SetReserved4(double v);
  // Marker number 0..4 (0 = off) that blanks the RF output; clamped to [-1, 4].
  void SetRFBlankMarker(double v);
  // Clears the high byte; a non-zero polarity sets bits 0-3 (markers 1-4).
  void SetMarkerPolarity(double v);
};

// Builds the record from the settings vector (frequency, sample rate,
// bandwidth, scaling, modulator attenuation, marker polarity, RF-blanking
// marker; a shorter vector leaves the later fields at their defaults) and
// the comment (at most 18 characters are used). ResidualMode is always 4.
// The settings dialogs' entry rules hold: Frequency in [100 kHz, 1e12 Hz],
// Scaling rounded to 0.01 in [1, 100] %, ModAtten a whole dB in [0, 40]
// (or -2, automatic), SampleRate in [1, 1e12] Hz; NaN keeps the default.
ExportHeader make_export_header(const double* values, std::size_t count, const std::string& comment);

}  // namespace tarvio
