// The analyser's pictures of one packet, as figures: the constellation,
// EVM per sub-carrier and per symbol (or per 1000-chip block), and the
// spectrum with the mask's limit drawn over it above the power against
// time with the burst's edges. The command line writes them as PNG or
// CSV, the desktop's analysis window draws them.
#pragma once

#include <string>

#include "displays/figure.h"
#include "verify/packet_view.h"

namespace tarvio {

enum class AnalysisPlot { Constellation, Evm, Mask };

// "constellation", "evm", "mask"; false for any other name.
bool analysis_plot_named(const std::string& name, AnalysisPlot& out);

// Window "Constellation " + title: the points measured (blue dots) over the
// points sent (red), I against Q on equal axes.
Figure constellation_figure(const verify::PacketView& v, const std::string& title);

// Window "EVM " + title. OFDM: two axes, EVM (dB) per data sub-carrier
// and per DATA symbol; DSSS: one, EVM (%) per block of 1000 chips. The
// limit as a dashed red line on each.
Figure evm_figure(const verify::PacketView& v, const std::string& title);

// Window "Spectrum Mask " + title: the burst's averaged spectrum with the
// mask's limit (dashed red) on top, and below it the power against time
// with the burst's first and last sample as vertical green lines.
Figure mask_figure(const verify::PacketView& v, const std::string& title);

Figure analysis_figure(AnalysisPlot kind, const verify::PacketView& v, const std::string& title);

}  // namespace tarvio
