// The main window's controls. Groups: "mode" (framing, rate, modulation),
// "dsss" and "ofdm" (the format families' own controls), "filter",
// "payload", "mac", "numbering", "fading", "siggen" (the signal generator
// settings panel), "frame" (Calculate, Download, Refresh and the read-outs)
// and "status".
#include "ui/main_window_table.h"

namespace tarvio::ui {

std::vector<ControlSpec> main_window_table() {
  using K = ControlKind;
  return {
      // Framing, rate and modulation.
      {"rbGenFrm", K::Radio, "Framed", "mode", {}},
      {"rbGenUnFrm", K::Radio, "Unframed", "mode", {}},
      {"lblDataRate", K::Label, "Data Rate:", "mode", {}},
      {"pdDataRate",
       K::List,
       "",
       "mode",
       {"1 Mbps", "2 Mbps", "5.5 Mbps", "6 Mbps", "9 Mbps", "11 Mbps", "12 Mbps", "18 Mbps", "22 Mbps", "24 Mbps",
        "33 Mbps", "36 Mbps", "48 Mbps", "54 Mbps", "Invalid OFDM rate"}},
      {"lblModulation", K::Label, "Modulation:", "mode", {}},
      {"pdModulation", K::List, "", "mode", {}},
      {"lblPreambleFormat", K::Label, "Preamble:", "mode", {}},
      {"pdPreambleFormat", K::List, "", "mode", {}},
      {"lblScrambler", K::Label, "Scrambler:", "mode", {}},
      {"pdScrambler", K::List, "", "mode", {}},
      {"lblChannels", K::Label, "Channel:", "mode", {}},
      {"pdChannels", K::List, "", "mode", {}},
      {"lblIdleInterval", K::Label, "Idle Interval (usec):", "mode", {}},
      {"txtIdleInterval", K::Edit, "", "mode", {}},
      {"text19", K::Label, "Oversampling Ratio:", "mode", {}},
      {"txtOversampleRate", K::Edit, "", "mode", {}},
      {"pdSampleRate_pbcc33", K::List, "", "mode", {"33 MHz", "66 MHz", "99 MHz"}},
      {"chkMirrorSpectrum", K::Check, "Mirror Spectrum", "mode", {}},

      // DSSS, CCK, PBCC and ERP-PBCC.
      {"chkClkLocked", K::Check, "Locked Clocks", "dsss", {}},
      {"chkEncoderActive", K::Check, "PBCC Encoder", "dsss", {}},
      {"text59", K::Label, "Power Ramp:", "dsss", {}},
      {"pdPowerRamp", K::List, "", "dsss", {"None", "Linear", "Raised Cosine"}},
      {"text60", K::Label, "Ramp Time:", "dsss", {}},
      {"txtRampTime", K::Edit, "", "dsss", {}},
      {"text61", K::Label, "usec", "dsss", {}},
      {"pbClkStructSetup", K::Button, "Clock Switch...", "dsss", {}},

      // OFDM.
      {"text72", K::Label, "Code Rate:", "ofdm", {}},
      {"pdEncoder", K::List, "", "ofdm", {"1", "1/2", "2/3", "3/4"}},
      {"chkInterleaverActive", K::Check, "Interleaver", "ofdm", {}},
      {"text73", K::Label, "Scrambler Init (hex):", "ofdm", {}},
      {"txtScramblerInit", K::Edit, "", "ofdm", {}},
      {"pbSubCarriers", K::Button, "Subcarriers...", "ofdm", {}},
      {"text74", K::Label, "Window Length:", "ofdm", {}},
      {"txtWindowLength", K::Edit, "", "ofdm", {}},
      {"text75", K::Label, "Service Field (hex):", "ofdm", {}},
      {"txtServiceField", K::Edit, "", "ofdm", {}},

      // Baseband filter.
      {"text20", K::Label, "Filter:", "filter", {}},
      {"pdFilterType", K::List, "", "filter", {"None", "Gaussian", "Root Cosine", "Brick Wall", "User File..."}},
      {"lblFilterFactor", K::Label, "", "filter", {}},
      {"txtFilterFactor", K::Edit, "", "filter", {}},
      {"lblFilterTaps", K::Label, "Taps (symbols):", "filter", {}},
      {"txtFilterTaps", K::Edit, "", "filter", {}},

      // Payload and MAC framing.
      {"lblDATAsourceType", K::Label, "Payload:", "payload", {}},
      {"pdDATAsourceType",
       K::List,
       "",
       "payload",
       {"All Zeros", "All Ones", "Alternating 0101", "Alternating 1010", "PN9", "PN15", "User File..."}},
      {"lblDataLength", K::Label, "Data Length (bytes):", "payload", {}},
      {"txtDataLength", K::Edit, "", "payload", {}},
      {"lblTotalLength", K::Label, "Total Length (bytes):", "payload", {}},
      {"txtTotalLength", K::Edit, "", "payload", {}, true},
      {"chkMACheader", K::Check, "MAC Header", "mac", {}},
      {"pbMACheaderSetup", K::Button, "Setup...", "mac", {}},
      {"chkMACfcs", K::Check, "MAC FCS", "mac", {}},

      // Packets and their numbering.
      {"lblNumberOfPackets", K::Label, "Number of Packets:", "numbering", {}},
      {"txtNumberOfPackets", K::Edit, "", "numbering", {}},
      {"chkSeqControl", K::Check, "Increment Sequence Number", "numbering", {}},
      {"lblSeqNumFreq", K::Label, "Every (hex):", "numbering", {}},
      {"txtSeqNumFreq", K::Edit, "", "numbering", {}},
      {"chkFragNum", K::Check, "Increment Fragment Number", "numbering", {}},

      // Multipath fading.
      {"radiobuttonPhading", K::Radio, "Multipath Fading", "fading", {}},
      {"pushbuttonphadingsetup", K::Button, "Setup...", "fading", {}},

      // Signal generator settings.
      {"lblFrequency", K::Label, "Frequency:", "siggen", {}},
      {"txtFrequency", K::Edit, "", "siggen", {}},
      {"pdFrequencyUnit", K::List, "", "siggen", {"Hz", "kHz", "MHz", "GHz"}},
      {"lblAmplitude", K::Label, "Amplitude (dBm):", "siggen", {}},
      {"txtAmplitude", K::Edit, "", "siggen", {}},
      {"lblTitle", K::Label, "Waveform Title:", "siggen", {}},
      {"txtTitle", K::Edit, "", "siggen", {}},
      {"pbAdvanced", K::Button, "Advanced...", "siggen", {}},

      // The frame's buttons and read-outs.
      {"pbCalculate", K::Button, "Calculate", "frame", {}},
      {"pbDownload", K::Button, "Download", "frame", {}},
      {"pbRefresh", K::Button, "Refresh", "frame", {}},
      {"txtNumberOfSamples", K::Label, "", "frame", {}},
      {"txtEvent1", K::Label, "", "frame", {}},
      {"txtEvent2", K::Label, "", "frame", {}},

      {"txtStatusBar", K::Label, "", "status", {}},
      {"txtImpairments", K::Label, "", "status", {}},
  };
}

}  // namespace tarvio::ui
