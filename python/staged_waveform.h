// A waveform held by Python (samples, markers, packets, records) put back
// into a packet temporary file, so that the library's own writers and the
// download send it exactly as they send a calculation.
#pragma once

#include <functional>
#include <string>

#include "python/binding.h"

namespace tarvio::py {

struct WaveformArrays {
  pyb::array samples;     // complex128 or complex64, one row
  pyb::object markers;    // uint8 array of 2 x samples, or None
  size_t packet_len = 0;  // the packets' common length, or 0: one packet of everything
  double sample_rate = 0;
};

// Writes the samples as packets of packet_len samples into a packet file of
// its own, sets up `st` as a calculation of them would (packet size, count,
// peak, the last packet's markers, the sample rate as the playback clock)
// and runs `use` with `st` installed, off the interpreter's lock; the file
// is removed afterwards, also after a failure or an interruption.
// `interrupted` (when given) is called on the interpreter's thread when
// Ctrl-C arrives while `use` runs, so that `use` can end what it does.
void with_staged(State& st, const WaveformArrays& w, const std::function<void()>& use,
                 const std::function<void()>& interrupted = {});

}  // namespace tarvio::py
