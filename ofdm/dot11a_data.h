// The DATA field of an OFDM frame (IEEE 802.11a 17.3.5): SERVICE, PSDU,
// tail and pad bits, scrambled, convolutionally coded and punctured,
// interleaved per symbol, mapped and turned into joined time-domain symbols.
// Unframed mode sends the user bits alone (no SERVICE, no tail).
#pragma once

#include <cstddef>

#include "runtime/types.h"

namespace tarvio {

// The DATA bit stream before mapping.
struct Dot11aDataBits {
  Bits data;         // SERVICE, user bits, tail and pad, after scrambling (N_SYM * N_DBPS)
  Bits coded;        // after the encoder (N_SYM * N_CBPS)
  size_t nsym = 0;   // N_SYM
  size_t ncbps = 0;  // N_CBPS
  size_t ndbps = 0;  // N_DBPS
};

// N_SYM = ceil(bits / N_DBPS), N_PAD zeros appended; when scrambled, the six
// bits that end just before the pad (the tail in framed mode) are zeroed
// after scrambling; encoderRate 1 sends the bits uncoded.
Dot11aDataBits dot11a_data_bits(double generationMode, const Bits& userData, double serviceField, double modulation,
                                double encoderRate, double scramblerActive, double scramblerInit);

// The same without the encoder (`coded` stays empty): the frame builder
// codes the symbols with Dot11aBitKernel.
Dot11aDataBits dot11a_scrambled_bits(double generationMode, const Bits& userData, double serviceField,
                                     double modulation, double encoderRate, double scramblerActive,
                                     double scramblerInit);

// All DATA symbols joined with Dot11a_StitchSubFrames: N_SYM*80*OS + W
// samples (empty when there are no bits). dataRate is not used.
CVec Dot11a_DATA(double generationMode, const Bits& userData, double serviceField, double dataRate, double modulation,
                 double encoderRate, double scramblerActive, double scramblerInit, double interleaverActive,
                 double oversamplingRate, double windowLength, const RVec& subCarrierMask, double sincCompensation);

// encoderRate snapped to one of 1/2, 2/3, 3/4, 1; other values throw.
double dot11a_encoder_rate(double encoderRate);

}  // namespace tarvio
