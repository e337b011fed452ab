// Opening an analysis display in the desktop program on a long waveform:
// the Plot menu's whole road (stale-waveform check, 14-bit quantising, the
// call by name, the display's computation, the window and its first
// picture), for 1 and for 64 Msamples. The ratio of the two per sample
// shows whether a long waveform costs more than its length; peak_MB is the
// process's largest resident size so far. Time is wall-clock time; CPU time
// is that of the window's thread alone, which stays free to answer the user
// while the quantising and the display's computation run on workers.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <random>

#include "hosts/desktop/desktop_app.h"
#include "qt/displays/qt_display_host.h"
#include "records/state.h"
#include "ui/main_window.h"

namespace {

tarvio::desktop::DesktopApp& app() {
  static tarvio::desktop::DesktopApp* a = [] {
    auto* d = new tarvio::desktop::DesktopApp;
    d->start_window();
    return d;
  }();
  return *a;
}

// Noise standing in for a calculated waveform, marked as calculated from
// the parameters in force so that no question is asked.
void set_waveform(size_t n) {
  app();  // started first: the start sets the parameters
  tarvio::State& s = tarvio::state();
  s.waveform.resize(n);
  std::mt19937 gen(1);
  std::normal_distribution<double> d(0, 0.3);
  for (auto& v : s.waveform) v = {d(gen), d(gen)};
  s.appInfo.LastCalcTimeStamp = {2024, 1, 1, 0, 0, 0};
  s.appInfo.LastCaluclatedParameterSet = s.parameters;
}

double peak_mb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_maxrss) / 1024;
}

// Arg 0: samples; arg 1: 0 spectrum, 1 CCDF.
void BM_open_display(benchmark::State& st) {
  const size_t n = size_t(st.range(0));
  set_waveform(n);
  const char* menu = st.range(1) == 0 ? "menuPlotSpectrum" : "menuPlotCCDF";
  for (auto _ : st) {
    app().main().select_menu(menu);
    QWidget* w = app().displays().window(app().displays().handles().back());
    benchmark::DoNotOptimize(w->grab());  // drawn once, as on screen
    st.PauseTiming();
    app().displays().close_all();
    QApplication::processEvents();
    st.ResumeTiming();
  }
  st.SetItemsProcessed(st.iterations() * int64_t(n));
  st.counters["peak_MB"] = peak_mb();
  tarvio::state().waveform.clear();
  tarvio::state().waveform.shrink_to_fit();
}
BENCHMARK(BM_open_display)
    ->Args({1 << 20, 0})
    ->Args({1 << 20, 1})
    ->Args({64 << 20, 0})
    ->Args({64 << 20, 1})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication qapp(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
