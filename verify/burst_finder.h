// Burst detection by power: the waveform's power in short blocks compared
// with a threshold halfway (in dB) between its idle floor and its bursts,
// so that zero idle intervals and noisy ones both separate the bursts.
// Bursts closer than 2 us are joined; the receivers then find the packets
// inside a burst by their own training fields.
#pragma once

#include <cstddef>
#include <vector>

#include "runtime/types.h"

namespace tarvio::verify {

struct Burst {
  size_t start = 0, end = 0;  // samples [start, end)
};

std::vector<Burst> find_bursts(const cplx* x, size_t n, double sample_rate);

// Waveforms are played in a loop and filtered circularly, so a burst can
// begin at the end of the row and go on at its start. Returns the sample
// to start reading at so that no burst is cut: 0 when the row starts in an
// idle part (or has none), else the middle of the idle part before it.
size_t loop_start(const cplx* x, size_t n, double sample_rate);

}  // namespace tarvio::verify
