// tarvio-cli plot: draws an analysis display of a waveform file into a PNG
// picture and/or writes its traces as CSV numbers. The displays are
// computed here; the picture is painted by the display module, which is
// loaded by name so that tarvio-cli itself never links the window toolkit.
#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "displays/analysis_figures.h"
#include "displays/ccdf.h"
#include "displays/figure_csv.h"
#include "displays/iq_time.h"
#include "displays/spectrum.h"
#include "dsp/dac_res.h"
#include "files/waveform_file.h"
#include "hosts/cli/cli_args.h"
#include "hosts/cli/cli_command.h"
#include "qt/displays/render_png.h"
#include "runtime/module_path.h"
#include "analyze/capture_views.h"
#include "verify/file_views.h"

namespace tarvio::cli {
namespace {

constexpr const char* kModuleFile = "libtarvio-qtdisplays.so";
// The displays show the waveform as a 14-bit converter would play it.
constexpr double kDisplayBits = 14;

// The display module's picture entry point; loaded once and kept.
tarvio_render_png_fn render_entry() {
  static tarvio_render_png_fn entry = nullptr;
  if (entry) return entry;
  std::string tried;
  for (const std::string& candidate : module_candidates(kModuleFile)) {
    void* h = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
      const char* why = dlerror();
      tried += "\n  " + candidate + ": " + (why ? why : "not found");
      continue;
    }
    if (void* sym = dlsym(h, TARVIO_RENDER_PNG_SYMBOL)) {
      entry = reinterpret_cast<tarvio_render_png_fn>(sym);
      return entry;
    }
    tried += "\n  " + candidate + ": no entry point " TARVIO_RENDER_PNG_SYMBOL;
    dlclose(h);
  }
  throw std::runtime_error(std::string("--png needs the display module ") + kModuleFile +
                           ", which is built when Qt 6 (qt6-base-dev) is installed; it could not be loaded:" + tried +
                           "\n(--csv works without it)");
}

// The waveform of any file verify reads, and its sample rate: the file's
// own, else --sample-rate (a raw file carries none).
WaveformFile read_waveform(const std::string& path, double given_rate) {
  WaveformFile w = read_waveform_file(path);
  if (given_rate > 0) w.sampleRate = given_rate;
  if (!(w.sampleRate > 0)) {
    if (w.kind == "dump" || w.kind == "MAT waveform")
      throw std::runtime_error("'" + path + "' has no `sampleRate`; give it with --sample-rate HZ");
    throw UsageError("'" + path + "' does not carry its sample rate: give it with --sample-rate HZ");
  }
  return w;
}

void parse_size(const std::string& text, int& width, int& height) {
  const auto x = text.find('x');
  try {
    if (x == std::string::npos) throw std::invalid_argument(text);
    size_t used = 0;
    width = std::stoi(text.substr(0, x), &used);
    if (used != x) throw std::invalid_argument(text);
    height = std::stoi(text.substr(x + 1), &used);
    if (used != text.size() - x - 1) throw std::invalid_argument(text);
  } catch (const std::logic_error&) {
    throw UsageError("--size wants WIDTHxHEIGHT in pixels, e.g. 1000x700, not '" + text + "'");
  }
  if (width < 100 || height < 100 || width > 20000 || height > 20000)
    throw UsageError("--size " + text + ": each side must be 100 ... 20000 pixels");
}

// --packet N: a packet number from 1.
size_t parse_packet(const std::string& text) {
  size_t used = 0;
  unsigned long long n = 0;
  try {
    n = std::stoull(text, &used);
  } catch (const std::logic_error&) {
    used = 0;
  }
  if (used == 0 || used != text.size() || n < 1 || text[0] == '-' || text[0] == '+')
    throw UsageError("--packet wants a packet number from 1, not '" + text + "'");
  return static_cast<size_t>(n);
}

// The analysis displays: the file checked by the receivers, one packet drawn.
Figure analysis_plot(AnalysisPlot kind, const std::string& path, double given_rate, size_t packet,
                     const std::string& title) {
  verify::FileViews fv;
  try {
    fv = analyze::capture_views(path, given_rate, 2);
  } catch (const verify::MissingSampleRate& e) {
    throw UsageError(std::string(e.what()) + ": give it with --sample-rate HZ");
  }
  if (fv.packets.empty()) throw std::runtime_error("'" + path + "': " + fv.note + ", nothing to draw");
  if (packet > fv.packets.size())
    throw UsageError("--packet " + std::to_string(packet) + ": '" + path + "' holds " +
                     std::to_string(fv.packets.size()) + " packets");
  const verify::PacketView v = fv.view(packet - 1);
  if (!v.found)
    throw std::runtime_error("packet " + std::to_string(packet) + " of '" + path + "' was not received: " +
                             (v.failures.empty() ? std::string("no packet found") : v.failures.front()));
  return analysis_figure(kind, v, title);
}

int run_plot(const std::vector<std::string>& args) {
  const ParsedArgs pa = parse_args(args, {"--png", "--csv", "--title", "--size", "--sample-rate", "--packet"},
                                   {"--ungated", "--raw-periodogram"});
  if (pa.positional.size() != 2) throw UsageError("name a display and one waveform file");
  const std::string kind = pa.positional[0], path = pa.positional[1];
  AnalysisPlot analysis{};
  const bool analysed = analysis_plot_named(kind, analysis);
  if (kind != "spectrum" && kind != "iq" && kind != "iq-overlaid" && kind != "ccdf" && !analysed)
    throw UsageError("'" + kind + "' is not a display: spectrum, iq, iq-overlaid, ccdf, constellation, evm or mask");
  if (pa.has("--packet") && !analysed) throw UsageError("--packet is an option of constellation, evm and mask");
  const size_t packet = pa.has("--packet") ? parse_packet(pa.get("--packet")) : 1;
  if (!pa.has("--png") && !pa.has("--csv")) throw UsageError("say what to write: --png OUT.png and/or --csv OUT.csv");
  if (pa.has("--ungated") && kind != "ccdf") throw UsageError("--ungated is an option of the ccdf display");
  if (pa.has("--raw-periodogram") && kind != "spectrum")
    throw UsageError("--raw-periodogram is an option of the spectrum display");
  const double given_rate = pa.has("--sample-rate") ? parse_sample_rate("--sample-rate", pa.get("--sample-rate")) : 0;
  int width = 1000, height = 700;
  if (pa.has("--size")) parse_size(pa.get("--size"), width, height);
  // Load the module before the long work, so that a missing one is reported at once.
  const tarvio_render_png_fn render = pa.has("--png") ? render_entry() : nullptr;

  const std::string title = pa.get("--title", std::filesystem::path(path).filename().string());
  Figure f;
  if (analysed) {
    f = analysis_plot(analysis, path, given_rate, packet, title);
  } else {
    WaveformFile w = read_waveform(path, given_rate);
    CVec shown = ApplyDacRes(w.samples, kDisplayBits);
    CVec().swap(w.samples);
    // Spectrum and CCDF as an analyser shows them by default (averaged,
    // over the bursts); the desktop program's own views on request.
    if (kind == "spectrum")
      f = pa.has("--raw-periodogram") ? spectrum_figure(std::move(shown), w.sampleRate, title)
                                      : welch_spectrum_figure(shown, w.sampleRate, title);
    else if (kind == "ccdf")
      f = pa.has("--ungated") ? ccdf_figure(shown, title) : gated_ccdf_figure(shown, w.sampleRate, title);
    else
      f = iq_time_figure(std::move(shown), w.sampleRate, title, kind == "iq-overlaid");
  }

  if (pa.has("--csv")) {
    write_figure_csv(f, pa.get("--csv"));
    std::printf("written %s\n", pa.get("--csv").c_str());
  }
  if (render) {
    char error[1024] = "";
    if (render(&f, pa.get("--png").c_str(), width, height, error, sizeof error) != 0) throw std::runtime_error(error);
    std::printf("written %s\n", pa.get("--png").c_str());
  }
  return kExitOk;
}

}  // namespace

TARVIO_CLI_COMMAND({"plot", "draw a display of a waveform file (PNG) or write its numbers (CSV)",
                    "usage: tarvio-cli plot spectrum|iq|iq-overlaid|ccdf FILE [--png OUT.png] [--csv OUT.csv]\n"
                    "                       [--title TEXT] [--size WxH] [--sample-rate HZ]\n"
                    "                       [--raw-periodogram] [--ungated]\n"
                    "       tarvio-cli plot constellation|evm|mask FILE [--packet N] [--png OUT.png]\n"
                    "                       [--csv OUT.csv] [--title TEXT] [--size WxH] [--sample-rate HZ]\n"
                    "\n"
                    "Computes an analysis display of the waveform in FILE, any file verify reads:\n"
                    "a calc --dump or Save Wave MAT file, an export file, a SigMF recording\n"
                    "(BASE.sigmf-meta or BASE.sigmf-data) or a raw 16-bit sample file (with\n"
                    "--sample-rate). As in the desktop program, the samples are first quantised\n"
                    "to 14 bits.\n"
                    "  spectrum      averaged spectrum (Welch: Hann segments overlapping by half,\n"
                    "                bins of 100 kHz or less, the resolution bandwidth on the axis);\n"
                    "                --raw-periodogram: the desktop program's magnitude spectrum\n"
                    "                (whole waveform, no window, every bin)\n"
                    "  iq            I(t) and Q(t) on two axes\n"
                    "  iq-overlaid   I(t) and Q(t) on one axes\n"
                    "  ccdf          CCDF of the instantaneous power over the bursts alone (the idle\n"
                    "                gaps left out), with the Gaussian reference; --ungated: over\n"
                    "                every sample, as the desktop program shows it\n"
                    "The analysis displays decode the file with verify's receivers and draw one\n"
                    "packet (--packet N, from 1; default 1):\n"
                    "  constellation the points measured after the receiver's corrections, over\n"
                    "                the points sent\n"
                    "  evm           EVM per data sub-carrier and per DATA symbol (OFDM), or per\n"
                    "                block of 1000 chips (DSSS), with the limit\n"
                    "  mask          the burst's averaged spectrum with the mask's limit over it,\n"
                    "                and its power against time with the burst's edges\n"
                    "Options (at least one of --png and --csv):\n"
                    "  --png OUT.png   the display as a picture (needs the display module, built\n"
                    "                  with Qt 6; no desktop needed)\n"
                    "  --csv OUT.csv   the plotted traces as numbers: a header line naming the\n"
                    "                  columns with their units, then one row per point, every\n"
                    "                  sample included\n"
                    "  --title TEXT    the window title after the display name (default: the\n"
                    "                  file name)\n"
                    "  --size WxH      picture size in pixels (default 1000x700)\n"
                    "  --sample-rate HZ  the sample rate, for files that do not carry it (raw)\n",
                    &run_plot});

}  // namespace tarvio::cli
