// The signal generator settings panel of the main window: carrier frequency
// with its unit, output level, waveform title and the advanced settings
// button. Edits follow the settings' entry rules (instrument/siggen_entry.h)
// and are written back as stored; redrawSigGenSettings shows the record.
#pragma once

#include "ui/commands.h"

namespace tarvio::ui {

class Application;
class MainWindow;

class SigGenPanel {
 public:
  SigGenPanel(Application& app, MainWindow& main);
  void InitializeFigure();
  void redrawSigGenSettings();
  std::vector<Value> command(const std::string& name, const Args& args);

 private:
  void frequency();
  void advanced();
  Application& app_;
  MainWindow& main_;
  CommandSet commands_;
};

}  // namespace tarvio::ui
