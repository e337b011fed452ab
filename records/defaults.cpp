// The default records that every start and every File New begin from.
#include "records/defaults.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tarvio {

namespace {

// The compiler's build date ("Mmm dd yyyy") as yyyy-mm-dd.
std::string build_date() {
  static const char* months = "JanFebMarAprMayJunJulAugSepOctNovDec";
  const char* d = __DATE__;
  int month = 0;
  for (int m = 0; m < 12; ++m)
    if (std::strncmp(d, months + 3 * m, 3) == 0) month = m + 1;
  int day = std::atoi(d + 4);
  int year = std::atoi(d + 7);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year, month, day);
  return buf;
}

}  // namespace

Parameters DefaultParameters() {
  Parameters p;  // every field is assigned below, in field-list order
  p.ParameterFileFormat_ID = "dot11 - Format 1.0";
  p.format = 2;
  p.dot11bScaling = 85;
  p.dot11aScaling = 95;
  p.generationMode = 1;
  p.dataRate = 11;
  p.highRateMod = 0;
  p.modulation = 4;
  p.encoderRate = 0.75;
  p.preambleType = 0;
  p.clkLocked = 0;
  p.scramblerActive = 1;
  p.scramblerInit = 93;  // binary 1011101
  p.encoderActive = 1;
  p.interleaverActive = 1;
  // Sub-carriers -26 ... +26; the middle one (DC) is unused.
  p.SubCarriers.assign(53, 1.0);
  p.SubCarriers[26] = 0;
  p.Channel = 1;
  p.MirrorSpectrum = 0;
  p.clkStruct = 28957;  // 0x711D: tail 111, head 000, reSync 100011101
  p.MACheader.Active = 1;
  p.MACheader.Length = 30;
  p.MACheader.Contents.BitStream.assign(240, 0.0);
  p.MACheader.Contents.FrameCntrl = {0, 2, 1};
  p.MACheader.Contents.DurationID = {0, 2, 1};
  p.MACheader.Contents.SeqCntrl = {0, 2, 1};
  p.MACheader.Contents.Address1 = {0, 6, 1};
  p.MACheader.Contents.Address2 = {0, 6, 1};
  p.MACheader.Contents.Address3 = {0, 6, 1};
  p.MACheader.Contents.Address4 = {0, 6, 1};
  p.incrSeqCtrl = 1;
  p.incrFragNum = 0;
  p.seqCtrlFreq = 1;
  p.MACfcs.Active = 1;
  p.MACfcs.Length = 4;
  p.MACfcs.Contents.clear();
  p.maxDataLen = 2312;
  p.dataSourceType = 1;
  p.dataLength = 1024;
  p.dataSourceName.clear();
  p.dataSourceBitstream.clear();
  p.numberOfPackets = 1;
  p.totalLength = 1058;  // 30 header + 1024 payload + 4 FCS bytes
  p.OverSampling = 4;
  p.OverSampling_b = 4;
  p.OverSampling_a = 2;
  p.WindowingLength = 2;
  p.serviceField = 0;
  p.rampType = 1;
  p.rampLength = 2 * 11 * p.OverSampling;  // 2 us at 11 Mchip/s
  p.FilterType = 1;
  p.FilterFactor = 0.5;
  p.FilterTaps = 6;
  p.filterCoeffs.clear();                     // designed from the filter fields by InitializeParameters
  p.idleSamples = 100 * 11 * p.OverSampling;  // 100 us at 11 Msample/s
  p.ProjectedLength = 0;                      // the size estimate, filled in by InitializeParameters
  p.Fading.delay.assign(12, 0.0);
  p.Fading.phase.assign(12, 0.0);
  p.Fading.atten.assign(12, 0.0);
  p.Fading.state.assign(12, 0.0);
  p.FadingState = 0;
  p.multiFrame.tmpFileName.clear();  // per process, set by InitializeParameters
  p.multiFrame.pktSize = 0;
  p.multiFrame.max = 0;
  p.faceless = 0;
  return p;
}

SigGenSettings DefaultSigGenSettings() {
  SigGenSettings s;
  s.Title = "WLan";
  s.Frequency = 2412000000.0;  // channel 1
  s.Amplitude = -30;
  s.BBfilter = 2;
  s.Scaling = 85;
  s.ModAtten = 10;
  s.ModAttenAuto = 0;
  s.RFblanking = 1;
  s.ALC = 1;
  s.ArbRefSource = 0;
  s.MarkerPolarity = 0;
  s.SamplingRate.reset();  // set by the first SetSampleRate
  return s;
}

Configuration DefaultConfiguration() {
  Configuration c;
  c.faceless = 0;
  c.type = "GPIB";
  c.GPIB = {0, 19, -1};
  c.RS232.port = 1;
  c.RS232.baudrate = 9600;
  c.RS232.handshake = "Xon/Xoff";
  c.TCPIP.address = "0.0.0.0";
  c.TCPIP.board = 0;
  c.BBGtype = "MEM-C";
  c.LastParameterFilename.clear();
  return c;
}

AppInfo DefaultAppInfo() {
  AppInfo a;
  a.Name = "Tarvio";
  a.Platform = "c";
  a.IsRelease = 1;
  a.Rev = "0.1.0";
  a.Date = build_date();
  a.Notes = "IEEE 802.11a/b/g test-waveform generator.";
  a.NotesLine2 = "OFDM 6 to 54 Mbit/s; DSSS 1 and 2 Mbit/s;";
  a.NotesLine3 = "CCK and PBCC 5.5 and 11 Mbit/s; ERP-PBCC 22 and 33 Mbit/s.";
  a.NotesLine4 = "MAC header, FCS, payload sources, ramps, filters,";
  a.NotesLine5 = "oversampling and multipath fading.";
  a.NotesLine6 = "Plays waveforms on a vector signal generator over SCPI.";
  a.NotesLine7 = "Licence: GPL-3.0-or-later.";
  a.AboutMessage = "Tarvio " + a.Rev + " (" + a.Date + ")";
  a.ApplicationFunction = "dot11g_GUI_c";
  a.ParameterFileExtension = ".mat";
  a.ClientWindows.clear();
  a.LastCaluclatedParameterSet.reset();
  a.LastCalcTimeStamp.clear();
  return a;
}

}  // namespace tarvio
