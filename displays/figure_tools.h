// The figure tools: open the analysis displays in the desktop's windows and
// act on them (labels, subplots, zoom, rotate). Each is also registered
// under its name. All need an installed display host and throw
// std::runtime_error naming the tool when there is none; they check the host
// before computing anything.
#pragma once

#include <string>

#include "displays/display_host.h"
#include "displays/iq_view.h"
#include "runtime/types.h"

namespace tarvio {

// The displays. `parent` is the main window's handle (or a display's); the
// result is the new window's handle, for appInfo.ClientWindows.
// The samples are read where they are, not copied.
double KV_PlotSpectrum(double parent, IqView wave, double sampleRate, const std::string& title);
double KV_PlotIQTime(double parent, IqView wave, double sampleRate, const std::string& title, bool sameAxes = false);
double KV_PlotCCDF(double parent, IqView wave, double sampleRate, const std::string& title);
// The CCDF of the bursts alone (gated_ccdf_figure), found at sampleRate.
double KV_PlotCCDFGated(double parent, IqView wave, double sampleRate, const std::string& title);
double KV_PlotWaterfall(double parent, const CVec& wave, double sampleRate, const std::string& title);
// numSymbols stretches of two symbol periods starting delaySamples in;
// samplesPerSymbol is the oversampling.
double KV_PlotEyeDiagram(double parent, const CVec& wave, double sampleRate, const std::string& title,
                         double samplesPerSymbol, double numSymbols, double delaySamples);
double KV_PlotScatterDiagram(double parent, const CVec& wave, double sampleRate, const std::string& title,
                             bool traceOn);

// The Tools menu of a display window (handle 0: the current display).
void KV_Zoom(double handle, ToolMode mode);
void KV_Rotate(double handle, ToolMode mode);

// On the current display: clear it, label its current axes, or make the axes
// at position p (1-based, row by row) of an m x n grid current, adding it
// when needed. A display is opened, empty, when none is.
void Clf(double handle);
void Title(const std::string& text);
void Xlabel(const std::string& text);
void Ylabel(const std::string& text);
int Subplot(int m, int n, int p);

}  // namespace tarvio
