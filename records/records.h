// The program-wide records as typed structures: `parameters`, `SigGenSettings`,
// `configuration` and `appInfo`. Each record declares its fields once, in its
// for_each_field function (name, member and description, in file order); that
// one list drives conversion to and from the dynamic Value, MAT save and load,
// field-by-field comparison (see records/record_value.h), the checks of set
// and loaded values and the field reference (records/field_catalog.h).
#pragma once

#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "records/field_info.h"
#include "runtime/value.h"

namespace tarvio {

// One MAC header field: value, width in bytes, present or not.
struct MacField {
  double Contents = 0;
  double Size = 2;
  double Active = 1;
};

// The MAC header model (`MACheader.Contents`, also the edited `MAChdr`).
struct MacHeader {
  std::vector<double> BitStream = std::vector<double>(240, 0.0);
  MacField FrameCntrl{0, 2, 1};
  MacField DurationID{0, 2, 1};
  MacField SeqCntrl{0, 2, 1};
  MacField Address1{0, 6, 1};
  MacField Address2{0, 6, 1};
  MacField Address3{0, 6, 1};
  MacField Address4{0, 6, 1};
};

struct MacHeaderSettings {
  double Active = 1;
  double Length = 30;
  MacHeader Contents;
};

struct MacFcs {
  double Active = 1;
  double Length = 4;
  std::vector<double> Contents;
};

// Twelve multipath paths, path k in column k.
struct FadingPaths {
  std::vector<double> delay = std::vector<double>(12, 0.0);
  std::vector<double> phase = std::vector<double>(12, 0.0);
  std::vector<double> atten = std::vector<double>(12, 0.0);
  std::vector<double> state = std::vector<double>(12, 0.0);
};

struct MultiFrame {
  std::string tmpFileName;
  double pktSize = 0;
  double max = 0;
};

// The generation parameter set. Its defaults are DefaultParameters
// (records/defaults.h); the member initialisers here only give a
// well-defined empty state.
struct Parameters {
  std::string ParameterFileFormat_ID;
  double format = 0;
  double dot11bScaling = 0;
  double dot11aScaling = 0;
  double generationMode = 0;
  double dataRate = 0;
  double highRateMod = 0;
  double modulation = 0;
  double encoderRate = 0;
  double preambleType = 0;
  double clkLocked = 0;
  double scramblerActive = 0;
  double scramblerInit = 0;
  double encoderActive = 0;
  double interleaverActive = 0;
  std::vector<double> SubCarriers;
  double Channel = 0;
  double MirrorSpectrum = 0;
  double clkStruct = 0;
  MacHeaderSettings MACheader;
  double incrSeqCtrl = 0;
  double incrFragNum = 0;
  double seqCtrlFreq = 0;
  MacFcs MACfcs;
  double maxDataLen = 0;
  double dataSourceType = 0;
  double dataLength = 0;
  std::string dataSourceName;
  std::vector<double> dataSourceBitstream;
  double numberOfPackets = 0;
  double totalLength = 0;
  double OverSampling = 0;
  double OverSampling_b = 0;
  double OverSampling_a = 0;
  double WindowingLength = 0;
  double serviceField = 0;
  double rampType = 0;
  double rampLength = 0;
  double FilterType = 0;
  double FilterFactor = 0;
  double FilterTaps = 0;
  std::vector<double> filterCoeffs;
  double idleSamples = 0;
  double ProjectedLength = 0;
  FadingPaths Fading;
  double FadingState = 0;
  MultiFrame multiFrame;
  double faceless = 0;
};

struct SigGenSettings {
  std::string Title;
  double Frequency = 0;
  double Amplitude = 0;
  double BBfilter = 0;
  double Scaling = 0;
  double ModAtten = 0;
  double ModAttenAuto = 0;
  double RFblanking = 0;
  double ALC = 0;
  double ArbRefSource = 0;
  double MarkerPolarity = 0;
  std::optional<double> SamplingRate;  // absent until SetSampleRate first sets it
};

struct GpibSettings {
  double board = 0;
  double primary = 0;
  double secondary = 0;
};

struct Rs232Settings {
  double port = 0;
  double baudrate = 0;
  std::string handshake;
};

struct TcpipSettings {
  std::string address;
  double board = 0;
};

struct Configuration {
  double faceless = 0;
  std::string type;
  GpibSettings GPIB;
  Rs232Settings RS232;
  TcpipSettings TCPIP;
  std::string BBGtype;
  std::string LastParameterFilename;
};

struct AppInfo {
  std::string Name;
  std::string Platform;
  double IsRelease = 0;
  std::string Rev;
  std::string Date;
  std::string Notes;
  std::string NotesLine2, NotesLine3, NotesLine4, NotesLine5, NotesLine6, NotesLine7;
  std::string AboutMessage;
  std::string ApplicationFunction;
  std::string ParameterFileExtension;
  std::vector<Value> ClientWindows;                      // window handles of child windows
  std::optional<Parameters> LastCaluclatedParameterSet;  // empty until a calculation completes
  std::vector<double> LastCalcTimeStamp;                 // clock row [year month day hour minute seconds]; empty before
};

// ---- Field lists ----------------------------------------------------------
// v(name, member, description) once per field in order. The visitor f is
// called with (name, member, description) when it takes three arguments,
// else with (name, member). The const overloads share the list.

template <class F>
struct FieldVisitor {
  F& f;
  template <class M>
  void operator()(const char* name, M& member, const FieldInfo& info = {}) const {
    if constexpr (std::is_invocable_v<F&, const char*, M&, const FieldInfo&>)
      f(name, member, info);
    else
      f(name, member);
  }
};

#define TARVIO_CONST_VISIT(T)              \
  template <class F>                       \
  void for_each_field(const T& r, F&& f) { \
    for_each_field(const_cast<T&>(r), f);  \
  }

template <class F>
void for_each_field(MacField& r, F&& f) {
  FieldVisitor<F> v{f};
  v("Contents", r.Contents,
    {.meaning = "value of the header field, sent most significant octet first",
     .values = "whole number 0 to 2^(8 x Size) - 1 (hexadecimal 0x... accepted)",
     .rule = whole(0, 281474976710655)});
  v("Size", r.Size, {.meaning = "width of the header field", .unit = "bytes", .values = "1 to 6", .rule = whole(1, 6)});
  v("Active", r.Active,
    {.meaning = "the field is part of the header", .values = "0 = left out, 1 = present", .rule = flag()});
}
TARVIO_CONST_VISIT(MacField)

template <class F>
void for_each_field(MacHeader& r, F&& f) {
  FieldVisitor<F> v{f};
  v("BitStream", r.BitStream,
    {.meaning = "the header bits, first bit first in time; rebuilt from the fields below when one of them is set",
     .values = "row of 0/1 values, a whole number of octets",
     .rule = flag()});
  v("FrameCntrl", r.FrameCntrl, {.meaning = "Frame Control field (2 bytes)"});
  v("DurationID", r.DurationID, {.meaning = "Duration/ID field (2 bytes)"});
  v("SeqCntrl", r.SeqCntrl,
    {.meaning = "Sequence Control field (2 bytes): fragment number in the low 4 bits, sequence number in the high 12"});
  v("Address1", r.Address1, {.meaning = "Address 1 field (6 bytes)"});
  v("Address2", r.Address2, {.meaning = "Address 2 field (6 bytes)"});
  v("Address3", r.Address3, {.meaning = "Address 3 field (6 bytes)"});
  v("Address4", r.Address4, {.meaning = "Address 4 field (6 bytes)"});
}
TARVIO_CONST_VISIT(MacHeader)

template <class F>
void for_each_field(MacHeaderSettings& r, F&& f) {
  FieldVisitor<F> v{f};
  v("Active", r.Active,
    {.meaning = "prepend the MAC header to each packet (framed mode)", .values = "0 = off, 1 = on", .rule = flag()});
  v("Length", r.Length,
    {.meaning = "length of the header bit row (Contents.BitStream / 8)", .unit = "bytes", .derived = true});
  v("Contents", r.Contents,
    {.meaning = "the header fields, in header order FrameCntrl DurationID Address1-3 SeqCntrl Address4"});
}
TARVIO_CONST_VISIT(MacHeaderSettings)

template <class F>
void for_each_field(MacFcs& r, F&& f) {
  FieldVisitor<F> v{f};
  v("Active", r.Active,
    {.meaning = "append the frame check sequence (CRC-32) to each packet (framed mode)",
     .values = "0 = off, 1 = on",
     .rule = flag()});
  v("Length", r.Length,
    {.meaning = "length of the frame check sequence", .unit = "bytes", .values = "4", .rule = codes({4})});
  v("Contents", r.Contents,
    {.meaning = "frame check sequence of the last packet built (written by the calculation)", .derived = true});
}
TARVIO_CONST_VISIT(MacFcs)

template <class F>
void for_each_field(FadingPaths& r, F&& f) {
  FieldVisitor<F> v{f};
  v("delay", r.delay,
    {.meaning = "delay of each path; the delayed copy wraps around the end of the packet",
     .unit = "us",
     .values = "row of 12 numbers (the window offers 0 to 10)",
     .rule = elements(finite(), 12)});
  v("phase", r.phase,
    {.meaning = "phase of each path",
     .unit = "degrees",
     .values = "row of 12 numbers (the window offers -180 to 180)",
     .rule = elements(finite(), 12)});
  v("atten", r.atten,
    {.meaning = "gain of each path (10^(atten/20))",
     .unit = "dB",
     .values = "row of 12 numbers (the window offers -60 to 0)",
     .rule = elements(finite(), 12)});
  v("state", r.state,
    {.meaning = "which paths are on",
     .values = "row of 12 values: 0 = path off, 1 = on",
     .rule = elements(flag(), 12)});
}
TARVIO_CONST_VISIT(FadingPaths)

template <class F>
void for_each_field(MultiFrame& r, F&& f) {
  FieldVisitor<F> v{f};
  v("tmpFileName", r.tmpFileName,
    {.meaning = "packet temporary file that collects the samples of every packet during a calculation"});
  v("pktSize", r.pktSize,
    {.meaning = "samples of one packet in the packet file (written by the calculation)",
     .unit = "samples",
     .derived = true});
  v("max", r.max,
    {.meaning = "largest I or Q magnitude over all packets (written by the calculation)", .derived = true});
}
TARVIO_CONST_VISIT(MultiFrame)

template <class F>
void for_each_field(Parameters& r, F&& f) {
  FieldVisitor<F> v{f};
  v("ParameterFileFormat_ID", r.ParameterFileFormat_ID,
    {.meaning = "format tag of the parameter set; a parameter file loads only when its tag is this one",
     .values = "\"dot11 - Format 1.0\"",
     .rule = texts("dot11 - Format 1.0")});
  v("format", r.format,
    {.meaning = "signal family (--rate sets it with the rate)",
     .values = "1 = 802.11a OFDM, 6 to 54 Mbit/s, sampled at 20 MHz x OverSampling; "
               "2 = 802.11b DSSS/CCK/PBCC, 1 to 11 Mbit/s, at 11 MHz x OverSampling; "
               "3 = 802.11g ERP-PBCC, 22 and 33 Mbit/s, at 11 MHz x OverSampling",
     .rule = codes({1, 2, 3})});
  v("dot11bScaling", r.dot11bScaling,
    {.meaning = "I/Q scaling kept for formats 2 and 3 while format 1 is in force (see SigGenSettings.Scaling)",
     .unit = "%",
     .values = "1 to 100",
     .rule = range(1, 100)});
  v("dot11aScaling", r.dot11aScaling,
    {.meaning = "I/Q scaling kept for format 1 while format 2 or 3 is in force (see SigGenSettings.Scaling)",
     .unit = "%",
     .values = "1 to 100",
     .rule = range(1, 100)});
  v("generationMode", r.generationMode,
    {.meaning = "framing of each packet",
     .values = "1 = framed: PLCP preamble and header, MAC header, FCS, ramps and idle interval; "
               "0 = unframed: the modulated payload alone",
     .rule = flag()});
  v("dataRate", r.dataRate,
    {.meaning = "data rate (--rate sets it with format, modulation and encoderRate)",
     .unit = "Mbit/s",
     .values = "format 2: 1, 2, 5.5, 11; format 3: 22, 33; format 1: 6, 9, 12, 18, 24, 36, 48, 54 "
               "(sent in the SIGNAL field; another listed value, such as 0, is sent as RATE bits 0000)",
     .rule = codes({0, 1, 2, 5.5, 6, 9, 11, 12, 18, 22, 24, 33, 36, 48, 54})});
  v("highRateMod", r.highRateMod,
    {.meaning = "modulation of 5.5 and 11 Mbit/s (format 3 always uses PBCC)",
     .values = "0 = CCK, 1 = PBCC",
     .rule = flag()});
  v("modulation", r.modulation,
    {.meaning = "OFDM sub-carrier modulation (format 1)",
     .values = "1 = BPSK, 2 = QPSK, 3 = 16-QAM, 4 = 64-QAM",
     .rule = codes({1, 2, 3, 4})});
  v("encoderRate", r.encoderRate,
    {.meaning = "OFDM convolutional code rate (format 1)",
     .values = "0.5, 2/3 (0.666...), 0.75, or 1 (uncoded)",
     .rule = codes({0.5, 2.0 / 3.0, 0.75, 1})});
  v("preambleType", r.preambleType,
    {.meaning = "PLCP preamble and header",
     .values = "0 = long (formats 2, 3), 1 = short (formats 2, 3), 2 = OFDM (set with an OFDM rate)",
     .rule = codes({0, 1, 2})});
  v("clkLocked", r.clkLocked,
    {.meaning = "locked-clocks bit of the DSSS SERVICE field (formats 2 and 3)",
     .values = "0 = not locked, 1 = locked",
     .rule = flag()});
  v("scramblerActive", r.scramblerActive,
    {.meaning = "data scrambler",
     .values = "0 = off, 1 = on, 2 = preamble and header only (formats 2 and 3)",
     .rule = codes({0, 1, 2})});
  v("scramblerInit", r.scramblerInit,
    {.meaning = "initial state of the OFDM scrambler (format 1)",
     .values = "whole number 0 to 127 (7 bits; 0x5D = 93 by default)",
     .rule = whole(0, 127)});
  v("encoderActive", r.encoderActive,
    {.meaning = "PBCC convolutional encoder (PBCC at 5.5 to 33 Mbit/s)", .values = "0 = off, 1 = on", .rule = flag()});
  v("interleaverActive", r.interleaverActive,
    {.meaning = "OFDM interleaver (format 1)", .values = "0 = off, 1 = on", .rule = flag()});
  v("SubCarriers", r.SubCarriers,
    {.meaning = "OFDM sub-carriers -26 to +26 (format 1); entry 27 is the DC carrier",
     .values = "row of 53 values: 1 = carrier used, 0 = off (another value scales the carrier)",
     .rule = elements(finite(), 53)});
  v("Channel", r.Channel,
    {.meaning = "RF channel of the window's channel list (channel c is 2407 + 5c MHz, 14 is 2484 MHz); "
                "the carrier played is SigGenSettings.Frequency",
     .values = "whole number 1 to 14",
     .rule = whole(1, 14)});
  v("MirrorSpectrum", r.MirrorSpectrum,
    {.meaning = "mirrored spectrum (Q inverted)", .values = "0 = off, 1 = on", .rule = flag()});
  v("clkStruct", r.clkStruct,
    {.meaning =
         "clock-switch description of 33 Mbit/s PBCC (format 3): tail, head and reSync bits packed in one number",
     .values = "whole number 0 to 32767 (15 bits)",
     .rule = whole(0, 32767)});
  v("MACheader", r.MACheader, {.meaning = "the MAC header put before the payload of each packet"});
  v("incrSeqCtrl", r.incrSeqCtrl,
    {.meaning = "step the sequence number of the MAC header from packet to packet (needs SeqCntrl.Active 1)",
     .values = "0 = off, 1 = on",
     .rule = flag()});
  v("incrFragNum", r.incrFragNum,
    {.meaning = "step the fragment number between sequence-number steps (needs SeqCntrl.Active 1)",
     .values = "0 = off, 1 = on",
     .rule = flag()});
  v("seqCtrlFreq", r.seqCtrlFreq,
    {.meaning = "every seqCtrlFreq-th packet steps the sequence number",
     .values = "whole number 1 or more (the window offers 1 to 15)",
     .rule = whole(1)});
  v("MACfcs", r.MACfcs, {.meaning = "the frame check sequence put after the payload of each packet"});
  v("maxDataLen", r.maxDataLen,
    {.meaning = "largest dataLength: 4095 minus the active MAC header and FCS bytes for format 1 (12-bit OFDM "
                "LENGTH), else 2312",
     .unit = "bytes",
     .derived = true});
  v("dataSourceType", r.dataSourceType,
    {.meaning = "payload of every packet (the default is all zeros)",
     .values = "1 = all zeros; 2 = all ones; 3 = alternating 0101...; 4 = alternating 1010...; "
               "5 = PN9 (x^9 + x^5 + 1, period 511); 6 = PN15 (x^15 + x^14 + 1, period 32767); "
               "7 = user data file (dataSourceBitstream, see --payload-file)",
     .rule = codes({1, 2, 3, 4, 5, 6, 7})});
  v("dataLength", r.dataLength,
    {.meaning = "payload bytes per packet, without MAC header and FCS",
     .unit = "bytes",
     .values = "whole number 0 to maxDataLen (at least 1 for PN9 and PN15)",
     .rule = whole(0)});
  v("dataSourceName", r.dataSourceName, {.meaning = "name of the user data file (source 7)"});
  v("dataSourceBitstream", r.dataSourceBitstream,
    {.meaning = "bits of the user data file, first bit first; the whole row is the payload of every packet (source 7)",
     .values = "row of 0/1 values, whole octets, at most maxDataLen x 8 bits",
     .rule = flag()});
  v("numberOfPackets", r.numberOfPackets,
    {.meaning = "packets per waveform; the whole waveform must fit the instrument's memory (configuration.BBGtype)",
     .values = "whole number 1 to 64000000 (the window offers 1 to 2000)",
     .rule = whole(1, 64000000)});
  v("totalLength", r.totalLength,
    {.meaning = "bytes of one packet: dataLength plus the active MAC header and FCS (formats 2 and 3: framed only)",
     .unit = "bytes",
     .derived = true});
  v("OverSampling", r.OverSampling,
    {.meaning = "samples per 20 MHz OFDM sample (format 1) or per 11 MHz chip (formats 2, 3); the sample rate is "
                "20 MHz x OverSampling (format 1) or 11 MHz x OverSampling",
     .values = "format 1: whole number 1 to 100; formats 2 and 3: a multiple of 0.5 from 0.5 to 500000, at 33 Mbit/s "
               "a multiple of 1.5 (the window offers 2 to 5 for OFDM and 2 to 9 otherwise)",
     .rule = multiple_of(0.5, 0.5, 500000)});
  v("OverSampling_b", r.OverSampling_b,
    {.meaning = "oversampling kept for formats 2 and 3 while format 1 is in force",
     .values = "a multiple of 0.5 from 0.5 to 500000",
     .rule = multiple_of(0.5, 0.5, 500000)});
  v("OverSampling_a", r.OverSampling_a,
    {.meaning = "oversampling kept for format 1 while format 2 or 3 is in force",
     .values = "whole number 1 to 100",
     .rule = whole(1, 100)});
  v("WindowingLength", r.WindowingLength,
    {.meaning = "OFDM symbol windowing length (format 1)",
     .unit = "samples",
     .values = "whole number 0 to 64 x OverSampling (the window offers 0 to 16)",
     .rule = whole(0)});
  v("serviceField", r.serviceField,
    {.meaning = "OFDM SERVICE field (format 1); its 7 least significant bits are sent as 0",
     .values = "whole number 0 to 65535 (0xFFFF)",
     .rule = whole(0, 65535)});
  v("rampType", r.rampType,
    {.meaning = "power up/down ramp of each burst (formats 2 and 3, framed)",
     .values = "0 = none, 1 = linear, 2 = raised cosine",
     .rule = codes({0, 1, 2})});
  v("rampLength", r.rampLength,
    {.meaning = "length of each ramp (--ramp-us sets it in microseconds)",
     .unit = "samples",
     .values = "0 or more (the window offers 0 to 1000 us)",
     .rule = range(0, FieldRule::kInf)});
  v("FilterType", r.FilterType,
    {.meaning = "baseband pulse-shaping filter",
     .values = "0 = none (unit impulse); 1 = Gaussian, FilterFactor = bT; "
               "2 = root raised cosine, FilterFactor = roll-off alpha; 3 = windowed sinc (\"brick\"); "
               "4 = user filter file (filterCoeffs)",
     .rule = codes({0, 1, 2, 3, 4})});
  v("FilterFactor", r.FilterFactor,
    {.meaning = "bandwidth-time product bT (FilterType 1) or roll-off alpha (FilterType 2); other filters ignore it",
     .values = "above 0 (the window offers 0.1 to 1 for bT, 0.05 to 1 for alpha)",
     .rule = above(0)});
  v("FilterTaps", r.FilterTaps,
    {.meaning = "filter length in symbols; the filter has FilterTaps x OverSampling taps",
     .unit = "symbols",
     .values = "above 0 (the window offers 1 to 1000)",
     .rule = above(0)});
  v("filterCoeffs", r.filterCoeffs,
    {.meaning = "filter taps: designed from FilterType, FilterTaps, FilterFactor and OverSampling, or read from a user "
                "filter file (FilterType 4)",
     .values = "row of numbers; for FilterType 4 a multiple of OverSampling taps",
     .rule = finite()});
  v("idleSamples", r.idleSamples,
    {.meaning = "idle interval after each frame (framed mode; --idle-us sets it in microseconds)",
     .unit = "samples",
     .values = "0 or more, whole for format 1 (formats 2 and 3 round it; the window offers 0 to 100000 us)",
     .rule = range(0, FieldRule::kInf)});
  v("ProjectedLength", r.ProjectedLength,
    {.meaning = "samples of the whole waveform (size estimate of all packets)", .unit = "samples", .derived = true});
  v("Fading", r.Fading, {.meaning = "twelve multipath paths, path k in column k (applied when FadingState is 1)"});
  v("FadingState", r.FadingState,
    {.meaning = "apply the multipath paths of Fading", .values = "0 = off, 1 = on", .rule = flag()});
  v("multiFrame", r.multiFrame, {.meaning = "the packet temporary file of the calculation"});
  v("faceless", r.faceless,
    {.meaning = "unattended operation: no success messages or window updates",
     .values = "0 = off, 1 = on",
     .rule = flag()});
}
TARVIO_CONST_VISIT(Parameters)

template <class F>
void for_each_field(SigGenSettings& r, F&& f) {
  FieldVisitor<F> v{f};
  v("Title", r.Title,
    {.meaning = "name of the waveform in the instrument's memory",
     .values = "A-Z, 0-9 and _ $ & # + - [ ], up to 20 characters"});
  v("Frequency", r.Frequency,
    {.meaning = "carrier frequency",
     .unit = "Hz",
     .values = "100 kHz to 1e12 Hz, up to the instrument's maximum",
     .rule = range(100e3, 1e12)});
  v("Amplitude", r.Amplitude,
    {.meaning = "output level",
     .unit = "dBm",
     .values = "whole number -136 to 30, up to the instrument's maximum",
     .rule = whole(-136, 30)});
  v("BBfilter", r.BBfilter,
    {.meaning = "the instrument's I/Q baseband filter",
     .values = "1 = 2.1 MHz (40 MHz on instruments without it), 2 = 40 MHz, 3 = through",
     .rule = codes({1, 2, 3})});
  v("Scaling", r.Scaling,
    {.meaning = "I/Q scaling of the waveform in the instrument; at OverSampling 2 or less it is held below 70",
     .unit = "%",
     .values = "1 to 100 in steps of 0.01",
     .rule = range(1, 100)});
  v("ModAtten", r.ModAtten,
    {.meaning = "I/Q modulator attenuation", .unit = "dB", .values = "whole number 0 to 40", .rule = whole(0, 40)});
  v("ModAttenAuto", r.ModAttenAuto,
    {.meaning = "the instrument chooses the modulator attenuation",
     .values = "0 = use ModAtten, 1 = automatic",
     .rule = flag()});
  v("RFblanking", r.RFblanking,
    {.meaning = "RF blanking by marker 2 (RF off outside the bursts)", .values = "0 = off, 1 = on", .rule = flag()});
  v("ALC", r.ALC, {.meaning = "automatic level control", .values = "0 = off, 1 = on", .rule = flag()});
  v("ArbRefSource", r.ArbRefSource,
    {.meaning = "reference of the waveform clock", .values = "0 = internal, 1 = external", .rule = flag()});
  v("MarkerPolarity", r.MarkerPolarity,
    {.meaning = "polarity of the event markers", .values = "0 = positive, 1 = negative", .rule = flag()});
  v("SamplingRate", r.SamplingRate,
    {.meaning = "playback sample clock; follows OverSampling (20 MHz x OverSampling for format 1, else 11 MHz x "
                "OverSampling)",
     .unit = "Hz",
     .values = "1 Hz to 100 MHz",
     .rule = range(1, 100e6)});
}
TARVIO_CONST_VISIT(SigGenSettings)

template <class F>
void for_each_field(GpibSettings& r, F&& f) {
  FieldVisitor<F> v{f};
  v("board", r.board, {.meaning = "GPIB interface board", .values = "whole number 0 to 15", .rule = whole(0, 15)});
  v("primary", r.primary,
    {.meaning = "primary bus address of the instrument (factory setting 19)",
     .values = "whole number 0 to 30",
     .rule = whole(0, 30)});
  v("secondary", r.secondary,
    {.meaning = "secondary bus address", .values = "whole number -1 (none) to 31", .rule = whole(-1, 31)});
}
TARVIO_CONST_VISIT(GpibSettings)

template <class F>
void for_each_field(Rs232Settings& r, F&& f) {
  FieldVisitor<F> v{f};
  v("port", r.port,
    {.meaning = "serial port number: port n is /dev/ttyS(n-1) unless --serial names a device",
     .values = "whole number 1 to 9",
     .rule = whole(1, 9)});
  v("baudrate", r.baudrate,
    {.meaning = "baud rate; must agree with the instrument",
     .values = "300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200 or 230400",
     .rule = codes({300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400})});
  v("handshake", r.handshake,
    {.meaning = "flow control; with Xon/Xoff a waveform whose data holds the bytes 0x11 or 0x13 cannot be sent",
     .values = "\"None\", \"Xon/Xoff\" (software) or \"RTS/CTS\" (hardware)",
     .rule = texts("None|Xon/Xoff|RTS/CTS", true)});
}
TARVIO_CONST_VISIT(Rs232Settings)

template <class F>
void for_each_field(TcpipSettings& r, F&& f) {
  FieldVisitor<F> v{f};
  v("address", r.address,
    {.meaning = "instrument network address",
     .values = "HOST[:PORT] (SCPI socket, port 5025), vxi11://HOST or TCPIP::HOST::INSTR (VXI-11)"});
  v("board", r.board, {.meaning = "network interface board", .values = "whole number 0 or more", .rule = whole(0)});
}
TARVIO_CONST_VISIT(TcpipSettings)

template <class F>
void for_each_field(Configuration& r, F&& f) {
  FieldVisitor<F> v{f};
  v("faceless", r.faceless,
    {.meaning = "unattended flag kept with the connection settings", .values = "0 = off, 1 = on", .rule = flag()});
  v("type", r.type,
    {.meaning = "connection to the instrument",
     .values = "\"GPIB\", \"RS232\" or \"TCPIP\" (LAN), any case",
     .rule = texts("GPIB|RS232|TCPIP", true)});
  v("GPIB", r.GPIB, {.meaning = "GPIB connection"});
  v("RS232", r.RS232, {.meaning = "RS-232 connection"});
  v("TCPIP", r.TCPIP, {.meaning = "LAN connection"});
  v("BBGtype", r.BBGtype,
    {.meaning = "baseband memory option of the instrument; a larger waveform is refused",
     .values = "\"MEM-A\" (8 Msamples), \"MEM-B\" (32 Msamples) or \"MEM-C\" (64 Msamples)",
     .rule = texts("MEM-A|MEM-B|MEM-C")});
  v("LastParameterFilename", r.LastParameterFilename,
    {.meaning = "last parameter file opened or saved in the window (not restored from rfIOConfig.mat)"});
}
TARVIO_CONST_VISIT(Configuration)

template <class F>
void for_each_field(AppInfo& r, F&& f) {
  FieldVisitor<F> v{f};
  v("Name", r.Name);
  v("Platform", r.Platform);
  v("IsRelease", r.IsRelease);
  v("Rev", r.Rev);
  v("Date", r.Date);
  v("Notes", r.Notes);
  v("NotesLine2", r.NotesLine2);
  v("NotesLine3", r.NotesLine3);
  v("NotesLine4", r.NotesLine4);
  v("NotesLine5", r.NotesLine5);
  v("NotesLine6", r.NotesLine6);
  v("NotesLine7", r.NotesLine7);
  v("AboutMessage", r.AboutMessage);
  v("ApplicationFunction", r.ApplicationFunction);
  v("ParameterFileExtension", r.ParameterFileExtension);
  v("ClientWindows", r.ClientWindows);
  v("LastCaluclatedParameterSet", r.LastCaluclatedParameterSet);
  v("LastCalcTimeStamp", r.LastCalcTimeStamp);
}
TARVIO_CONST_VISIT(AppInfo)

#undef TARVIO_CONST_VISIT

}  // namespace tarvio
