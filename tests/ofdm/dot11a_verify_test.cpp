// Every OFDM rate, oversampling 1 to 4 and the filters none, Gaussian and
// root raised cosine, decoded by the library's receiver: SIGNAL, PSDU and
// FCS come back, and with oversampling the EVM is far inside its limit.
#include <gtest/gtest.h>

#include <random>

#include "dsp/filter_design.h"
#include "mac/fcs.h"
#include "ofdm/dot11a_frame.h"
#include "verify/ofdm_receiver.h"

namespace tarvio {
namespace {

struct RateRow {
  double rate, modulation, encoderRate;
};
const RateRow kRates[] = {{6, 1, 0.5},  {9, 1, 0.75},  {12, 2, 0.5},     {18, 2, 0.75},
                          {24, 3, 0.5}, {36, 3, 0.75}, {48, 4, 2.0 / 3}, {54, 4, 0.75}};

TEST(Dot11aVerify, EveryRateDecodes) {
  std::mt19937 gen(17);
  Bits psdu(8 * 96);
  for (auto& b : psdu) b = static_cast<uint8_t>(gen() & 1u);
  const Bits fcs = CCITT_CRC32(psdu);
  psdu.insert(psdu.end(), fcs.begin(), fcs.end());
  RVec mask(53, 1.0);
  mask[26] = 0;
  for (const RateRow& r : kRates)
    for (double os : {1.0, 2.0, 3.0, 4.0})
      for (double filter : {0.0, 1.0, 2.0}) {
        const RVec taps = GenFilterCoeffs(filter, 8, 0.5, os, {});
        const Frame f = Dot11a_FRAME(1, psdu, 0, r.rate, r.modulation, r.encoderRate, 1, 93, 1, mask, os, 2, 100 * os,
                                     filter, 0.5, 8 * os, 0, 0, taps);
        verify::OfdmReceiver rx(static_cast<int>(os));
        const verify::OfdmPacket p = rx.receive(f.waveform.data(), f.waveform.size(), 0);
        const std::string what = std::to_string(r.rate) + " Mbit/s OS " + std::to_string(os) + " filter " +
                                 std::to_string(filter) + ": " + p.error;
        ASSERT_TRUE(p.signalOk) << what;
        EXPECT_EQ(p.rateMbps, r.rate) << what;
        EXPECT_EQ(p.psdu, psdu) << what;
        EXPECT_TRUE(p.fcsOk) << what;
        if (os > 1) {
          EXPECT_LT(p.evmDb, p.evmLimitDb - 20) << what;
        }
      }
}

}  // namespace
}  // namespace tarvio
