// The program-wide variables shared by every operation. They exist once, are
// owned by the library and live from start to shut-down; operations read and
// write them here rather than keeping state of their own.
#pragma once

#include <optional>

#include "records/impairments.h"
#include "records/records.h"
#include "runtime/types.h"

namespace tarvio {

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
};

// The one instance. Not thread-safe: all operations run on the host's thread.
State& state();

}  // namespace tarvio
