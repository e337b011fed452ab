// The frame's commands.
#include "ui/frame.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>

#include "control/calculate_command.h"
#include "control/initialize.h"
#include "control/parameter_files.h"
#include "dsp/dac_res.h"
#include "files/export_data.h"
#include "files/mat_outputs.h"
#include "instrument/download_sequence.h"
#include "records/compare_struct.h"
#include "records/record_value.h"
#include "records/state.h"
#include "runtime/conversions.h"
#include "runtime/module_path.h"
#include "runtime/registry.h"
#include "runtime/report.h"
#include "ui/about.h"
#include "ui/analysis_window.h"
#include "ui/application.h"
#include "ui/impairments_dialog.h"
#include "ui/io_dialog.h"
#include "ui/main_window.h"
#include "ui/menu_bar.h"
#include "ui/siggen_panel.h"

namespace tarvio::ui {

namespace {

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return s;
}

std::string addFileExtention(const std::string& name, const std::string& ext) {
  const bool has = name.size() >= ext.size() && lower(name.substr(name.size() - ext.size())) == lower(ext);
  return has ? name : name + ext;
}

struct Memory {
  const char* type;
  double capacity;  // samples; 0: no size check
};
constexpr Memory kMemories[] = {{"MEM-A", 8000000}, {"MEM-B", 32000000}, {"MEM-C", 0}};

State& st() { return state(); }

}  // namespace

Frame::Frame(Application& app, MainWindow& main) : app_(app), main_(main) {
  main_.on("pbCalculate", [this] { executeCalculation(); });
  main_.on("pbDownload", [this] { download(); });
  main_.on("pbRefresh", [this] { refresh(); });

  CommandSet& c = commands_;
  c.add("pbCalculate_Callback", [this] { executeCalculation(); });
  c.add("pbDownload_Callback", [this] { download(); });
  c.add("pbRefresh_Callback", [this] { refresh(); });
  c.add("menuFileNew_Callback", [this] { file_new(); });
  c.add("menuFileOpen_Callback", [this] { file_open(); });
  c.add("menuFileSave_Callback", [this] { file_save(); });
  c.add("menuFileSaveAs_Callback", [this] { file_save_as(); });
  c.add("menuFileExportData_Callback", [this] { export_data(); });
  c.add("menuFileAnalyzeCapture_Callback", [this] { analyze_capture(); });
  c.add("menuFileExit_Callback", [this] { app_.shut_down(); });
  c.add("menuPlotSpectrum_Callback", [this] { plot("KV_PlotSpectrum", {}); });
  c.add("menuPlotWaterfall_Callback", [this] { plot("KV_PlotWaterfall", {}); });
  c.add("menuPlotIQTime_Callback", [this] { plot("KV_PlotIQTime", {Value(0.0)}); });
  c.add("menuPlotIQTimeSameAxes_Callback", [this] { plot("KV_PlotIQTime", {Value(1.0)}); });
  c.add("menuPlotEyeDiagram_Callback", [this] {
    // The hidden eye-diagram item: symbols of the oversampling's length,
    // the first 100 (or as many as the waveform holds), no delay.
    const double os = st().parameters.OverSampling;
    const double symbols = std::max(1.0, std::min(100.0, std::floor(double(st().waveform.size()) / os)));
    plot("KV_PlotEyeDiagram", {Value(os), Value(symbols), Value(0.0)});
  });
  c.add("menuPlotScatterDiagram_Callback", [this] { plot("KV_PlotScatterDiagram", {Value(0.0)}); });
  c.add("menuPlotCCDF_Callback", [this] {
    const MenuItem* gated = main_.find_menu(kCcdfGatedTag);
    plot(gated && gated->checked ? "KV_PlotCCDFGated" : "KV_PlotCCDF", {});
  });
  c.add(std::string(kCcdfGatedTag) + "_Callback", [this] {
    if (const MenuItem* gated = main_.find_menu(kCcdfGatedTag)) main_.set_menu_checked(kCcdfGatedTag, !gated->checked);
  });
  c.add("menuConfigSigGenIO_Callback", [this] { sig_gen_io(false); });
  c.add("menuConfigSpecAnIO_Callback", [this] { sig_gen_io(true); });
  c.add("menuConfigImpairments_Callback", [this] { impairments_setup(); });
  c.add("menuConfigBBG1Opt1_Callback", [this] { memory_option(0); });
  c.add("menuConfigBBG1Opt2_Callback", [this] { memory_option(1); });
  c.add("menuConfigBBG1Opt602_Callback", [this] { memory_option(2); });
  c.add("menuSpecialSaveWave_Callback", [this] { save_wave(); });
  c.add("menuHelpAbout_Callback", [this] { app_.about().show_about(); });
  c.add("menuHelpHelp_Callback", [this] { help(); });
  c.add("InitializeFigure", [this] { InitializeFigure(); });
  c.add("redrawAppTitle", [this] { redrawAppTitle(); });
  c.add("executeCalculation", [this] { executeCalculation(); });
  c.add("addFileExtention", [](const Args& a) {
    return std::vector<Value>{Value(
        addFileExtention(arg_required(a, 0, "addFileExtention").str(), arg_required(a, 1, "addFileExtention").str()))};
  });
  c.add("saveParameters", [](const Args& a) {
    const bool ok = saveParameters(arg_required(a, 0, "saveParameters").str(), st().parameters, st().sigGenSettings);
    return std::vector<Value>{Value(ok ? 1.0 : 0.0)};
  });
  c.add("saveWaveform", [this](const Args& a) {
    special_save(arg_required(a, 0, "saveWaveform").str());
    return std::vector<Value>{};
  });
  c.add("checkWaveformReady", [this](const Args& a) {
    return std::vector<Value>{Value(checkWaveformReady(arg_required(a, 0, "checkWaveformReady").str()) ? 1.0 : 0.0)};
  });
  c.add("loadConfig", [](const Args&) {
    std::optional<Configuration> cfg = loadConfig();
    return std::vector<Value>{cfg ? to_value(*cfg) : Value()};
  });
}

std::vector<Value> Frame::command(const std::string& name, const Args& args) {
  return commands_.run("rfCommonUI", name, args);
}

void Frame::add_menu() {
  main_.set_menu(KV_AddMenu(st().appInfo.Platform));
  std::vector<const MenuItem*> todo;
  for (const MenuItem& m : main_.menu()) todo.push_back(&m);
  while (!todo.empty()) {
    const MenuItem* m = todo.back();
    todo.pop_back();
    for (const MenuItem& sub : m->items) todo.push_back(&sub);
    if (m->has_command) {
      const std::string name = m->tag + "_Callback";
      main_.on(m->tag, [this, name] { commands_.run("rfCommonUI", name, {}); });
    }
  }
}

void Frame::InitializeFigure() {
  State& s = st();
  if (std::optional<Configuration> cfg = loadConfig()) s.configuration = *cfg;
  if (std::optional<SdrConnection> sdr = load_sdr_connection()) app_.sdr() = *sdr;
  main_.set_tooltip("pbCalculate", "Calculates the waveform based\non current settings.");
  main_.set_tooltip("pbDownload", "Downloads the current waveform and\nsettings to the KOR/MAV.");
  main_.set_tooltip("pbRefresh", "Downloads just the current settings\nto the KOR/MAV.");
  main_.set_tooltip("txtNumberOfSamples", "The number of samples generated\nby the current settings.");
  main_.set_tooltip("txtEvent1", "Description of the signal available on\nthe Event 1 Connector of the rear panel.");
  main_.set_tooltip("txtEvent2", "Description of the signal available on\nthe Event 2 Connector of the rear panel.");
  if (s.appInfo.Platform == "c") {
    main_.set_tooltip("txtNumberOfSamples",
                      "The number of samples generated \nby the current settings.\n(The signal generator can hold up "
                      "to 8, 32 or 64 M samples.)");
    const std::string& t = s.configuration.BBGtype;
    const int checked = t == "MEM-A" ? 0 : t == "MEM-B" ? 1 : 2;
    for (int k = 0; k < 3; ++k)
      if (main_.find_menu(kMemoryOptionTags[k])) main_.set_menu_checked(kMemoryOptionTags[k], k == checked);
  } else {
    main_.set_tooltip("txtNumberOfSamples",
                      "The number of samples generated \nby the current settings.\n(An KOR can hold up to 1 M "
                      "samples.)");
  }
}

void Frame::redrawAppTitle() {
  const State& s = st();
  std::string title = std::string(kCaption) + s.appInfo.Name;
  if (!s.configuration.LastParameterFilename.empty()) title += " : " + s.configuration.LastParameterFilename;
  main_.set_name(title);
}

bool Frame::executeCalculation() {
  Application::Busy busy(app_);
  return app_.calculate(true);
}

bool Frame::checkWaveformReady(const std::string& action) {
  State& s = st();
  const std::string act = lower(action);
  if (s.appInfo.LastCalcTimeStamp.empty()) {
    const std::string go = "Calculate & " + action;
    const std::string answer = reporter().ask(
        "Waveform Not Calculated",
        "The waveform has not yet been calculated. Do you wish to calculate\nthe waveform and then " + act + " ?",
        {go, "Cancel"}, go);
    // Any answer but Cancel (closing the box too) calculates; the action
    // goes ahead only on a waveform that was calculated to the end.
    return answer != "Cancel" && executeCalculation();
  }
  const bool same = s.appInfo.LastCaluclatedParameterSet &&
                    CompareStruct(to_value(s.parameters), to_value(*s.appInfo.LastCaluclatedParameterSet));
  if (same) return true;
  const std::string recalc = "Recalc & " + action;
  const std::string answer =
      reporter().ask("Waveform Not Recalculated",
                     "Settings have changed since last calculating the waveform.\n" + action +
                         " will use the last calculated waveform.\nDo you wish to " + act + " anyway ?",
                     {"Yes", recalc, "Cancel"}, recalc);
  // Only Cancel stops: Yes and closing the box (the empty answer) act on
  // the last calculated waveform, as the question says.
  if (answer == "Cancel") return false;
  if (answer == recalc) return executeCalculation();
  return true;
}

void Frame::download() {
  if (!checkWaveformReady("Download")) return;
  Application::Busy busy(app_);
  if (app_.sdr().selected) {
    const SdrConnection sdr = app_.sdr();
    app_.run_work([sdr] {
      try {
        reporter().show({MessageKind::Info, "Download", play_on_sdr(sdr), true});
      } catch (const std::exception& e) {
        reporter().show({MessageKind::Error, "Download", e.what(), true});
      }
    });
    return;
  }
  app_.run_work([] { DownloadSequence(); });
}

void Frame::refresh() {
  {
    Application::Busy busy(app_);
    app_.run_work([] { RefreshSettings(); });
  }
  app_.siggen().redrawSigGenSettings();
}

void Frame::file_new() {
  State& s = st();
  s.configuration.LastParameterFilename.clear();
  InitializeParameters();
  InitializeSigGenSettings();
  main_.redraw();
}

void Frame::file_open() {
  const std::optional<std::string> name =
      app_.choose_open("Open Parameter File", "*" + st().appInfo.ParameterFileExtension);
  if (!name) return;
  if (!LoadParameters(*name)) return;
  st().configuration.LastParameterFilename = *name;
  redrawAppTitle();
}

void Frame::file_save() {
  const std::string name = st().configuration.LastParameterFilename;
  if (name.empty()) {
    file_save_as();
    return;
  }
  saveParameters(name, st().parameters, st().sigGenSettings);
}

void Frame::file_save_as() {
  const std::string ext = st().appInfo.ParameterFileExtension;
  const std::optional<std::string> chosen = app_.choose_save("Save Parameter File", "*" + ext);
  if (!chosen) return;
  const std::string name = addFileExtention(*chosen, ext);
  if (!saveParameters(name, st().parameters, st().sigGenSettings)) return;
  st().configuration.LastParameterFilename = name;
  redrawAppTitle();
}

void Frame::export_data() {
  std::string name;
  for (;;) {
    const std::optional<std::string> chosen = app_.choose_save("Export Data", "*.wfm");
    if (!chosen) return;
    name = addFileExtention(*chosen, ".wfm");
    if (!std::filesystem::exists(name)) break;
    if (reporter().ask("Select File to Write", name + " already exists.\nDo you want to replace it?", {"Yes", "No"},
                       "No") == "Yes")
      break;
  }
  if (!checkWaveformReady("Export")) return;
  Application::Busy busy(app_);
  std::string written;
  app_.run_work([&] { written = ExportDataCommand(name); });
  if (written.empty())
    reporter().show({MessageKind::Warning, "Export Data",
                     "The waveform export file is written only for the signal generator\nwith a baseband memory "
                     "option (platform \"c\"); nothing was written.",
                     true});
}

void Frame::plot(const std::string& operation, const Args& extra) {
  if (!checkWaveformReady("Plot")) return;
  State& s = st();
  const std::string title = s.appInfo.Name + " (" + Clock2str(clock_row()) + ")";
  const double rate =
      s.sigGenSettings.SamplingRate.value_or((s.parameters.format == 1 ? 20e6 : 11e6) * s.parameters.OverSampling);
  // Placed over the main window (parent 0); the displays show the samples
  // at the resolution of the instrument's converter. A long waveform takes
  // seconds to quantise and transform, so the work runs where the host
  // runs long work (the desktop: off the window's thread, the window live).
  Application::Busy busy(app_);
  std::vector<Value> handle;
  app_.run_work([&] {
    const size_t n = s.waveform.size();
    RVec re, im;
    ApplyDacRes(s.waveform, 14, re, im);
    Args args = {Value(0.0), Value::complex(n ? 1 : 0, n, std::move(re), std::move(im)), Value(rate), Value(title)};
    args.insert(args.end(), extra.begin(), extra.end());
    handle = Registry::instance().call(operation, args, 1);
  });
  s.appInfo.ClientWindows.push_back(handle.at(0));
}

void Frame::analyze_capture() {
  const std::optional<std::string> path =
      app_.choose_open("Analyze Capture", "*.mat *.sigmf-meta *.sigmf-data *.wfm *.bin *.dat *.raw");
  if (!path) return;
  AnalysisWindow& w = app_.analysis();
  verify::FileViews views;
  std::string why;
  {
    Application::Busy busy(app_);
    app_.run_work([&] {
      try {
        views = AnalysisWindow::check_file(*path, w.sample_rate());
      } catch (const verify::MissingSampleRate& e) {
        why = std::string(e.what()) +
              ": enter it under Sample Rate in the Analyze Capture window and open the file again";
      } catch (const std::exception& e) {
        why = e.what();
      }
    });
  }
  if (!why.empty()) {
    w.show_failure(*path, why);
    w.set_visible(true);
    reporter().show({MessageKind::Error, "Analyze Capture", why});
    return;
  }
  w.show_file(*path, std::move(views));
}

void Frame::sig_gen_io(bool spectrum_analyzer) {
  State& s = st();
  IoDialog& d = app_.io();
  if (spectrum_analyzer) d.set_name(IoDialog::kSpecAnName);
  d.set_sdr(app_.sdr());
  d.open(spectrum_analyzer ? s.configurationSA : s.configuration, s.appInfo.Platform,
         [this, spectrum_analyzer, &d](const std::string& answer, const Configuration& c) {
           State& s2 = state();
           if (answer == "OK") (spectrum_analyzer ? s2.configurationSA : s2.configuration) = c;
           if (answer == "OK" && !spectrum_analyzer) app_.sdr() = d.sdr();
           d.set_name(IoDialog::kSigGenName);
         });
}

void Frame::impairments_setup() {
  const Parameters& p = st().parameters;
  const double rate = (p.format == 1 ? 20e6 : 11e6) * p.OverSampling;
  app_.impairments().open(st().impairments, rate, [this](const std::string& answer, const Impairments& m) {
    State& s = state();
    if (answer != "OK" || CompareStruct(to_value(m), to_value(s.impairments))) return;
    s.impairments = m;
    // The impairments are not part of the parameter set the stale-waveform
    // guard compares: a waveform calculated before this change is stale.
    s.appInfo.LastCaluclatedParameterSet.reset();
    main_.redrawImpairmentsStatus();
  });
}

void Frame::memory_option(int item) {
  State& s = st();
  const Memory& m = kMemories[item];
  if (m.capacity > 0 && s.parameters.ProjectedLength > m.capacity) {
    const std::string type = m.type;
    const std::string answer = reporter().ask(
        "Waveform too large",
        "The waveform based on the current settings \nis too large to for Option " + type + ". Changing to\nOption " +
            type + " will reset all settings to the defaults.\nDo you wish to change anyway ?",
        {"Yes", "Cancel"}, "Cancel");
    // Only Yes resets the settings: closing the box keeps them.
    if (answer != "Yes") return;
    InitializeParameters();
    main_.redraw();
  }
  s.configuration.BBGtype = m.type;
  for (int k = 0; k < 3; ++k)
    if (main_.find_menu(kMemoryOptionTags[k])) main_.set_menu_checked(kMemoryOptionTags[k], k == item);
}

void Frame::save_wave() {
  if (!checkWaveformReady("Save")) return;
  const std::optional<std::string> name = app_.choose_save("Save Wave", "*.txt");
  if (!name) return;
  Application::Busy busy(app_);
  app_.run_work([&] { SaveWaveCommand(*name); });
}

void Frame::special_save(const std::string& filename) {
  const std::string answer = reporter().ask("Special Save", "Select file format.", {"ASCII", "Brisca", "MAT"}, "MAT");
  SpecialSave(filename, answer.empty() ? "Cancel" : answer);
}

// The installed documentation folder, else beside the library (the build
// folder); the first place is named when neither holds the guide.
std::string Frame::user_guide_path() {
  const std::vector<std::string> places = document_candidates("user-guide.md");
  for (const std::string& p : places)
    if (std::filesystem::exists(p)) return p;
  return places.front();
}

void Frame::help() {
  const std::string path = user_guide_path();
  DocumentOpener* opener = app_.host().opener.get();
  DesktopOpener desktop;
  if (!opener) opener = &desktop;
  if (std::filesystem::exists(path) && opener->open(path)) return;
  reporter().show({MessageKind::Error, "Open browser failed",
                   "Unable to automatically open your browser.\n\nYou can view the help file by manually opening\n\"" +
                       path + "\"\nin the browser of your choice.",
                   true});
}

}  // namespace tarvio::ui
