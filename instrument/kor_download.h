// The waveform transfer with its RS-232 duration question (KORDownLoadWrap):
// stops the instrument's waveform player, transfers the samples (from the
// packet temporary file or from memory) under the waveform title, ends the
// block with a line feed and restarts the player when it was running.
#pragma once

#include <optional>
#include <string>

#include "instrument/hw_commands.h"
#include "records/records.h"
#include "runtime/types.h"

namespace tarvio {

// Estimated RS-232 transfer time in minutes:
// 32 x samples x 1.125 / baud rate / 60 x segments.
double rs232_transfer_minutes(double samples, double baudrate, double segments);

// Reads an instrument reply as a number: the whole reply (blanks around it
// allowed) must be a decimal number. Empty when it is not.
std::optional<double> reply_number(const std::string& reply);

// num_wfm_segments defaults to 1; 0 is taken as 1. Returns status 0 and the
// line-feed write's text on success; the failed transfer's status and text
// when the transfer failed; -1 and "Download cancelled" when the RS-232
// question was not answered "OK" (nothing is sent then).
HwResult KORDownLoadWrap(const CVec& IQData, const Markers& Marker, const std::string& Filename,
                         const Configuration& config, std::optional<double> num_wfm_segments = std::nullopt);

// Runs one instrument command; an error raised on the way (the module
// cannot be loaded, ...) becomes status 1 with its text, so the command
// sequences never stop on an exception.
template <class F>
HwResult guarded(F&& f) {
  try {
    return f();
  } catch (const std::exception& e) {
    return {1, e.what()};
  }
}

}  // namespace tarvio
