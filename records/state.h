// The program-wide variables shared by every operation. They exist once, are
// owned by the library and live from start to shut-down; operations read and
// write them here rather than keeping state of their own.
#pragma once

#include <optional>
#include <string>

#include "records/impairments.h"
#include "records/records.h"
#include "runtime/types.h"

namespace tarvio {

// What the last calculation of this program left in the packet temporary
// file: the file, its packet count, packet length and peak. A transfer or a
// file output takes these rather than the parameter set's fields, which may
// have been edited or loaded since, so that the last calculated waveform is
// sent as it was calculated.
struct CalculatedPackets {
  std::string file;
  double packets = 0;
  double pktSize = 0;
  double max = 0;
};

struct State {
  Parameters parameters;
  SigGenSettings sigGenSettings;  // `SigGenSettings`
  Impairments impairments;        // `Impairments`, all off by default
  Configuration configuration;
  Configuration configurationSA;  // spectrum analyser connection, same layout
  AppInfo appInfo;
  CVec waveform;                            // last calculated packet's samples
  Markers markers;                          // and its marker rows
  MacHeader MAChdr;                         // header being edited
  std::optional<double> dontSetSampleRate;  // empty until a window start or load sets it
  bool initialized = false;                 // the four initialisers have run
  // Set by the calculation (packets 0 from the moment it empties the file
  // until it completes); none before the first calculation.
  std::optional<CalculatedPackets> calculated;
};

// The one instance. Not thread-safe: all operations run on the host's thread.
State& state();

// The packet file a transfer or an output reads: the last calculation's
// record when it names the parameter set's packet file, otherwise (a file
// put there by other means) the parameter set's tmpFileName, numberOfPackets,
// pktSize and max.
CalculatedPackets packet_file_contents();

}  // namespace tarvio
