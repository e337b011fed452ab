// Every DSSS, CCK, PBCC and ERP-PBCC rate decoded by the library's
// receiver: long and short preambles, PBCC with the encoder on and off,
// oversampling including 1.5 and the 33 Mbit/s clock switch at 3, 6 and 9
// samples per chip, unfiltered and root-raised-cosine filtered.
#include <gtest/gtest.h>

#include <random>

#include "dsp/filter_design.h"
#include "dsss/dot11b_frame.h"
#include "dsss/dot11g_frame.h"
#include "mac/fcs.h"
#include "verify/dsss_receiver.h"

namespace tarvio {
namespace {

struct Case {
  double rate, pbcc, encoder;
  std::vector<double> os;
};

TEST(DsssVerify, EveryRateDecodes) {
  std::mt19937 gen(23);
  Bits psdu(8 * 61);
  for (auto& b : psdu) b = static_cast<uint8_t>(gen() & 1u);
  const Bits fcs = CCITT_CRC32(psdu);
  psdu.insert(psdu.end(), fcs.begin(), fcs.end());
  const Case cases[] = {{1, 0, 1, {1, 2, 4}},   {2, 0, 1, {1, 1.5, 4}}, {5.5, 0, 1, {1, 2, 4}}, {11, 0, 1, {1, 1.5, 4}},
                        {5.5, 1, 1, {1, 2, 3}}, {5.5, 1, 0, {2}},       {11, 1, 1, {1, 2, 4}},  {11, 1, 0, {2}},
                        {22, 1, 1, {1, 2, 4}},  {22, 1, 0, {2}},        {33, 1, 1, {3, 6, 9}},  {33, 1, 0, {3}}};
  for (const Case& c : cases)
    for (double os : c.os)
      for (double preamble : {0.0, 1.0})
        for (double filter : {0.0, 2.0}) {
          if (filter == 0 && os != std::floor(os)) continue;  // no filter at 1.5 drops every other chip
          const RVec taps = GenFilterCoeffs(filter, 8, 0.5, os, {});
          const Frame f = c.rate > 11 ? Dot11g_FRAME(psdu, 28957, c.rate, 1, preamble, 0, 1, c.encoder, 1, 200, 1,
                                                     22 * os, os, filter, 0.5, 8 * os, 0, taps)
                                      : Dot11b_FRAME(psdu, c.rate, c.pbcc, preamble, 0, 1, c.encoder, 1, 200, 1,
                                                     22 * os, os, filter, 0.5, 8 * os, 0, taps);
          verify::DsssReceiver rx(os);
          const verify::DsssPacket p = rx.receive(f.waveform.data(), f.waveform.size(), 0);
          const std::string what = std::to_string(c.rate) + " Mbit/s pbcc " + std::to_string(c.pbcc) + " encoder " +
                                   std::to_string(c.encoder) + " OS " + std::to_string(os) + " preamble " +
                                   std::to_string(preamble) + " filter " + std::to_string(filter) + ": " + p.error;
          ASSERT_TRUE(p.headerCrcOk) << what;
          EXPECT_EQ(p.rateMbps, c.rate) << what;
          EXPECT_EQ(p.longPreamble, preamble == 0) << what;
          EXPECT_EQ(p.psdu, psdu) << what;
          EXPECT_TRUE(p.fcsOk) << what;
          EXPECT_EQ(p.pbccConvention.uncoded, c.encoder == 0) << what;
          if (os >= 2 && c.rate <= 11) {
            EXPECT_LT(p.evmPeakPercent, verify::kDsssEvmLimitPercent) << what;
          }
          EXPECT_TRUE(p.ramps.evaluated && p.ramps.onSeconds < 2e-6 && p.ramps.offSeconds < 2e-6) << what;
        }
}

}  // namespace
}  // namespace tarvio
