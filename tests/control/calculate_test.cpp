// The multi-packet calculation: checks and their dialogs, packet numbering in
// the MAC header from packet to packet, the packet file's contents, fading
// at the waveform's own sample period, and the repairs of the driver's
// faults (copies, header restore, packet size of idle packets).
#include "control/calculate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <thread>

#include "control/calculate_command.h"
#include "control/initialize.h"
#include "control/packet_log.h"
#include "control/param_set_ops.h"
#include "control/sequence_control.h"
#include "control/windowless_redraw.h"
#include "dsp/impairment_chain.h"
#include "mac/fcs.h"
#include "mac/mac_bits.h"
#include "mac/mac_header.h"
#include "mac/payload.h"
#include "records/record_value.h"
#include "records/state.h"
#include "runtime/report.h"

namespace tarvio {
namespace {

// Keeps dialogs and status lines; at every "Creating frame" status takes a
// copy of the header bits and of the FCS left by the previous packet.
class SnoopingReporter : public RecordingReporter {
 public:
  void status(const std::string& text) override {
    RecordingReporter::status(text);
    if (text.rfind("Creating frame", 0) == 0) {
      headers.push_back(state().parameters.MACheader.Contents.BitStream);
      fcs_before.push_back(state().parameters.MACfcs.Contents);
    }
  }
  std::vector<std::vector<double>> headers;
  std::vector<std::vector<double>> fcs_before;
};

unsigned read_lsb_first(const std::vector<double>& bits, size_t bgn, size_t n) {
  unsigned v = 0;
  for (size_t i = n; i-- > 0;) v = (v << 1) | (bits.at(bgn + i) != 0 ? 1u : 0u);
  return v;
}

class CalculateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeAll();
    state().dontSetSampleRate = 0;
    state().waveform.clear();
    state().markers = Markers{};
    rep = std::make_shared<SnoopingReporter>();
    old = set_reporter(rep);
  }
  void TearDown() override {
    set_reporter(old);
    std::error_code ec;
    std::filesystem::remove(state().parameters.multiFrame.tmpFileName, ec);
    std::filesystem::remove(state().parameters.multiFrame.tmpFileName + ".markers", ec);
  }
  Parameters& p() { return state().parameters; }
  uintmax_t file_size() { return std::filesystem::file_size(p().multiFrame.tmpFileName); }
  std::vector<CVec> packets() {
    CVec all = read_packet_file(last_packet_log());
    const size_t n = static_cast<size_t>(p().multiFrame.pktSize);
    std::vector<CVec> out;
    for (size_t at = 0; at + n <= all.size(); at += n) out.emplace_back(all.begin() + at, all.begin() + at + n);
    return out;
  }
  std::shared_ptr<SnoopingReporter> rep;
  std::shared_ptr<Reporter> old;
};

TEST_F(CalculateTest, DefaultSetMakesOnePacketAndRestoresTheHeader) {
  const auto header = p().MACheader.Contents.BitStream;
  ASSERT_TRUE(Calculate());
  EXPECT_EQ(last_packet_log().packets(), 1u);
  EXPECT_EQ(p().multiFrame.pktSize, static_cast<double>(state().waveform.size()));
  EXPECT_EQ(file_size(), 16u * state().waveform.size());
  EXPECT_EQ(state().markers.size(), state().waveform.size());
  EXPECT_GT(p().multiFrame.max, 0.0);
  EXPECT_EQ(p().MACheader.Contents.BitStream, header);
  ASSERT_EQ(rep->statuses.size(), 2u);
  EXPECT_EQ(rep->statuses[0], "Creating frame 1 ...");
  EXPECT_EQ(rep->statuses[1], "");
  EXPECT_TRUE(rep->messages.empty());
}

TEST_F(CalculateTest, SequenceNumberStepsInTheHeaderAndTheFcsFollows) {
  p().numberOfPackets = 4;
  p().MACheader.Contents.SeqCntrl.Contents = 0;
  const Bits data = ByteSwap(Dot11_GeneratePayload(p()));
  const auto os = calcSeqCtnrlOffsets(p().MACheader.Contents);
  ASSERT_TRUE(Calculate());
  ASSERT_EQ(rep->headers.size(), 4u);
  for (size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(read_lsb_first(rep->headers[k], os.osSeqBgn, 12), k) << "packet " << k + 1;
    EXPECT_EQ(read_lsb_first(rep->headers[k], os.osFragBgn, 4), 0u);
    // The FCS of packet k (seen when packet k+1 starts, or at the end).
    Bits packet(rep->headers[k].begin(), rep->headers[k].end());
    packet.insert(packet.end(), data.begin(), data.end());
    const Bits want = Dot11_CalcMACfcs(packet);
    const auto& got = k + 1 < 4 ? rep->fcs_before[k + 1] : p().MACfcs.Contents;
    EXPECT_EQ(std::vector<double>(want.begin(), want.end()), got) << "packet " << k + 1;
  }
  // Different header bits give different waveforms.
  auto pk = packets();
  ASSERT_EQ(pk.size(), 4u);
  EXPECT_NE(pk[0], pk[1]);
  EXPECT_NE(pk[1], pk[2]);
}

TEST_F(CalculateTest, FragmentNumberStepsBetweenSequenceSteps) {
  p().numberOfPackets = 5;
  p().seqCtrlFreq = 2;
  p().incrFragNum = 1;
  const auto os = calcSeqCtnrlOffsets(p().MACheader.Contents);
  ASSERT_TRUE(Calculate());
  ASSERT_EQ(rep->headers.size(), 5u);
  const unsigned seq[] = {0, 0, 1, 1, 2}, frag[] = {0, 1, 0, 1, 0};
  for (size_t k = 0; k < 5; ++k) {
    EXPECT_EQ(read_lsb_first(rep->headers[k], os.osSeqBgn, 12), seq[k]) << "packet " << k + 1;
    EXPECT_EQ(read_lsb_first(rep->headers[k], os.osFragBgn, 4), frag[k]) << "packet " << k + 1;
  }
}

TEST_F(CalculateTest, NumberingOffWritesOnePacketThreeTimes) {
  p().numberOfPackets = 3;
  p().incrSeqCtrl = 0;
  ASSERT_TRUE(Calculate());
  const size_t n = state().waveform.size();
  EXPECT_EQ(file_size(), 3u * 16u * n);
  EXPECT_EQ(rep->headers.size(), 1u);  // generated once
  auto pk = packets();
  ASSERT_EQ(pk.size(), 3u);
  EXPECT_EQ(pk[0], state().waveform);
  EXPECT_EQ(pk[1], pk[0]);
  EXPECT_EQ(pk[2], pk[0]);
}

// Without numbering and with an interval above 1 the copy step must still
// leave exactly numberOfPackets packets (not interval + numberOfPackets - 1).
TEST_F(CalculateTest, CopiesWithIntervalAboveOneKeepThePacketCount) {
  p().numberOfPackets = 5;
  p().incrSeqCtrl = 0;
  p().seqCtrlFreq = 3;
  ASSERT_TRUE(Calculate());
  EXPECT_EQ(last_packet_log().packets(), 5u);
  EXPECT_EQ(file_size(), 5u * 16u * state().waveform.size());
}

TEST_F(CalculateTest, UnchangedPacketsBetweenSequenceStepsAreCopies) {
  p().numberOfPackets = 6;
  p().seqCtrlFreq = 3;  // numbering on, fragments off: packets 1-3 and 4-6 equal
  ASSERT_TRUE(Calculate());
  auto pk = packets();
  ASSERT_EQ(pk.size(), 6u);
  EXPECT_EQ(pk[1], pk[0]);
  EXPECT_EQ(pk[2], pk[0]);
  EXPECT_NE(pk[3], pk[0]);
  EXPECT_EQ(pk[5], pk[3]);
}

// The configured header bits come back whatever SeqCntrl holds: the header
// builder sends the field's octets most significant first, so a restore
// from SeqCntrl.Contents least significant bit first would change them.
TEST_F(CalculateTest, HeaderBitsAreRestoredExactlyForANonZeroSeqCntrl) {
  p().MACheader.Contents.SeqCntrl.Contents = 0x1234;
  RecalcBitStream(p().MACheader.Contents);
  const auto header = p().MACheader.Contents.BitStream;
  p().numberOfPackets = 3;
  p().incrFragNum = 1;
  ASSERT_TRUE(Calculate());
  EXPECT_EQ(p().MACheader.Contents.BitStream, header);
}

TEST_F(CalculateTest, ConflictWarningStopsWithoutAWaveform) {
  p().MACheader.Contents.SeqCntrl.Active = 0;
  RecalcBitStream(p().MACheader.Contents);
  ASSERT_FALSE(Calculate());
  ASSERT_EQ(rep->messages.size(), 1u);
  EXPECT_EQ(rep->messages[0].title, "Parameter Conflict Warning!");
  EXPECT_EQ(rep->messages[0].text,
            "Cannot increment Control Number \nwhen the Seq Control field of the MAC\nheader has been disabled.");
  EXPECT_EQ(rep->messages[0].kind, MessageKind::Warning);
  EXPECT_TRUE(state().waveform.empty());
  EXPECT_EQ(file_size(), 0u);
  EXPECT_EQ(p().multiFrame.max, 0.0);
}

TEST_F(CalculateTest, ScalingGuardAtLowOversampling) {
  struct Case {
    double os, scaling, want;
  };
  for (Case c : {Case{2, 85, 69}, Case{2, 70, 69}, Case{2, 69, 69}, Case{3, 85, 85}}) {
    InitializeAll();
    p().OverSampling = c.os;
    p().dataLength = 10;
    update_lengths(p());
    state().sigGenSettings.Scaling = c.scaling;
    ASSERT_TRUE(Calculate());
    EXPECT_EQ(state().sigGenSettings.Scaling, c.want) << "OverSampling " << c.os << " Scaling " << c.scaling;
  }
}

TEST_F(CalculateTest, FilterLengthNotAMultipleOfTheOversamplingStops) {
  p().OverSampling = 2;
  p().FilterType = 4;
  p().filterCoeffs.assign(13, 0.1);
  const CVec before = state().waveform;
  ASSERT_FALSE(Calculate());
  ASSERT_EQ(rep->messages.size(), 1u);
  EXPECT_EQ(rep->messages[0].title, "File Format Error");
  EXPECT_EQ(rep->messages[0].text, "The number of coeffients (13) must be a\nmultiple of the Oversampling Ratio: 2");
  EXPECT_EQ(state().waveform, before);
}

TEST_F(CalculateTest, ProjectedLengthChecks) {
  struct Case {
    double projected;
    std::string bbg;
    bool ok;
    std::string title;
  };
  const Case cases[] = {
      {10, "MEM-C", false, "Calculation Error!"},  // 24 filter taps > 10 samples
      {2000000, "MEM-C", true, "Calculation Warning!"}, {8000000, "MEM-A", true, "Calculation Warning!"},
      {8000001, "MEM-A", false, "Size Error!"},         {32000001, "MEM-B", false, "Size Error!"},
      {64000001, "MEM-C", false, "Size Error!"},
  };
  for (const Case& c : cases) {
    InitializeAll();
    rep->messages.clear();
    p().ProjectedLength = c.projected;  // the checks read the stored estimate
    state().configuration.BBGtype = c.bbg;
    EXPECT_EQ(Calculate(), c.ok) << c.projected << " " << c.bbg;
    ASSERT_FALSE(rep->messages.empty());
    EXPECT_EQ(rep->messages.back().title, c.title);
  }
  EXPECT_EQ(rep->messages.back().text, "The sample memory in your signal generator is to small to hold this waveform.");
  EXPECT_FALSE(rep->messages.back().modal);
}

// A packet whose samples are all zero (here: a user filter of zero taps)
// still records its length.
TEST_F(CalculateTest, PacketSizeIsKeptForAnAllZeroPacket) {
  p().FilterType = 4;
  p().filterCoeffs.assign(static_cast<size_t>(p().FilterTaps * p().OverSampling), 0.0);
  ASSERT_TRUE(Calculate());
  EXPECT_EQ(p().multiFrame.max, 0.0);
  EXPECT_GT(state().waveform.size(), 0u);
  EXPECT_EQ(p().multiFrame.pktSize, static_cast<double>(state().waveform.size()));
}

// The fading delay is counted in the waveform's own samples: 20 MHz (OFDM)
// or 11 MHz (DSSS) times the oversampling, whatever the data rate.
class FadingPeriodTest : public CalculateTest, public ::testing::WithParamInterface<int> {};

TEST_P(FadingPeriodTest, OneSampleDelayShiftsByOneSample) {
  const int position = GetParam();
  UpdateDataRate(p(), state().sigGenSettings, position, 1, state().dontSetSampleRate);
  redraw_format_records(p(), state().sigGenSettings, state().dontSetSampleRate);
  p().dataLength = 50;
  update_lengths(p());
  ASSERT_TRUE(Calculate());
  const CVec plain = state().waveform;
  const double base = p().format == 1 ? 20.0 : 11.0;
  p().FadingState = 1;
  p().Fading.state[3] = 1;
  p().Fading.delay[3] = 1.0 / (base * p().OverSampling);
  p().Fading.atten[3] = -6;
  ASSERT_TRUE(Calculate());
  const CVec& faded = state().waveform;
  ASSERT_EQ(faded.size(), plain.size());
  const double g = std::pow(10.0, -6.0 / 20.0);
  const size_t n = plain.size();
  for (size_t i = 0; i < n; ++i) {
    const cplx want = plain[i] + g * plain[(i + n - 1) % n];
    ASSERT_NEAR(std::abs(faded[i] - want), 0.0, 1e-9) << "sample " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Rates, FadingPeriodTest, ::testing::Values(3, 6, 9, 14),
                         [](const auto& p_info) { return "position" + std::to_string(p_info.param); });

TEST_F(CalculateTest, CalculateCommandRecordsOnlyACompletedCalculation) {
  p().MACheader.Contents.SeqCntrl.Active = 0;
  ASSERT_FALSE(CalculateCommand());
  EXPECT_TRUE(state().appInfo.LastCalcTimeStamp.empty());
  EXPECT_FALSE(state().appInfo.LastCaluclatedParameterSet.has_value());
  InitializeParameters();
  ASSERT_TRUE(CalculateCommand());
  ASSERT_EQ(state().appInfo.LastCalcTimeStamp.size(), 6u);
  EXPECT_GE(state().appInfo.LastCalcTimeStamp[0], 2024);
  ASSERT_TRUE(state().appInfo.LastCaluclatedParameterSet.has_value());
  EXPECT_EQ(state().appInfo.LastCaluclatedParameterSet->multiFrame.pktSize, p().multiFrame.pktSize);
}

TEST_F(CalculateTest, MarkersOfEveryPacketAreKept) {
  p().numberOfPackets = 3;
  ASSERT_TRUE(Calculate());
  const Markers all = last_packet_log().all_markers();
  ASSERT_EQ(all.size(), 3 * state().markers.size());
  EXPECT_TRUE(std::equal(state().markers.row1.begin(), state().markers.row1.end(),
                         all.row1.begin() + 2 * state().markers.size()));
}

}  // namespace
}  // namespace tarvio

// ---- impairments in the packet pipeline -----------------------------------

namespace tarvio {
namespace {

// With every impairment off (the fields that only matter with another one
// on set all the same), every family's packets are those of the clean path,
// bit for bit.
TEST_F(CalculateTest, ImpairmentsOffLeaveEveryFamilyBitForBit) {
  for (int position : {1, 3, 4, 6, 9, 11, 14}) {
    InitializeAll();
    UpdateDataRate(p(), state().sigGenSettings, position, 1, state().dontSetSampleRate);
    redraw_format_records(p(), state().sigGenSettings, state().dontSetSampleRate);
    p().dataLength = 40;
    p().numberOfPackets = 2;
    update_lengths(p());
    ASSERT_TRUE(Calculate());
    const std::vector<CVec> clean = packets();
    state().impairments.Seed = 5;
    state().impairments.NoiseBandwidth = 1e6;
    state().impairments.LockedClocks = 1;
    ASSERT_TRUE(Calculate());
    EXPECT_EQ(packets(), clean) << "rate position " << position;
  }
}

// Noise makes every packet its own: no copies, and packet k is the clean
// packet impaired from sample k x its length, the same on any thread and
// in any order; whether the packets share their bits (one clean frame for
// all) or not (each its own).
TEST_F(CalculateTest, NoisyPacketsAreEachMadeAndMatchTheChainAnywhere) {
  std::vector<CVec> noisy;
  for (const double incr : {1.0, 0.0}) {
    p().numberOfPackets = 4;
    p().incrSeqCtrl = incr;
    state().impairments = Impairments{};
    ASSERT_TRUE(Calculate());
    const std::vector<CVec> clean = packets();
    ASSERT_EQ(clean.size(), 4u);
    const Markers markers = state().markers;
    Impairments& m = state().impairments;
    m.SNR = 15;
    m.CFO = 20e3;
    m.IQGain = 0.5;
    m.DCOffset = {-30, -35};
    m.Seed = 3;
    ASSERT_TRUE(Calculate());
    noisy = packets();
    ASSERT_EQ(noisy.size(), 4u);
    const ImpairmentChain chain(m, 11e6 * p().OverSampling, state().sigGenSettings.Frequency);
    std::vector<Frame> mine(4);
    std::thread worker([&] {
      for (size_t k = 4; k-- > 0;) {
        mine[k] = Frame{clean[k], markers};
        chain.apply(mine[k], k * clean[k].size());
      }
    });
    worker.join();
    for (size_t k = 0; k < 4; ++k) EXPECT_EQ(noisy[k], mine[k].waveform) << "packet " << k << " incr " << incr;
  }
  EXPECT_NE(noisy[1], noisy[0]);
  // Static impairments leave equal packets equal: the copies stay.
  state().impairments = Impairments{};
  ASSERT_TRUE(Calculate());
  const std::vector<CVec> clean = packets();
  state().impairments.IQGain = 1;
  ASSERT_TRUE(Calculate());
  const std::vector<CVec> iq = packets();
  EXPECT_EQ(iq[1], iq[0]);
  EXPECT_NE(iq[0], clean[0]);
}

// A carrier offset beyond half the sample rate stops the calculation before
// the packet file is touched.
TEST_F(CalculateTest, RefusedImpairmentsLeaveTheLastWaveform) {
  ASSERT_TRUE(Calculate());
  const std::vector<CVec> before = packets();
  state().impairments.CFO = 30e6;  // 44 Msample/s: above 22 MHz
  EXPECT_THROW(Calculate(), std::invalid_argument);
  EXPECT_EQ(packets(), before);
  state().impairments.CFO = 0;
  state().impairments.PhaseNoise = {1e4, -80, 1e3, -90};  // out of order
  EXPECT_THROW(Calculate(), FieldError);
  EXPECT_EQ(packets(), before);
}

}  // namespace
}  // namespace tarvio
