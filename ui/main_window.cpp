// The main window's entry rules, redraws and format family set-ups.
#include "ui/main_window.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "control/calculate.h"
#include "control/param_set_ops.h"
#include "control/sequence_control.h"
#include "control/windowless_redraw.h"
#include "dsp/user_filter_file.h"
#include "dsss/dot11b_idle_interval.h"
#include "dsss/dot11g_size_est.h"
#include "files/mat_outputs.h"
#include "instrument/hwio.h"
#include "mac/user_data_file.h"
#include "ofdm/dot11a_idle_interval.h"
#include "records/state.h"
#include "runtime/number_text.h"
#include "ui/application.h"
#include "ui/clock_switch_dialog.h"
#include "ui/entry_text.h"
#include "ui/fading_dialog.h"
#include "ui/frame.h"
#include "ui/impairments_dialog.h"
#include "ui/mac_header_dialog.h"
#include "ui/main_window_table.h"
#include "ui/siggen_panel.h"
#include "ui/subcarrier_dialog.h"

namespace tarvio::ui {

namespace {

// The code rates of the pdEncoder list, in list order.
constexpr double kCodeRates[] = {1.0, 0.5, 2.0 / 3.0, 0.75};

bool near(double a, double b) { return std::fabs(a - b) < 1e-9; }

// The tool tips the window sets at its creation.
struct Tip {
  const char* tag;
  const char* text;
};
constexpr Tip kTips[] = {
    {"rbGenFrm", "Toggles between framed and unframed mode."},
    {"pdDataRate", "Selects the data rate."},
    {"pdModulation", "Selects the modulation.\nNote: Some data rates have more\nthan 1 modulation format"},
    {"pdPreambleFormat",
     "Selects the format of the preamble/header\nsections of a framed signal.\n(Note: Only relevant for data rates "
     "above 1 Mbps.)"},
    {"chkClkLocked",
     "Toggles the clock locked flag in the\nphysical packet header.\n(Note: Only relevant in framed mode.)"},
    {"chkEncoderActive", "Toggles the activity state of the PBCC encoder.\n(Note: Only relevant for PBCC modulation.)"},
    {"pdScrambler", "Selects the activity state of the Scrambler."},
    {"pdPowerRamp", "Selects the power up/down ramp type.\n(Note: Only relevant in framed mode.)"},
    {"txtRampTime", "Sets the length (in usec) of the\npower up/down ramp.\n(Note: Only relevant in framed mode)"},
    {"txtIdleInterval",
     "Sets the length (in usec) of the\nidle period between frames.\n(Note: Only relevant in framed mode)"},
    {"pdChannels", "Sets the RF channel.\n(Note: This automatically\nsets the KOR/MAV frequency.)"},
    {"txtWindowLength", "Sets the number of samples for\nthe windowing function.\nValid Range: 0 to 16 "},
    {"pdFilterType", "Selects the baseband filter type."},
    {"chkMirrorSpectrum", "Enable/disables spectrum mirroring."},
    {"txtFilterFactor",
     "Specifies the filter performance.\nValid Ranges:\nGaussian:  0.1 - 1.0\nRoot Cosine: 0.05 - 1.0"},
    {"txtFilterTaps", "Specifies the symbol length of the filter"},
    {"pdDATAsourceType", "Selects the payload data stream.\n(The actual \"user data\" of the frame.)"},
    {"txtDataLength", "Sets the number of data bytes in a frame.\n(This excludes the MAC Header and FCS)"},
    {"txtTotalLength",
     "Indicates the total number of\nbytes are in the physical frame.\n(This includes the MAC Header.)"},
    {"chkMACheader", "Enables/disables the prepending of a\nMAC Header to the data payload"},
    {"chkMACfcs", "Enables/disables the appending of a\nMAC FCS check sequence to the data payload."},
    {"pbMACheaderSetup", "Configures the MAC Header."},
    {"txtServiceField",
     "Sets the value of the SERVICE field.\nValid Range: 16 bit value\nHexadecimal representation.\nNote: The 7 LSBs "
     "will be masked to zero."},
    {"txtNumberOfPackets", "Sets the number of packets included in the waveform."},
    {"chkSeqControl", "Turns sequence control incrementing on/off."},
    {"txtSeqNumFreq",
     "Sets the sequence number incremental rate.\nIf set to 1 every packet has an incrementing sequence number.\nIf "
     "set to >1 every Xth packet has an incrementing sequence number\ninterum packets can have incrementing fragment "
     "numbers if the\nfragment incrementing is turned on"},
    {"chkFragNum",
     "Turns framgment number incrementing on/off.\nOnly valid if incrementing sequence is on and the interval > 1."},
    {"txtStatusBar", "Displays the status of the calculate operation."},
    {"pbClkStructSetup", "Brings up the clock swithching structure setup dialog."},
    {"pdEncoder", "Selects the encoder rate."},
    {"txtScramblerInit",
     "Sets the intial value of the scrambler.\nValid Range: Any 7 bit value\nHexadecimal representation."},
    {"chkInterleaverActive", "Toggles the activity state of the interleaver."},
    {"pbSubCarriers", "Configures the individual sub-carriers."},
    {"pdSampleRate_pbcc33",
     "Choose the oversampling rate.\nThe pre clock switching portion will be sampled 1.5x faster\nthe post clock "
     "switch.\n33MHz pre 3x, post 2x\n66MHz pre 6x, post 4x\n99MHz pre 9x, post 6x"},
};

constexpr const char* kOversampleTipDsss = "Selects the oversample ratio.\nValid Ranges: 2 to 9";
constexpr const char* kOversampleTipOfdm = "Selects the oversample ratio.\nValid Ranges: 2 to 5";

}  // namespace

const std::vector<std::string>& MainWindow::dsss_controls() {
  static const std::vector<std::string> v = {"chkClkLocked",  "chkEncoderActive", "pdPowerRamp",     "txtRampTime",
                                             "text59",        "text60",           "text61",          "text20",
                                             "pdFilterType",  "lblFilterFactor",  "txtFilterFactor", "lblFilterTaps",
                                             "txtFilterTaps", "pbClkStructSetup"};
  return v;
}

const std::vector<std::string>& MainWindow::ofdm_controls() {
  static const std::vector<std::string> v = {
      "text72",        "pdEncoder", "chkInterleaverActive", "text73",          "txtScramblerInit",
      "pbSubCarriers", "text74",    "txtWindowLength",      "txtServiceField", "text75"};
  return v;
}

const std::vector<std::string>& MainWindow::not_ofdm_controls() {
  static const std::vector<std::string> v = {"chkClkLocked", "chkEncoderActive", "pdPowerRamp", "txtRampTime",
                                             "text59",       "text60",           "text61",      "pbClkStructSetup"};
  return v;
}

Parameters& MainWindow::p() { return state().parameters; }
SigGenSettings& MainWindow::sg() { return state().sigGenSettings; }

void MainWindow::add(const std::string& tag, std::function<void()> rule) { on(tag, std::move(rule)); }

void MainWindow::select(const std::string& tag, double position) {
  const double n = static_cast<double>(at(tag).entries.size());
  double v = std::isfinite(position) ? round_half_away(position) : 1;
  set_value(tag, std::max(1.0, std::min(n, v)));
}

void MainWindow::show_number(const std::string& tag, double x) { set_text(tag, Num2Str(x)); }

MainWindow::MainWindow(Application& app) : Window("figMain", "", main_window_table()), app_(app) {
  add("rbGenFrm", [this] { generation_mode(at("rbGenFrm").value); });
  add("rbGenUnFrm", [this] { generation_mode(1 - at("rbGenUnFrm").value); });
  add("pdDataRate", [this] { data_rate(); });
  add("pdModulation", [this] { modulation(); });
  add("pdPreambleFormat", [this] {
    p().preambleType = at("pdPreambleFormat").value - 1;
    redrawProjectedLength();
  });
  add("chkClkLocked", [this] { p().clkLocked = at("chkClkLocked").value; });
  add("pdScrambler", [this] {
    p().scramblerActive = at("pdScrambler").value - 1;
    redrawProjectedLength();
  });
  add("chkEncoderActive", [this] {
    p().encoderActive = at("chkEncoderActive").value;
    redrawProjectedLength();
  });
  add("pdChannels", [this] { channel(); });
  add("pdPowerRamp", [this] {
    p().rampType = at("pdPowerRamp").value - 1;
    redrawFormatParameters();
  });
  add("txtRampTime", [this] { ramp_time(); });
  add("txtIdleInterval", [this] { idle_interval(); });
  add("txtOversampleRate", [this] {
    UpdateOversampleRate(at("txtOversampleRate").text);
    redraw();
  });
  add("pdSampleRate_pbcc33", [this] {
    show_number("txtOversampleRate", 3 * at("pdSampleRate_pbcc33").value);
    run_callback("txtOversampleRate");
  });
  add("pdFilterType", [this] { filter_type(); });
  add("txtFilterFactor", [this] { filter_factor(); });
  add("txtFilterTaps", [this] { filter_taps(); });
  add("chkMirrorSpectrum", [this] { p().MirrorSpectrum = at("chkMirrorSpectrum").value; });
  add("chkMACheader", [this] {
    p().MACheader.Active = at("chkMACheader").value;
    setMaxDataLen();
    redrawPaylodSetup();
  });
  add("chkMACfcs", [this] {
    p().MACfcs.Active = at("chkMACfcs").value;
    setMaxDataLen();
    redrawPaylodSetup();
  });
  add("pbMACheaderSetup", [this] { mac_header_setup(); });
  add("pdDATAsourceType", [this] { data_source(); });
  add("txtDataLength", [this] { data_length(); });
  add("pdEncoder", [this] { encoder_rate(); });
  add("txtScramblerInit", [this] { hex_entry("txtScramblerInit", p().scramblerInit, 0, 127); });
  add("chkInterleaverActive", [this] { p().interleaverActive = at("chkInterleaverActive").value; });
  add("pbSubCarriers", [this] { sub_carriers_setup(); });
  add("txtWindowLength", [this] {
    number_entry("txtWindowLength", p().WindowingLength, 0, 16, true);
    redrawProjectedLength();
  });
  add("txtServiceField", [this] { hex_entry("txtServiceField", p().serviceField, 0, 65535); });
  add("txtNumberOfPackets", [this] {
    // Whole packets only: the size estimate multiplies by the count and the
    // calculation loops over it.
    number_entry("txtNumberOfPackets", p().numberOfPackets, 1, 2000, true);
    redrawProjectedLength();
  });
  add("chkSeqControl", [this] { p().incrSeqCtrl = at("chkSeqControl").value; });
  add("txtSeqNumFreq", [this] { hex_entry("txtSeqNumFreq", p().seqCtrlFreq, 1, 15); });
  add("chkFragNum", [this] { p().incrFragNum = at("chkFragNum").value; });
  add("radiobuttonPhading", [this] { p().FadingState = at("radiobuttonPhading").value; });
  add("pushbuttonphadingsetup", [this] { fading_setup(); });
  add("pbClkStructSetup", [this] { clock_switch_setup(); });
  on_close([this] { command("close_Callback", {}); });

  commands_.add("redraw", [this] { redraw(); });
  commands_.add("redrawFormatParameters", [this] { redrawFormatParameters(); });
  commands_.add("redrawGenerationParameters", [this] { redrawGenerationParameters(); });
  commands_.add("redrawPaylodSetup", [this] { redrawPaylodSetup(); });
  commands_.add("redrawProjectedLength", [this] { redrawProjectedLength(); });
  commands_.add("DotA_redrawGenerationParameters", [this] { DotA_redrawGenerationParameters(); });
  commands_.add("DotB_redrawGenerationParameters", [this] { DotB_redrawGenerationParameters(); });
  commands_.add("Redraw_dot11aDataRate", [this] { Redraw_dot11aDataRate(); });
  commands_.add("InitializeFigure", [this] { InitializeFigure(); });
  commands_.add("setOfdmMod", [this] { SetOfdmMod(); });
  commands_.add("setOverSampling", [] { SetOverSampling(); });
  commands_.add("setScaling", [] { SetScaling(); });
  commands_.add("setMaxDataLen", [this] { setMaxDataLen(); });
  // 1 when the calculation completed, 0 when a check stopped it.
  commands_.add("Calculate",
                [this](const Args&) { return std::vector<Value>{Value(app_.calculate(false) ? 1.0 : 0.0)}; });
  commands_.add("exportVector", [](const Args& a) {
    return std::vector<Value>{Value(exportVector(has_arg(a, 0) ? a[0].str() : std::string()))};
  });
  commands_.add("close_Callback", [this] {
    // The packet temporary file belongs to this window's calculations.
    const std::string& file = p().multiFrame.tmpFileName;
    if (!file.empty()) hwio::call(10, {Value(std::string()), Value(file)});
    set_visible(false);
  });
  add_callback_commands(commands_, *this);
}

std::vector<Value> MainWindow::command(const std::string& name, const Args& args) {
  return commands_.run("dot11g_GUI_c", name, args);
}

// ---- set-up ---------------------------------------------------------------

void MainWindow::InitializeFigure() {
  for (const Tip& t : kTips) set_tooltip(t.tag, t.text);
  // rbGenUnFrm belongs to the same pair as rbGenFrm.
  set_tooltip("rbGenUnFrm", at("rbGenFrm").tooltip);
  std::vector<std::string> channels;
  for (int c = 1; c <= 13; ++c) channels.push_back(Num2Str(c) + " - " + Num2Str(2407 + 5 * c) + " MHz");
  channels.push_back("14 - 2484 MHz");
  set_entries("pdChannels", std::move(channels));
  app_.siggen().InitializeFigure();
}

// ---- redraws --------------------------------------------------------------

void MainWindow::redraw() {
  redrawFormatParameters();
  redrawGenerationParameters();
  redrawPaylodSetup();
  app_.frame().redrawAppTitle();
  app_.siggen().redrawSigGenSettings();
  redrawImpairmentsStatus();
}

void MainWindow::redrawImpairmentsStatus() {
  set_text("txtImpairments", impairments_status(state().impairments));
  set_tooltip("txtImpairments", "The impairments in force (Configuration, Impairments...).");
}

void MainWindow::redrawFormatParameters() {
  Parameters& q = p();
  // 1. The rate entry, the modulation list and the format family's set-up.
  // Format 1 is set up whatever its rate, so that a modulation and code
  // rate that form no rate (dataRate 0) can be corrected in the window.
  if (q.format == 1) {
    SetOfdmMod();
  } else {
    const double r = q.dataRate;
    if (const int pos = data_rate_position(r)) set_value("pdDataRate", pos);
    if (r == 1 || r == 2) {
      set_entries("pdModulation", {r == 1 ? "DBPSK" : "DQPSK"});
      set_enabled("pdModulation", false);
      set_value("pdModulation", 1);
    } else if (r == 22 || r == 33) {
      q.highRateMod = 1;
      set_entries("pdModulation", {"PBCC"});
      set_enabled("pdModulation", true);
      set_value("pdModulation", 1);
    } else {
      set_entries("pdModulation", {"CCK", "PBCC"});
      set_enabled("pdModulation", true);
      select("pdModulation", q.highRateMod + 1);
    }
    SetupDSSS();
  }
  // 2. Filter and packet numbering.
  select("pdFilterType", q.FilterType + 1);
  set_text("txtFilterFactor", fixed_text(q.FilterFactor, 2));
  show_number("txtFilterTaps", q.FilterTaps);
  show_number("txtNumberOfPackets", q.numberOfPackets);
  set_value("chkSeqControl", q.incrSeqCtrl);
  set_text("txtSeqNumFreq", hex_text(q.seqCtrlFreq));
  set_value("chkFragNum", q.incrFragNum);
  // 3. The PBCC encoder switch matters only for PBCC.
  set_enabled("chkEncoderActive", q.dataRate > 2 && q.highRateMod == 1);
  // 4. 33 Mbit/s chooses its sample rate from a list and has a clock switch.
  const bool r33 = q.dataRate == 33;
  set_enabled("pbClkStructSetup", r33);
  set_text("text19", r33 ? "Sample Rate:" : "Oversampling Ratio:");
  set_visible("pdSampleRate_pbcc33", r33);
  set_visible("txtOversampleRate", !r33);
  if (r33) select("pdSampleRate_pbcc33", q.OverSampling / 3);
  // 5. The switches of the mode group.
  set_value("rbGenFrm", q.generationMode == 1 ? 1 : 0);
  set_value("rbGenUnFrm", q.generationMode == 1 ? 0 : 1);
  select("pdPreambleFormat", q.preambleType + 1);
  set_value("chkClkLocked", q.clkLocked);
  select("pdScrambler", q.scramblerActive + 1);
  set_value("chkEncoderActive", q.encoderActive);
  select("pdPowerRamp", q.rampType + 1);
  set_text("txtScramblerInit", hex_text(q.scramblerInit));
  // 6, 7. Ramp and idle times in microseconds.
  show_number("txtRampTime", q.rampLength / (11 * q.OverSampling));
  show_number("txtIdleInterval", q.idleSamples / ((q.format == 1 ? 20 : 11) * q.OverSampling));
  // 8.
  select("pdChannels", q.Channel);
  redrawProjectedLength();
  redrawGenerationParameters();
  redrawPaylodSetup();
  // 9. What only framed mode uses. The ramp time also needs a ramp, and the
  // header set-up a header.
  const bool framed = q.generationMode == 1;
  for (const char* t :
       {"chkClkLocked", "pdPowerRamp", "txtIdleInterval", "chkMACheader", "chkMACfcs", "txtServiceField"})
    set_enabled(t, framed);
  set_enabled("txtRampTime", framed && q.rampType != 0);
  set_enabled("pbMACheaderSetup", framed && q.MACheader.Active == 1);
  set_enabled("pdPreambleFormat", framed && q.dataRate > 1 && q.format != 1);
  // 10.
  set_value("radiobuttonPhading", q.FadingState);
  events();
}

// The frame's event read-outs: what the two marker rows mark for the format.
void MainWindow::events() {
  if (p().format == 1) {
    set_text("txtEvent1", "Event 1: Frame start");
    set_text("txtEvent2", "Event 2: Burst");
  } else {
    set_text("txtEvent1", "Event 1: Burst without ramps");
    set_text("txtEvent2", "Event 2: Burst");
  }
}

void MainWindow::redrawGenerationParameters() {
  if (p().format == 1)
    DotA_redrawGenerationParameters();
  else
    DotB_redrawGenerationParameters();
  redrawProjectedLength();
}

void MainWindow::DotA_redrawGenerationParameters() {
  const Parameters& q = p();
  show_number("txtOversampleRate", q.OverSampling);
  set_value("chkMirrorSpectrum", q.MirrorSpectrum);
  show_number("txtWindowLength", q.WindowingLength);
  // The other OFDM controls, so that a loaded parameter set shows in full.
  set_value("chkInterleaverActive", q.interleaverActive);
  set_text("txtServiceField", hex_text(q.serviceField));
}

void MainWindow::DotB_redrawGenerationParameters() {
  const Parameters& q = p();
  show_number("txtOversampleRate", q.OverSampling);
  select("pdFilterType", q.FilterType + 1);
  const int type = static_cast<int>(q.FilterType);
  set_text("lblFilterFactor", type == 1 ? "bT:  " : type == 2 ? "a:  " : "");
  set_visible("txtFilterFactor", type == 1 || type == 2);
  set_visible("txtFilterTaps", type != 0);
  set_visible("lblFilterTaps", type != 0);
  set_enabled("txtFilterTaps", type != 4);
  set_text("txtFilterFactor", fixed_text(q.FilterFactor, 2));
  show_number("txtFilterTaps", q.FilterTaps);
  set_value("chkMirrorSpectrum", q.MirrorSpectrum);
}

void MainWindow::Redraw_dot11aDataRate() {
  Parameters& q = p();
  int pos = 0;
  for (int k = 1; k <= 14; ++k) {
    const DataRateEntry& e = data_rate_entry(k);
    if (e.format == 1 && e.modulation == q.modulation && near(e.encoderRate, q.encoderRate)) pos = k;
  }
  q.dataRate = pos ? data_rate_entry(pos).dataRate : 0;
  set_value("pdDataRate", pos ? pos : kInvalidRateEntry);
  // The code-rate list shows the code rate in force.
  for (int k = 0; k < 4; ++k)
    if (near(kCodeRates[k], q.encoderRate)) set_value("pdEncoder", k + 1);
}

void MainWindow::redrawPaylodSetup() {
  Parameters& q = p();
  set_value("chkMACheader", q.MACheader.Active);
  set_enabled("pbMACheaderSetup", q.MACheader.Active == 1 && q.generationMode == 1);
  set_value("chkMACfcs", q.MACfcs.Active);
  select("pdDATAsourceType", q.dataSourceType);
  show_number("txtDataLength", q.dataLength);
  // The length of a user data file follows the file.
  set_enabled("txtDataLength", q.dataSourceType != 7);
  update_lengths(q);
  show_number("txtTotalLength", q.totalLength);
  redrawProjectedLength();
}

void MainWindow::redrawProjectedLength() {
  p().ProjectedLength = Dot11g_SizeEst(p());
  set_text("txtNumberOfSamples", Num2Str(p().ProjectedLength) + " Samples");
}

// ---- format family set-ups ------------------------------------------------

void MainWindow::SetupDSSS() {
  SetSampleRate();
  set_entries("pdScrambler", {"Off", "On", "Preamble Only"});
  set_entries("pdPreambleFormat", {"Long", "Short"});
  set_enabled("pdPreambleFormat", true);
  // A DSSS preamble type (long or short) stays; coming from OFDM (type 2)
  // the long preamble is chosen.
  if (p().preambleType != 0 && p().preambleType != 1) p().preambleType = 0;
  for (const std::string& t : ofdm_controls()) set_visible(t, false);
  for (const std::string& t : dsss_controls()) set_visible(t, true);
  set_tooltip("txtOversampleRate", kOversampleTipDsss);
}

void MainWindow::SetupOFDM() {
  for (const std::string& t : not_ofdm_controls()) set_visible(t, false);
  for (const std::string& t : ofdm_controls()) set_visible(t, true);
  set_tooltip("txtOversampleRate", kOversampleTipOfdm);
}

void MainWindow::SetOfdmMod() {
  Parameters& q = p();
  SetupOFDM();
  SetSampleRate();
  set_entries("pdModulation", {"BPSK", "QPSK", "QAM16", "QAM64"});
  set_enabled("pdModulation", true);
  if (q.scramblerActive > 1) q.scramblerActive = 1;
  if (q.faceless == 1) q.MirrorSpectrum = 1;
  set_entries("pdScrambler", {"Off", "On"});
  set_entries("pdPreambleFormat", {"", "", "OFDM"});
  set_enabled("pdPreambleFormat", false);
  q.preambleType = 2;
  Redraw_dot11aDataRate();
  select("pdModulation", q.modulation);
}

void MainWindow::setMaxDataLen() {
  tarvio::setMaxDataLen(p());
  show_number("txtDataLength", p().dataLength);
  data_length();
}

// ---- entry rules ----------------------------------------------------------

void MainWindow::generation_mode(double framed) {
  p().generationMode = framed != 0 ? 1 : 0;
  redrawFormatParameters();
}

void MainWindow::data_rate() {
  const int pos = static_cast<int>(at("pdDataRate").value);
  // The 15th entry only marks an OFDM modulation and code rate that form no
  // rate; choosing it changes nothing.
  if (pos != kInvalidRateEntry) {
    UpdateDataRate(pos);
    setMaxDataLen();
  }
  redrawFormatParameters();
}

void MainWindow::modulation() {
  Parameters& q = p();
  const double v = at("pdModulation").value;
  if (q.format == 1)
    q.modulation = v;
  else if (q.format == 3)
    q.highRateMod = 1;
  else
    q.highRateMod = v - 1;
  redrawFormatParameters();
}

void MainWindow::channel() {
  Parameters& q = p();
  q.Channel = at("pdChannels").value;
  sg().Frequency = q.Channel < 14 ? (2407 + 5 * q.Channel) * 1e6 : 2484e6;
  redraw();
}

void MainWindow::ramp_time() {
  Parameters& q = p();
  const double perUsec = 11 * q.OverSampling;
  if (const auto t = parse_entry_number(at("txtRampTime").text))
    q.rampLength = round_half_away(std::clamp(*t, 0.0, 1000.0) * perUsec);
  show_number("txtRampTime", q.rampLength / perUsec);
  redrawProjectedLength();
}

void MainWindow::idle_interval() {
  Parameters& q = p();
  const std::string text = at("txtIdleInterval").text;
  if (!parse_entry_number(text))
    show_number("txtIdleInterval", q.idleSamples / ((q.format == 1 ? 20 : 11) * q.OverSampling));
  else if (q.format == 1)
    set_text("txtIdleInterval", Dot11a_txtIdleInterval(text, q));
  else
    set_text("txtIdleInterval", Dot11b_txtIdleInterval(text, q));
  redrawProjectedLength();
}

void MainWindow::filter_type() {
  Parameters& q = p();
  const double type = at("pdFilterType").value - 1;
  if (type == 4) {
    // The taps come from a file; without one the previous filter stays.
    if (auto path = app_.choose_open("Select data source file.", "*.*")) {
      UserFilterFile f = LoadUserFilterFile(*path, q.OverSampling);
      if (f.status == 1) {
        q.filterCoeffs = std::move(f.coeff);
        q.FilterTaps = f.FilterTaps;
        q.FilterType = 4;
      }
    }
  } else {
    q.FilterType = type;
  }
  redrawGenerationParameters();
}

void MainWindow::filter_factor() {
  Parameters& q = p();
  if (const auto x = parse_entry_number(at("txtFilterFactor").text))
    q.FilterFactor = std::min(1.0, std::max(q.FilterType == 1 ? 0.1 : 0.05, *x));
  show_number("txtFilterFactor", q.FilterFactor);
}

void MainWindow::filter_taps() {
  Parameters& q = p();
  if (const auto x = parse_entry_number(at("txtFilterTaps").text)) q.FilterTaps = std::clamp(*x, 1.0, 1000.0);
  show_number("txtFilterTaps", q.FilterTaps);
}

void MainWindow::data_source() {
  Parameters& q = p();
  const double v = at("pdDATAsourceType").value;
  if (v == 7) {
    if (auto path = app_.choose_open("Select data source file.", "*.*")) {
      UserDataFile f = LoadUserDataFile(*path, q.maxDataLen * 8, "left-msb");
      if (f.status == 1 && !f.bits.empty()) {
        q.dataSourceBitstream.assign(f.bits.begin(), f.bits.end());
        q.dataLength = std::ceil(static_cast<double>(f.bits.size()) / (q.numberOfPackets * 8));
        q.dataSourceType = 7;
        q.dataSourceName = *path;
      }
    }
  } else {
    q.dataSourceType = v;
  }
  // The data-length rule runs on the length now in force.
  show_number("txtDataLength", q.dataLength);
  data_length();
}

void MainWindow::data_length() {
  Parameters& q = p();
  if (const auto x = parse_entry_number(at("txtDataLength").text)) {
    const double lo = q.dataSourceType == 5 || q.dataSourceType == 6 ? 1 : 0;
    q.dataLength = std::max(lo, std::min(q.maxDataLen, round_half_away(*x)));
  }
  redrawPaylodSetup();
}

void MainWindow::encoder_rate() {
  const int pos = static_cast<int>(at("pdEncoder").value);
  p().encoderRate = kCodeRates[std::clamp(pos, 1, 4) - 1];
  redrawFormatParameters();
}

void MainWindow::hex_entry(const std::string& tag, double& field, double lo, double hi) {
  if (const auto x = parse_hex(at(tag).text)) field = std::clamp(*x, lo, hi);
  set_text(tag, hex_text(field));
}

void MainWindow::number_entry(const std::string& tag, double& field, double lo, double hi, bool whole) {
  if (const auto x = parse_entry_number(at(tag).text)) field = std::clamp(whole ? round_half_away(*x) : *x, lo, hi);
  show_number(tag, field);
}

// ---- dialogs --------------------------------------------------------------

void MainWindow::mac_header_setup() {
  app_.mac_header().open(p().MACheader.Contents, [this](const std::string& answer, const MacHeader& header) {
    if (answer == "OK") {
      p().MACheader.Contents = header;
      p().MACheader.Length = static_cast<double>(header.BitStream.size()) / 8;
      // The header length bounds the payload of an OFDM packet.
      setMaxDataLen();
    }
    redrawPaylodSetup();
  });
}

void MainWindow::sub_carriers_setup() {
  app_.subcarriers().open(p().SubCarriers, [this](const std::string& answer, const std::vector<double>& states) {
    if (answer == "OK") p().SubCarriers = states;
  });
}

void MainWindow::fading_setup() {
  app_.fading().open(p().Fading, [this](const std::string& answer, const FadingPaths& f) {
    if (answer == "OK") p().Fading = f;
  });
}

void MainWindow::clock_switch_setup() {
  app_.clock_switch().open(p().clkStruct, [this](const std::string& answer, double clk) {
    if (answer == "OK") p().clkStruct = clk;
    redrawPaylodSetup();
  });
}

}  // namespace tarvio::ui
