// Conformance with the IEEE 802.11a-1999 Annex G worked example: 100 octets
// at 36 Mbit/s, scrambler seed 1011101. Bits must match exactly; time-domain
// samples up to one common scale factor (the annex prints 3 decimals).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "dsp/filter_design.h"
#include "ofdm/annex_g_data.h"
#include "ofdm/dot11a_carrier_mapping.h"
#include "ofdm/dot11a_convol_encode.h"
#include "ofdm/dot11a_data.h"
#include "ofdm/dot11a_frame.h"
#include "ofdm/dot11a_interleave.h"
#include "ofdm/dot11a_mapping.h"
#include "ofdm/dot11a_pilot.h"
#include "ofdm/dot11a_signal.h"
#include "ofdm/dot11a_symbol.h"
#include "ofdm/dot11a_training.h"

namespace tarvio {
namespace {

class AnnexG : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { tables_ = annex_g::load(std::string(TARVIO_TESTDATA) + "/ieee80211a-annex-g.txt"); }
  static const annex_g::Table& table(const std::string& name) {
    auto it = tables_.find(name);
    if (it == tables_.end()) throw std::runtime_error("annex table " + name + " missing");
    return it->second;
  }
  static Bits slice(const Bits& b, size_t from, size_t n) { return Bits(b.begin() + from, b.begin() + from + n); }
  static RVec all_carriers() {
    RVec m(53, 1.0);
    m[26] = 0;
    return Dot11a_CarrierMapping(m, 1);
  }
  // Frequency-domain bins (inverse-DFT order) of one symbol's sub-carriers.
  static CVec bins_of(const CVec& data48, double pilot) {
    CVec sc(53);
    dot11a_subcarrier_vector(data48.data(), pilot, sc.data());
    return Dot11a_CarrierMapping(sc, 1);
  }
  // Least-squares real scale taking ours onto the annex values.
  static double fit_scale(const CVec& ours, const CVec& annex) {
    double num = 0, den = 0;
    for (size_t i = 0; i < ours.size(); ++i) {
      num += std::real(std::conj(ours[i]) * annex[i]);
      den += std::norm(ours[i]);
    }
    return num / den;
  }
  // Largest I or Q deviation of scale*ours from the annex.
  static double max_error(const CVec& ours, const CVec& annex, double scale) {
    double e = 0;
    for (size_t i = 0; i < ours.size(); ++i) {
      const cplx d = scale * ours[i] - annex[i];
      e = std::max({e, std::abs(d.real()), std::abs(d.imag())});
    }
    return e;
  }
  Dot11aDataBits data_bits(double scrambler) const {
    return dot11a_data_bits(1, table("G1").bits, 0, 3, 0.75, scrambler, 93);
  }

  static std::map<std::string, annex_g::Table> tables_;
};
std::map<std::string, annex_g::Table> AnnexG::tables_;

// The annex prints 3 decimals: half a unit of the last place, plus a little
// for the scale fitted from rounded values.
constexpr double kTimeTolerance = 0.0007;

TEST_F(AnnexG, TablesAreComplete) {
  EXPECT_EQ(table("G1").octets.size(), table("G1").count);
  for (const char* name : {"G7", "G8", "G9", "G13", "G14", "G16", "G17", "G18", "G21"})
    EXPECT_EQ(table(name).bits.size(), table(name).count) << name;
  for (const char* name : {"G11", "G22", "G4", "G6", "G12", "G24"})
    EXPECT_EQ(table(name).values.size(), table(name).count) << name;
}

TEST_F(AnnexG, SignalFieldBitsCodingAndInterleaving) {
  const Bits sig = dot11a_signal_bits(36, 100);
  EXPECT_EQ(sig, table("G7").bits);
  const Bits coded = Dot11a_ConvolEncode(sig, 0.5);
  EXPECT_EQ(coded, table("G8").bits);
  const Bits inter = Dot11a_Interleave(coded);
  EXPECT_EQ(inter, table("G9").bits);
  const CVec bins = bins_of(Dot11a_ConvertToIQ(inter, "BPSK"), Dot11a_Pilot(0));
  EXPECT_LT(max_error(bins, table("G11").values, 1.0), 1e-4);
}

TEST_F(AnnexG, DataBitsBeforeAndAfterScrambling) {
  const Dot11aDataBits plain = data_bits(0);
  ASSERT_EQ(plain.nsym, 6u);
  ASSERT_EQ(plain.data.size(), 864u);
  EXPECT_EQ(slice(plain.data, 0, 144), table("G13").bits);
  EXPECT_EQ(slice(plain.data, 720, 144), table("G14").bits);

  const Dot11aDataBits scr = data_bits(1);
  EXPECT_EQ(slice(scr.data, 0, 144), table("G16").bits);
  EXPECT_EQ(slice(scr.data, 720, 144), table("G17").bits);  // tail reset to zero
}

TEST_F(AnnexG, FirstDataSymbolCodedInterleavedAndMapped) {
  const Dot11aDataBits scr = data_bits(1);
  ASSERT_EQ(scr.coded.size(), 6u * 192u);
  const Bits first = slice(scr.coded, 0, 192);
  EXPECT_EQ(first, table("G18").bits);
  const Bits inter = Dot11a_Interleave(first);
  EXPECT_EQ(inter, table("G21").bits);
  const CVec bins = bins_of(Dot11a_ConvertToIQ(inter, "QAM16"), Dot11a_Pilot(1));
  // The annex rounds the 16-QAM values to 3 decimals.
  EXPECT_LT(max_error(bins, table("G22").values, 1.0), 6e-4);
}

TEST_F(AnnexG, TimeDomainFieldsAndWholePacketShareOneScale) {
  const RVec mask = all_carriers();
  // Whole packet: OverSampling 1, one sample of window overlap, no filter
  // (unit impulse of 6 taps, which rotates the frame by 3 samples).
  const RVec taps = GenFilterCoeffs(0, 6, 0, 1, {});
  ASSERT_EQ(taps.size(), 6u);
  RVec sub(53, 1.0);
  sub[26] = 0;
  const Frame f = Dot11a_FRAME(1, table("G1").bits, 0, 36, 3, 0.75, 1, 93, 1, sub, 1, 1, 1, 0, 0, 6, 0, 0, taps);
  const CVec& g24 = table("G24").values;
  ASSERT_EQ(f.waveform.size(), g24.size() + 1);  // 881 burst samples and the even-length pad
  const size_t M = f.waveform.size(), D = taps.size() / 2;
  CVec unrotated(g24.size());
  for (size_t m = 0; m < g24.size(); ++m) unrotated[m] = f.waveform[(m + M - D) % M];
  EXPECT_EQ(f.waveform[(g24.size() + M - D) % M], cplx(0.0, 0.0));  // the pad sample

  const double scale = fit_scale(unrotated, g24);
  EXPECT_LT(max_error(unrotated, g24, scale), kTimeTolerance);

  EXPECT_LT(max_error(Dot11a_ShortSeq(1, 1, mask, 0), table("G4").values, scale), kTimeTolerance);
  EXPECT_LT(max_error(Dot11a_LongSeq(1, 1, mask, 0), table("G6").values, scale), kTimeTolerance);
  EXPECT_LT(max_error(Dot11a_SIGNAL(36, 100, 1, 1, mask, 0), table("G12").values, scale), kTimeTolerance);
  EXPECT_EQ(Dot11a_ShortSeq(1, 1, mask, 0).size(), table("G4").values.size());
  EXPECT_EQ(Dot11a_LongSeq(1, 1, mask, 0).size(), table("G6").values.size());
  EXPECT_EQ(Dot11a_SIGNAL(36, 100, 1, 1, mask, 0).size(), table("G12").values.size());

  // Markers: the 881 burst samples, then the pad; marker 1 on the first sample.
  EXPECT_EQ(std::count(f.markers.row2.begin(), f.markers.row2.end(), 1), 881);
  EXPECT_EQ(f.markers.row2.back(), 0);
  EXPECT_EQ(std::count(f.markers.row1.begin(), f.markers.row1.end(), 1), 1);
  EXPECT_EQ(f.markers.row1[0], 1);
}

}  // namespace
}  // namespace tarvio
