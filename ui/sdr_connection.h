// The software-defined radio as a connection of the I/O connection dialog:
// device arguments, carrier frequency and gain, and whether Download plays
// on it instead of the signal generator. The settings live beside the
// instrument connection in rfIOConfig.mat, as a variable of their own
// ("sdrConnection"), so that a file without them loads as before and the
// connection record keeps its fields.
#pragma once

#include <optional>
#include <string>

#include "records/records.h"

namespace tarvio::ui {

struct SdrConnection {
  bool selected = false;  // Download plays on the radio
  std::string args;       // SoapySDR device arguments, "driver=NAME,serial=..."
  double frequency = 2.412e9;
  double gain = 0;
};

// The name of the connection in the dialog's list.
inline constexpr char kSdrConnectionEntry[] = "SDR (SoapySDR)";

// The settings stored in rfIOConfig.mat in the working folder; empty when
// the file or the variable is missing or unusable.
std::optional<SdrConnection> load_sdr_connection();
// Writes rfIOConfig.mat: the connection record as before, and the radio's
// settings after it when any were entered.
void save_io_config(const Configuration& c, const SdrConnection& sdr);

// Plays the last calculated waveform once on the radio; returns the
// summary text. Throws std::runtime_error with the device's error in words.
std::string play_on_sdr(const SdrConnection& sdr);
// Opens the radio and names it, or gives the reason it cannot be opened.
std::string check_sdr(const SdrConnection& sdr);

}  // namespace tarvio::ui
