// Entry rules of the signal generator settings (applied when the user edits
// a field), the frequency display unit, and the advanced settings dialog's
// working copy that replaces SigGenSettings only on OK.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "records/records.h"

namespace tarvio {

// Title: upper-cased; characters other than A-Z, 0-9 and _ $ & # + - [ ]
// dropped; empty becomes "BLANK"; cut to the first 20 characters.
std::string EntryTitle(const std::string& entered);

// Multiplier of a unit position of the list Hz, kHz, MHz, GHz (1-4):
// 10^(3 (position - 1)). Positions outside 1-4 are held at the nearest end.
double unit_factor(int unit_position);

// The numeric entries. A non-number (NaN) keeps `previous`; infinities are
// clamped like any out-of-range value.
double EntryFrequency(double number, int unit_position, double previous);     // Hz, [100 kHz, 1e12]
double EntryAmplitude(double number, double previous);                        // dBm, integer, [-136, 30]
double EntrySamplingRate(double number, int unit_position, double previous);  // Hz, [1, 100 MHz]
double EntryScaling(double number, double previous);                          // %, 0.01 steps, [1, 100]
double EntryModAtten(double number, double previous);                         // dB, integer, [0, 40]

// The entry rules above applied to a whole record, as the dialogs apply
// them to each number entered: Frequency, Amplitude, SamplingRate, Scaling
// and ModAtten. A value that is not a number keeps the one in `previous`.
// The title keeps its text (the defaults' own title is not upper case); the
// playback set-up refuses a title that would break its command. Used for values from the command line and from
// parameter files, so that the instrument is never sent what no entry could give. Returns one line per field the rules
// changed, e.g. "Frequency -5 Hz is outside 100 kHz to 1e12 Hz: 100000 Hz is used". When `sampling_rate_range` is false
// the sampling rate is only kept positive and finite: a stored set holds the rate the calculation chose, also above the
// entry range.
std::vector<std::string> apply_entry_rules(SigGenSettings& s, const SigGenSettings& previous,
                                           bool sampling_rate_range = true);

// The frequency as shown: the largest unit that keeps the number at or
// above 1 (below 1000 in Hz, below 1e6 in kHz, below 1e9 in MHz, else GHz).
struct FrequencyDisplay {
  double value = 0;
  int unit_position = 1;  // 1 Hz, 2 kHz, 3 MHz, 4 GHz
  std::string unit;
};
FrequencyDisplay display_frequency(double hz);

// The advanced dialog's own defaults, used when it has no record to start
// from.
SigGenSettings advanced_defaults();

// The advanced dialog's working copy (`newSettings`): edits go to the copy;
// ok() writes it back ("Apply all changes."), cancel() discards it
// ("Discards all changes."); closing the window is a cancel.
class AdvancedSettingsEdit {
 public:
  explicit AdvancedSettingsEdit(const std::optional<SigGenSettings>& start)
      : newSettings(start ? *start : advanced_defaults()) {}
  SigGenSettings newSettings;
  void ok(SigGenSettings& target) const { target = newSettings; }
  void cancel() {}
};

// Fixed tool tips of the settings dialogs.
namespace siggen_tips {
inline constexpr const char* kFrequency =
    "Sets the carrier frequency.\nValid Range: 100 kHz to the maximum\nfrequency of the KOR/MAV option.";
inline constexpr const char* kAmplitude =
    "Sets the output power.\nValid Range: -136 dBm to the maximum\namplitude of the KOR/MAV option.";
inline constexpr const char* kTitle = "Enter the title used to store the \nwaveform in the KOR/MAV.";
inline constexpr const char* kAdvanced = "Configures advanced Signal Generator options.";
inline constexpr const char* kSamplingRate =
    "Sets the baseband samping rate.\nValid Range: 1 Hz - 100 MHz\n(Configures automatically to be consistent\nwith "
    "the selected Oversampling Ratio.)";
inline constexpr const char* kFilter = "Selects the KOR/MAV IQ Baseband filter.";
inline constexpr const char* kScaling = "Sets the I & Q scaling ratio.\nValid Range: 1 - 100 %";
inline constexpr const char* kModAtten = "Sets the Modulator Attentuation.\nValid Range: 0 - 40 dB";
inline constexpr const char* kModAttenAuto = "Sets the Modulator Attentuation\nAuto On or Off";
inline constexpr const char* kRFblanking = "Toggles the state of the\nRF Blanking feature.";
inline constexpr const char* kALC = "Toggles the state of the\nAutomatic Level Control (ALC).";
inline constexpr const char* kArbRefSource =
    "Toggles the source of the ARB reference\nbetween internal and external.\n(Note: Ensure that an external "
    "reference\nis connected to the KOR/MAV before setting\nthe ARB reference source to external.)";
inline constexpr const char* kMarkerPolarity =
    "Toggles the Event marker polarity.\n(Note: The Event 2 Marker is used by\nthe internal RF Blanking feature, "
    "inverting the\npolarity while RF Blanking is active may\nlead to unexpected behaivour.)";
inline constexpr const char* kOk = "Apply all changes.";
inline constexpr const char* kCancel = "Discards all changes.";
}  // namespace siggen_tips

}  // namespace tarvio
