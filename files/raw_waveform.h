// The raw 16-bit sample file: I and Q interleaved (I1, Q1, I2, Q2, ...), each
// an unsigned offset-binary 16-bit word (32768 = zero) stored high byte
// first. Layout in docs/raw-file.md.
//
// Scaling: with mx and mn the largest and smallest |value| over the
// interleaved row, every value is multiplied by 32766 * scale / mx when
// mx != mn (so the peak component becomes +-32766 at full scale), rounded
// half away from zero, and offset by 32768.
#pragma once

#include <cstdint>
#include <string>

#include "files/packet_walk.h"
#include "runtime/types.h"

namespace tarvio {

// Maps sample values to the file's 16-bit words.
class RawWordEncoder {
 public:
  // mx, mn: largest and smallest |value|; scale is limited to [0.00001, 1].
  RawWordEncoder(double mx, double mn, double scale);
  // The offset-binary word of one value (results outside 0..65535, possible
  // only for unscaled large values, are limited to that range; NaN gives the
  // zero word 32768).
  uint16_t word(double v) const;
  double factor() const { return factor_; }

 private:
  double factor_ = 1;
};

// saveBriscaWaveform: writes the waveform (complex row) to `filename`,
// replacing any old file. `model` is accepted and does not change the
// bytes. Returns true on success; false when the file cannot be written (no
// partial file is left).
bool SaveBriscaWaveform(const CVec& wave, const std::string& filename, const std::string& model = "KOR-C",
                        double scale = 1);

// The same bytes for every packet of a packet file, streamed in two passes
// (extremes, then words). Throws std::runtime_error when reading or writing
// fails; no partial file is left.
void write_raw_from_packets(const PacketSource& src, const std::string& filename, double scale = 1);

}  // namespace tarvio
