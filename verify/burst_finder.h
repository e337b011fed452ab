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

// Keeps its work buffers from call to call, so that a verifier checking
// packet after packet allocates nothing once the longest has been seen.
class BurstFinder {
 public:
  const std::vector<Burst>& find(const cplx* x, size_t n, double sample_rate);
  // Waveforms are played in a loop and filtered circularly, so a burst can
  // begin at the end of the row and go on at its start. Returns the sample
  // to start reading at so that no burst is cut: 0 when the row starts in
  // an idle part (or has none), else the middle of the idle part before it.
  size_t loop_start(const cplx* x, size_t n, double sample_rate);
  // find() on the row of the last loop_start() turned to start at `turn`
  // (x holds it turned): the block powers are turned instead of measured
  // again when the turn and the row's length are whole blocks.
  const std::vector<Burst>& find_turned(const cplx* x, size_t n, double sample_rate, size_t turn);

 private:
  bool block_powers(const cplx* x, size_t n, double sample_rate);
  const std::vector<Burst>& bursts_from_powers(size_t n, double sample_rate);
  size_t w_ = 1;               // samples per block
  std::vector<double> p_;      // mean power per block
  std::vector<double> order_;  // scratch for the percentiles
  double threshold_ = 0;
  bool idle_ = false;      // block_powers() found an idle part
  bool turnable_ = false;  // p_ holds the powers of the row loop_start() saw
  size_t turnableN_ = 0;
  double turnableRate_ = 0;
  std::vector<Burst> bursts_;
};

std::vector<Burst> find_bursts(const cplx* x, size_t n, double sample_rate);
size_t loop_start(const cplx* x, size_t n, double sample_rate);

}  // namespace tarvio::verify
