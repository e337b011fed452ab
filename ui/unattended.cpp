// The unattended operations and the format family set-ups registered as
// operations. They act on the program-wide model: the unattended start
// builds it hidden and marks the parameter set unattended, so the redraws
// keep the records as the window would while nothing is shown.
#include <stdexcept>

#include "control/set_wlan_vars.h"
#include "instrument/download_sequence.h"
#include "records/state.h"
#include "runtime/registry.h"
#include "ui/application.h"
#include "ui/main_window.h"

namespace tarvio::ui {

TARVIO_OP(
    "Dot11_faceless", 0, 0,
    [](const Args&, int) -> std::vector<Value> {
      program_application().start_faceless();
      return {};
    },
    "Dot11_faceless(): the unattended start: records and hidden window set, unattended flag set");

TARVIO_OP(
    "ExeCalculation", 0, 0,
    [](const Args&, int) -> std::vector<Value> {
      // Through the window command, as the window's own calculation runs;
      // a calculation that did not complete is a failure of this step.
      const std::vector<Value> r =
          Registry::instance().call(state().appInfo.ApplicationFunction, {Value("Calculate")}, 1);
      if (r.empty() || r[0].to_double() != 1)
        throw std::runtime_error("The calculation did not complete (see the message shown); there is no waveform.");
      return {};
    },
    "ExeCalculation(): the calculation of the parameter set, as the window's Calculate");

TARVIO_OP(
    "ExeDownload", 0, 0,
    [](const Args&, int) -> std::vector<Value> {
      const HwResult r = DownloadSequence();
      if (r.status != 0) throw std::runtime_error("The download failed: " + r.response);
      return {};
    },
    "ExeDownload(): transfers the waveform to the instrument and sets up its playback");

TARVIO_OP(
    "AppShutDown", 0, 0,
    [](const Args&, int) -> std::vector<Value> {
      program_application().shut_down();
      return {};
    },
    "AppShutDown(): empties the packet file, closes the displays, stores the I/O configuration");

// A format family set-up of the main window (the window's handles may be
// passed and are not needed).
template <void (MainWindow::*Method)()>
std::vector<Value> family_setup(const Args&, int) {
  (program_application().main().*Method)();
  return {};
}

TARVIO_OP("SetupDSSS", 1, 0, family_setup<&MainWindow::SetupDSSS>,
          "SetupDSSS(handles): the DSSS lists and controls, the long preamble, the sample rate");
TARVIO_OP("SetupOFDM", 1, 0, family_setup<&MainWindow::SetupOFDM>, "SetupOFDM(handles): the OFDM controls");
TARVIO_OP("SetOfdmMod", 1, 0, family_setup<&MainWindow::SetOfdmMod>,
          "SetOfdmMod(handles): the OFDM set-up, lists and rate from modulation and code rate");

}  // namespace tarvio::ui
