// The application frame (rfCommonUI): the menu bar's commands, Calculate,
// Download and Refresh, the stale-waveform guard, the baseband memory
// option, the I/O connection dialogs, the title, help and about. It keeps no
// state of its own: everything lives in the program-wide records.
#pragma once

#include <string>
#include <vector>

#include "ui/commands.h"
#include "ui/host.h"

namespace tarvio::ui {

class Application;
class MainWindow;

class Frame {
 public:
  Frame(Application& app, MainWindow& main);

  // The switchboard: runs the command of that name.
  std::vector<Value> command(const std::string& name, const Args& args);
  std::vector<std::string> command_names() const { return commands_.names(); }

  // Builds the menu bar on the main window and connects its items.
  void add_menu();
  // The stored I/O configuration, the tool tips of the frame's controls and
  // the memory option marks.
  void InitializeFigure();
  void redrawAppTitle();
  // Calculate with the time stamp; returns whether it completed.
  bool executeCalculation();
  // 1 when the action may go ahead on a calculated, current waveform: asks
  // to calculate (none yet) or whether to recalculate (settings changed).
  bool checkWaveformReady(const std::string& action);
  // A display of the Plot menu: the display operation's name and the
  // arguments that follow the parent, samples, sample rate and title. The
  // quantising and the display's computation run as the host runs long
  // work; the operation is called once, with the samples as a complex row.
  void plot(const std::string& operation, const Args& extra);
  // File > Analyze Capture...: asks for a waveform file, checks it as the
  // host runs long work and shows its packets in the analysis window; a
  // file that cannot be read or checked is named with the reason.
  void analyze_capture();

  // The product caption of the title, ending in " for ".
  static constexpr const char* kCaption = "802.11a/b/g Waveform Generator for ";
  // Where the user guide is: beside the library, else in the source tree's
  // docs folder.
  static std::string user_guide_path();

 private:
  void download();
  void refresh();
  void file_new();
  void file_open();
  void file_save();
  void file_save_as();
  void export_data();
  void sig_gen_io(bool spectrum_analyzer);
  void memory_option(int item);
  void impairments_setup();
  void save_wave();
  void special_save(const std::string& filename);
  void help();

  Application& app_;
  MainWindow& main_;
  CommandSet commands_;
};

}  // namespace tarvio::ui
