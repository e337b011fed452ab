// The small parameter-set operations that the main window and the unattended
// path share: playback sample rate, the oversampling and scaling kept per
// format family, the data-rate list and the oversampling entry. Each is a
// plain function of the records and the entered value; the overloads without
// records work on the program-wide ones.
#pragma once

#include <optional>
#include <string>

#include "records/records.h"

namespace tarvio {

// One row of the 14-entry data-rate list (positions 1..14).
struct DataRateEntry {
  double dataRate;     // Mbit/s
  double format;       // 1 OFDM, 2 DSSS/CCK/PBCC, 3 ERP-PBCC
  double encoderRate;  // OFDM only, else 0
  double modulation;   // OFDM only, else 0
};
const DataRateEntry& data_rate_entry(int position);  // throws std::out_of_range outside 1..14
// The list position of a rate in Mbit/s, or 0 when the rate is not listed.
int data_rate_position(double dataRate);

// SamplingRate = 20 MHz * OverSampling for format 1, else 11 MHz *
// OverSampling; only when dontSetSampleRate holds 0 (empty or 1: unchanged).
void SetSampleRate(const Parameters& p, SigGenSettings& sg, const std::optional<double>& dontSetSampleRate);
void SetSampleRate();

// Swaps the oversampling remembered for the other format family:
// format 1: OverSampling_b = OverSampling, OverSampling = OverSampling_a;
// otherwise: OverSampling_a = OverSampling, OverSampling = OverSampling_b.
void SetOverSampling(Parameters& p);
void SetOverSampling();

// The same swap for the scaling in force (SigGenSettings.Scaling) against
// dot11aScaling (format 1) and dot11bScaling (formats 2 and 3).
void SetScaling(Parameters& p, SigGenSettings& sg);
void SetScaling();

// The oversampling entry: the entered number rounded and held within 2..9
// (2..5 for format 1); idleSamples and rampLength are rescaled by the ratio
// new/old and rounded; then SetSampleRate. An entry that is not a number
// leaves the oversampling as it is.
void UpdateOversampleRate(Parameters& p, SigGenSettings& sg, const std::string& entry,
                          const std::optional<double>& dontSetSampleRate);
void UpdateOversampleRate(Parameters& p, SigGenSettings& sg, double entry,
                          const std::optional<double>& dontSetSampleRate);
void UpdateOversampleRate(const std::string& entry);

// Applies row `position` of the data-rate list. Position 11 (33 Mbit/s)
// enters 3 * pbcc33Choice (the 33 Mbit/s sample-rate list's value, 1..3) into
// the oversampling entry. A change between format 1 and the DSSS formats at
// a rate other than 33 Mbit/s swaps scaling and then oversampling. Throws
// std::out_of_range for a position outside 1..14.
void UpdateDataRate(Parameters& p, SigGenSettings& sg, int position, double pbcc33Choice,
                    const std::optional<double>& dontSetSampleRate);
// On the program-wide records; takes the 33 Mbit/s choice from the window
// (1 without one) and then redraws the format-dependent controls (without a
// window: redraw_format_records, control/windowless_redraw.h).
void UpdateDataRate(int position);

// Marks unattended operation: parameters.faceless = 1.
void SetFaceless();

}  // namespace tarvio
