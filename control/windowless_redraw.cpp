// Record updates of the main window's redraws, without the window.
#include "control/windowless_redraw.h"

#include "control/param_set_ops.h"
#include "dsss/dot11g_size_est.h"

namespace tarvio {

void redraw_format_records(Parameters& p, SigGenSettings& sg, const std::optional<double>& dontSetSampleRate) {
  SetSampleRate(p, sg, dontSetSampleRate);
  if (p.format == 1) {
    if (p.scramblerActive > 1) p.scramblerActive = 1;
    if (p.faceless == 1) p.MirrorSpectrum = 1;
    p.preambleType = 2;
  } else {
    // A DSSS preamble (long 0, short 1) stays; the OFDM type 2 becomes long.
    if (p.preambleType != 0 && p.preambleType != 1) p.preambleType = 0;
    if (p.dataRate == 22 || p.dataRate == 33) p.highRateMod = 1;
  }
  update_lengths(p);
}

void update_lengths(Parameters& p) {
  const double frame = p.format == 1 ? 1.0 : p.generationMode;
  p.totalLength = p.dataLength + frame * (p.MACheader.Length * p.MACheader.Active + p.MACfcs.Length * p.MACfcs.Active);
  p.ProjectedLength = Dot11g_SizeEst(p);
}

}  // namespace tarvio
