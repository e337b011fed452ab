// The program-wide records as typed structures: `parameters`, `SigGenSettings`,
// `configuration` and `appInfo`. Each record declares its fields once, in its
// for_each_field function (name and member, in file order); that one list
// drives conversion to and from the dynamic Value, MAT save and load, and
// field-by-field comparison (see records/record_value.h).
#pragma once

#include <optional>
#include <string>
#include <vector>

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
// f(name, member) once per field in order. The const overloads share the list.

#define TARVIO_CONST_VISIT(T)              \
  template <class F>                       \
  void for_each_field(const T& r, F&& f) { \
    for_each_field(const_cast<T&>(r), f);  \
  }

template <class F>
void for_each_field(MacField& r, F&& f) {
  f("Contents", r.Contents);
  f("Size", r.Size);
  f("Active", r.Active);
}
TARVIO_CONST_VISIT(MacField)

template <class F>
void for_each_field(MacHeader& r, F&& f) {
  f("BitStream", r.BitStream);
  f("FrameCntrl", r.FrameCntrl);
  f("DurationID", r.DurationID);
  f("SeqCntrl", r.SeqCntrl);
  f("Address1", r.Address1);
  f("Address2", r.Address2);
  f("Address3", r.Address3);
  f("Address4", r.Address4);
}
TARVIO_CONST_VISIT(MacHeader)

template <class F>
void for_each_field(MacHeaderSettings& r, F&& f) {
  f("Active", r.Active);
  f("Length", r.Length);
  f("Contents", r.Contents);
}
TARVIO_CONST_VISIT(MacHeaderSettings)

template <class F>
void for_each_field(MacFcs& r, F&& f) {
  f("Active", r.Active);
  f("Length", r.Length);
  f("Contents", r.Contents);
}
TARVIO_CONST_VISIT(MacFcs)

template <class F>
void for_each_field(FadingPaths& r, F&& f) {
  f("delay", r.delay);
  f("phase", r.phase);
  f("atten", r.atten);
  f("state", r.state);
}
TARVIO_CONST_VISIT(FadingPaths)

template <class F>
void for_each_field(MultiFrame& r, F&& f) {
  f("tmpFileName", r.tmpFileName);
  f("pktSize", r.pktSize);
  f("max", r.max);
}
TARVIO_CONST_VISIT(MultiFrame)

template <class F>
void for_each_field(Parameters& r, F&& f) {
  f("ParameterFileFormat_ID", r.ParameterFileFormat_ID);
  f("format", r.format);
  f("dot11bScaling", r.dot11bScaling);
  f("dot11aScaling", r.dot11aScaling);
  f("generationMode", r.generationMode);
  f("dataRate", r.dataRate);
  f("highRateMod", r.highRateMod);
  f("modulation", r.modulation);
  f("encoderRate", r.encoderRate);
  f("preambleType", r.preambleType);
  f("clkLocked", r.clkLocked);
  f("scramblerActive", r.scramblerActive);
  f("scramblerInit", r.scramblerInit);
  f("encoderActive", r.encoderActive);
  f("interleaverActive", r.interleaverActive);
  f("SubCarriers", r.SubCarriers);
  f("Channel", r.Channel);
  f("MirrorSpectrum", r.MirrorSpectrum);
  f("clkStruct", r.clkStruct);
  f("MACheader", r.MACheader);
  f("incrSeqCtrl", r.incrSeqCtrl);
  f("incrFragNum", r.incrFragNum);
  f("seqCtrlFreq", r.seqCtrlFreq);
  f("MACfcs", r.MACfcs);
  f("maxDataLen", r.maxDataLen);
  f("dataSourceType", r.dataSourceType);
  f("dataLength", r.dataLength);
  f("dataSourceName", r.dataSourceName);
  f("dataSourceBitstream", r.dataSourceBitstream);
  f("numberOfPackets", r.numberOfPackets);
  f("totalLength", r.totalLength);
  f("OverSampling", r.OverSampling);
  f("OverSampling_b", r.OverSampling_b);
  f("OverSampling_a", r.OverSampling_a);
  f("WindowingLength", r.WindowingLength);
  f("serviceField", r.serviceField);
  f("rampType", r.rampType);
  f("rampLength", r.rampLength);
  f("FilterType", r.FilterType);
  f("FilterFactor", r.FilterFactor);
  f("FilterTaps", r.FilterTaps);
  f("filterCoeffs", r.filterCoeffs);
  f("idleSamples", r.idleSamples);
  f("ProjectedLength", r.ProjectedLength);
  f("Fading", r.Fading);
  f("FadingState", r.FadingState);
  f("multiFrame", r.multiFrame);
  f("faceless", r.faceless);
}
TARVIO_CONST_VISIT(Parameters)

template <class F>
void for_each_field(SigGenSettings& r, F&& f) {
  f("Title", r.Title);
  f("Frequency", r.Frequency);
  f("Amplitude", r.Amplitude);
  f("BBfilter", r.BBfilter);
  f("Scaling", r.Scaling);
  f("ModAtten", r.ModAtten);
  f("ModAttenAuto", r.ModAttenAuto);
  f("RFblanking", r.RFblanking);
  f("ALC", r.ALC);
  f("ArbRefSource", r.ArbRefSource);
  f("MarkerPolarity", r.MarkerPolarity);
  f("SamplingRate", r.SamplingRate);
}
TARVIO_CONST_VISIT(SigGenSettings)

template <class F>
void for_each_field(GpibSettings& r, F&& f) {
  f("board", r.board);
  f("primary", r.primary);
  f("secondary", r.secondary);
}
TARVIO_CONST_VISIT(GpibSettings)

template <class F>
void for_each_field(Rs232Settings& r, F&& f) {
  f("port", r.port);
  f("baudrate", r.baudrate);
  f("handshake", r.handshake);
}
TARVIO_CONST_VISIT(Rs232Settings)

template <class F>
void for_each_field(TcpipSettings& r, F&& f) {
  f("address", r.address);
  f("board", r.board);
}
TARVIO_CONST_VISIT(TcpipSettings)

template <class F>
void for_each_field(Configuration& r, F&& f) {
  f("faceless", r.faceless);
  f("type", r.type);
  f("GPIB", r.GPIB);
  f("RS232", r.RS232);
  f("TCPIP", r.TCPIP);
  f("BBGtype", r.BBGtype);
  f("LastParameterFilename", r.LastParameterFilename);
}
TARVIO_CONST_VISIT(Configuration)

template <class F>
void for_each_field(AppInfo& r, F&& f) {
  f("Name", r.Name);
  f("Platform", r.Platform);
  f("IsRelease", r.IsRelease);
  f("Rev", r.Rev);
  f("Date", r.Date);
  f("Notes", r.Notes);
  f("NotesLine2", r.NotesLine2);
  f("NotesLine3", r.NotesLine3);
  f("NotesLine4", r.NotesLine4);
  f("NotesLine5", r.NotesLine5);
  f("NotesLine6", r.NotesLine6);
  f("NotesLine7", r.NotesLine7);
  f("AboutMessage", r.AboutMessage);
  f("ApplicationFunction", r.ApplicationFunction);
  f("ParameterFileExtension", r.ParameterFileExtension);
  f("ClientWindows", r.ClientWindows);
  f("LastCaluclatedParameterSet", r.LastCaluclatedParameterSet);
  f("LastCalcTimeStamp", r.LastCalcTimeStamp);
}
TARVIO_CONST_VISIT(AppInfo)

#undef TARVIO_CONST_VISIT

}  // namespace tarvio
