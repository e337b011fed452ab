// The playback command lists for settings other than the download tests'
// defaults, and the older platform's list on the wire (through the
// registered operation, with its ReconFilter field).
#include "instrument/download_fixture.h"
#include "instrument/kor_play.h"
#include "records/record_value.h"
#include "runtime/registry.h"

using namespace tarvio;
using namespace tarvio::testing;

namespace {

SigGenSettings other_settings() {
  SigGenSettings s;
  s.Title = "T";
  s.Frequency = 5.18e9;
  s.Amplitude = -136;
  s.SamplingRate = 44e6;
  s.BBfilter = 3;
  s.Scaling = 69;
  s.ModAtten = 4;
  s.ModAttenAuto = 1;
  s.ALC = 0;
  s.RFblanking = 0;
  s.MarkerPolarity = 1;
  s.ArbRefSource = 1;
  return s;
}

}  // namespace

TEST(PlaybackCommands, SwitchesOffAndAlternativesOnTheNewerPlatform) {
  EXPECT_EQ(korplay_c_commands("T", other_settings(), false),
            (std::vector<std::string>{
                " :source:rad:arb:state off", " :source:rad:arb:wav \"arbi:T\" ", " :source:freq:fix 5180000000Hz",
                " :source:power:level:immediate:amplitude -136dbm", " :source:rad:arb:clock:srate 44000000Hz",
                " :source:dm:bbfilter Through", " :source:rad:ARB:rscaling 69", ":source:DM:IQAT:AUTO off",
                ":source:DM:IQAT:AUTO on", " :pow:alc:state off", " :source:rad:arb:marker:rfblank off",
                " :source:rad:arb:marker:polarity Neg", " :source:rad:arb:clock:ref ext", " :source:rad:arb:state on",
                " :output:state on", " :OUTPUT:MOD ON"}));
}

TEST(PlaybackCommands, FilterCodesOnBothModels) {
  SigGenSettings s = other_settings();
  auto filter = [&](double code, bool kor) { return korplay_c_commands("T", (s.BBfilter = code, s), kor)[5]; };
  EXPECT_EQ(filter(1, true), " :source:dm:bbfilter 2.1MHz");
  EXPECT_EQ(filter(1, false), " :source:dm:bbfilter 40MHz");
  EXPECT_EQ(filter(2, true), " :source:dm:bbfilter 40MHz");
  EXPECT_EQ(filter(7, true), " :source:dm:bbfilter Through");
}

TEST(PlaybackCommands, OlderPlatformReconstructionFilter) {
  auto rfilter = [](std::optional<double> r) { return korplay_commands("T", other_settings(), r)[5]; };
  EXPECT_EQ(rfilter(1), " :source:rad:arb:rfilter 250.0khz");
  EXPECT_EQ(rfilter(2), " :source:rad:arb:rfilter 2.5Mhz");
  EXPECT_EQ(rfilter(3), " :source:rad:arb:rfilter 8Mhz");
  EXPECT_EQ(rfilter(4), " :source:rad:arb:rfilter through");
  EXPECT_EQ(rfilter(std::nullopt), " :source:rad:arb:rfilter through");
  EXPECT_EQ(korplay_commands("T", other_settings(), 1).size(), 11u);
}

class OlderPlatform : public DownloadFixture {};

TEST_F(OlderPlatform, ElevenCommandsThenLocalNoReadBack) {
  SimProcess sim(sim_args({"--port", "0"}));
  Configuration& c = state().configuration;
  c.type = "TCPIP";
  c.TCPIP.address = sim.address();
  set_playback_settings("OLD", 2);
  Value setting = to_value(state().sigGenSettings);
  setting.record().set("ReconFilter", Value(2.0));
  auto r = Registry::instance().call("KORPlay", {Value("OLD"), setting, to_value(c)}, 2);
  // No waveform OLD in this instrument, and a level above its 13 dBm: with no
  // read-back on this platform both are failures.
  EXPECT_EQ(r[0].to_double(), 1) << r[1].str();
  EXPECT_EQ(r[1].str(),
            "The instrument reported errors after the set-up:\n-256,\"File name not found\"\n"
            "-222,\"Data out of range;value clipped to limit\"");
  EXPECT_EQ(log(), (std::vector<std::string>{
                       " :source:rad:arb:state off", " :source:rad:arb:wav \"arbi:OLD\" ",
                       " :source:freq:fix 2412000000Hz", " :source:power:level:immediate:amplitude 20dbm",
                       " :source:rad:arb:clock:srate 40000000Hz", " :source:rad:arb:rfilter 2.5Mhz",
                       " :source:rad:arb:marker:rfblank on", " :source:rad:arb:marker:polarity Pos",
                       " :source:rad:arb:clock:ref int", " :source:rad:arb:state on", " :output:state on",
                       ":SYSTem:ERRor?", ":SYSTem:ERRor?", ":SYSTem:ERRor?", ":SYSTem:COMMunicate:GTLocal"}));
  EXPECT_EQ(state().sigGenSettings.Amplitude, 20);  // no read-back on this platform
}

TEST_F(OlderPlatform, TitleThatWouldBreakTheCommandIsRefused) {
  SimProcess sim(sim_args({"--port", "0"}));
  Configuration& c = state().configuration;
  c.type = "TCPIP";
  c.TCPIP.address = sim.address();
  set_playback_settings("X", 2);
  for (const char* title : {"A\" \n:OUTP OFF", "A\nB"}) {
    HwResult r = KORPlay_c(title, state().sigGenSettings, c);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.response.find("nothing was sent"), std::string::npos) << r.response;
    EXPECT_EQ(KORPlay(title, state().sigGenSettings, c).status, 1);
  }
  EXPECT_TRUE(log().empty());
}

class ErrorQueue : public DownloadFixture {};

TEST_F(ErrorQueue, ErrorsTheInstrumentQueuedMakeTheSetUpFail) {
  SimProcess sim(sim_args({"--port", "0", "--max-frequency", "6e9"}));
  Configuration& c = state().configuration;
  c.type = "TCPIP";
  c.TCPIP.address = sim.address();
  set_playback_settings("Q", 2);
  SigGenSettings s = state().sigGenSettings;
  s.SamplingRate = 160e6;  // above the instrument's 100 MHz, and not read back
  for (bool newer : {true, false}) {
    HwResult r = newer ? KORPlay_c("Q", s, c) : KORPlay("Q", s, c);
    EXPECT_EQ(r.status, 1) << r.response;
    EXPECT_NE(r.response.find("The instrument reported errors after the set-up:"), std::string::npos) << r.response;
    EXPECT_NE(r.response.find("-222,\"Data out of range"), std::string::npos) << r.response;
    EXPECT_NE(r.response.find("-256,\"File name not found\""), std::string::npos) << r.response;  // no waveform Q
  }
  // Two errors, then the answer 0: three queries, then back to local.
  const auto lines = log();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(
      std::vector<std::string>(lines.end() - 4, lines.end()),
      (std::vector<std::string>{":SYSTem:ERRor?", ":SYSTem:ERRor?", ":SYSTem:ERRor?", ":SYSTem:COMMunicate:GTLocal"}));
}
