// The download sequence and the settings refresh.
#include "instrument/download_sequence.h"

#include "instrument/kor_download.h"
#include "instrument/kor_play.h"
#include "records/state.h"
#include "runtime/report.h"

namespace tarvio {

HwResult PlaybackSetup() {
  const State& s = state();
  // Copies: the set-up writes the read-back values into the global record.
  const SigGenSettings settings = s.sigGenSettings;
  const Configuration config = s.configuration;
  if (s.appInfo.Platform == "c") return KORPlay_c(settings.Title, settings, config);
  return KORPlay(settings.Title, settings, config);
}

HwResult DownloadSequence() {
  State& s = state();
  HwResult r = KORDownLoadWrap(s.waveform, s.markers, s.sigGenSettings.Title, s.configuration);
  if (r.status != 0) {
    reporter().show({MessageKind::Error, "Error Occured During Waveform Download", r.response, true});
    return r;
  }
  r = PlaybackSetup();
  if (r.status != 0) {
    reporter().show({MessageKind::Error, "Error Occured During Instrument Setup", r.response, true});
  } else if (s.parameters.faceless == 0) {
    reporter().show({MessageKind::Info, "Download Completed",
                     "Waveform has been successfully transferred to the instrument", true});
  }
  return r;
}

HwResult RefreshSettings() {
  HwResult r = PlaybackSetup();
  if (r.status != 0) reporter().show({MessageKind::Error, "Error Occured During Instrument Setup", r.response, true});
  return r;
}

}  // namespace tarvio
