// Plays a waveform (the packets of a packet file) on a device: the samples
// scaled so that the waveform's peak |I| or |Q| is full scale (1.0 in CF32,
// 32767 in CS16), in the device's preferred of the two formats, with the
// end-of-burst flag on the last sample of every run of marker row 2 (a
// packet without marker 2 ends its burst on its last sample). The idle
// samples between bursts are sent as they are, zeros, so the stream keeps
// its timing. When the device cannot run the waveform's rate, each packet
// is resampled to the nearest rate it can run (band-limited interpolation),
// and the result says so.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>

#include "files/packet_walk.h"
#include "sdr/sdr_device.h"

namespace tarvio::sdr {

struct PlayOptions {
  double frequency = 0;  // Hz
  double gain = 0;       // dB
  std::string antenna;   // "" keeps the device's
  size_t channel = 0;
  long repeat = 1;         // passes over the waveform; 0 loops until stopped
  double rate = 0;         // device rate asked for; 0 = the waveform's
  double timeout_s = 1.0;  // a write that takes nothing for this long fails
  std::string format;      // "CF32" or "CS16"; "" = the device's preference
};

struct PlayResult {
  std::string format;          // the stream format used
  double device_rate = 0;      // the rate the device runs
  std::string note;            // "" or why the rate differs (resampling)
  size_t samples = 0;          // samples sent, all passes
  size_t bursts = 0;           // end-of-burst flags sent
  size_t passes = 0;           // complete passes over the waveform
  size_t underflows = 0;       // underflows the device reported
  bool stopped = false;        // ended by the stop flag
};

// Checks frequency, gain, antenna, channel and rate against the device's
// ranges and refuses (SdrError out_of_range, with the range) before any
// stream starts; then sets the device up. Returns the device rate and the
// note as in PlayResult.
PlayResult prepare_tx(Device& dev, double waveform_rate, const PlayOptions& o);

// Plays src on dev (prepared by prepare_tx). `stop` is polled between
// writes; when it turns true the burst is ended and the stream stopped.
// The peak scales the samples (0 or less: 1). Throws SdrError; the stream
// is stopped on every way out.
PlayResult play(Device& dev, const PacketSource& src, double waveform_rate, double peak, const PlayOptions& o,
                const std::atomic<bool>& stop);

// The largest |I| or |Q| of the packets.
double waveform_peak(const PacketSource& src);

// The preferred of CF32 and CS16: the device's native format when it is one
// of them, else CF32 when offered, else CS16.
std::string choose_format(const Device& dev, Direction d, size_t ch);

}  // namespace tarvio::sdr
