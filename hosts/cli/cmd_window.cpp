// tarvio-cli window: the scripted door to the application model. It starts
// the window model (without splash screen and display), applies a parameter
// file and field settings, runs the user's actions in order, prints the
// messages and questions as they come and the named controls at the end,
// and can dump the records.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "control/parameter_files.h"
#include "hosts/cli/calc_options.h"
#include "hosts/cli/cli_command.h"
#include "records/record_value.h"
#include "records/state.h"
#include "runtime/matfile.h"
#include "runtime/report.h"
#include "ui/application.h"
#include "ui/dialog.h"
#include "ui/main_window.h"

namespace tarvio::cli {

namespace {

// Keys in the order the usage text gives them.
using json = nlohmann::ordered_json;

const char* kUsage =
    "usage: tarvio-cli window [PARAMFILE] [--rate R] [--set FIELD=VALUE ...] [--sig FIELD=VALUE ...]\n"
    "                         [ACTION ...] [--print TAG ...] [--dump FILE.mat]\n"
    "\n"
    "Drives the main window and its dialogs without a display: the window starts on the\n"
    "defaults (or PARAMFILE, with the --rate, --set and --sig changes of tarvio-cli calc), then\n"
    "the actions run in the order given.\n"
    "  --platform TEXT     the instrument generation the window is set up for (appInfo.Platform,\n"
    "                      \"c\" by default: the one with the baseband memory options)\n"
    "\n"
    "Actions:\n"
    "  --enter TAG=TEXT    type TEXT into an edit field and run its callback\n"
    "  --choose TAG=N      choose entry N (1-based) of a list\n"
    "  --check TAG=0|1     set a check box or radio button\n"
    "  --click TAG         press a button (dialog buttons too)\n"
    "  --menu TAG          choose a menu item (e.g. menuFileSaveAs, menuConfigBBG1Opt1)\n"
    "  --answer TEXT       the button for the next question ('' closes the box; a text that is\n"
    "                      not one of its buttons is refused)\n"
    "  --file PATH         the file name for the next file chooser (none: it is cancelled)\n"
    "  --close WINDOW      a dialog's window close control\n"
    "A dialog's controls are WINDOW.TAG (e.g. figMACconfig.txtAddress1); while a dialog is open,\n"
    "a plain TAG names a control of that dialog.\n"
    "\n"
    "Output: one JSON object per line on standard output: every message shown\n"
    "(kind, title, text) and question asked (title, text, buttons, default, answer) as it\n"
    "happens, then for each --print TAG the control (tag, kind, text, value, entries, enabled,\n"
    "visible, tooltip); a menu item prints with kind \"menu\" and its check mark as value, a\n"
    "window (WINDOW) with kind \"window\", its title as text, 1 as value while it is open, and\n"
    "the answer it was last closed with.\n"
    "  --dump FILE.mat     parameters, SigGenSettings, configuration and appInfo afterwards\n"
    "\n"
    "Exit status: 0 done, 1 an action could not be done or showed an error box (the reason on\n"
    "standard error; the actions after it do not run), 2 wrong command line.\n";

void print_line(const json& j) {
  std::cout << j.dump() << "\n";
  std::cout.flush();
}

// Prints messages and questions as JSON lines; questions are answered from
// the --answer queue, else with their default button. Keeps the error boxes
// shown, which fail the action that showed them.
class JsonReporter : public Reporter {
 public:
  void show(const Message& m) override {
    print_line({{"kind", kind_word(m.kind)}, {"title", m.title}, {"text", m.text}});
    if (m.kind == MessageKind::Error) errors.push_back(m.title + ": " + m.text);
  }
  std::string ask(const std::string& title, const std::string& text, const std::vector<std::string>& buttons,
                  const std::string& def) override {
    std::string answer = def;
    if (!answers.empty()) {
      answer = answers.front();
      answers.pop_front();
    }
    print_line({{"title", title}, {"text", text}, {"buttons", buttons}, {"default", def}, {"answer", answer}});
    return answer;
  }
  std::deque<std::string> answers;
  std::vector<std::string> errors;
};

class QueuedChooser : public ui::FileChooser {
 public:
  std::optional<std::string> open_file(const std::string&, const std::string&) override { return next(); }
  std::optional<std::string> save_file(const std::string&, const std::string&) override { return next(); }
  std::deque<std::string> names;

 private:
  std::optional<std::string> next() {
    if (names.empty()) return std::nullopt;
    std::string n = names.front();
    names.pop_front();
    return n;
  }
};

struct Step {
  std::string option, value;
};

bool starts_with(const std::string& s, const std::string& p) { return s.rfind(p, 0) == 0; }

std::pair<std::string, std::string> split(const Step& st) {
  const size_t eq = st.value.find('=');
  if (eq == std::string::npos || eq == 0) throw UsageError(st.option + " needs TAG=VALUE, got '" + st.value + "'");
  return {st.value.substr(0, eq), st.value.substr(eq + 1)};
}

class Door {
 public:
  Door(ui::Application& app, JsonReporter& rep, QueuedChooser& files) : app_(app), rep_(rep), files_(files) {}

  // The open dialog, if any.
  ui::Dialog* open_dialog() {
    for (ui::Window* w : app_.windows())
      if (auto* d = dynamic_cast<ui::Dialog*>(w); d && d->is_open()) return d;
    return nullptr;
  }

  // WINDOW.TAG, or TAG of the open dialog, or of the main window.
  std::pair<ui::Window*, std::string> control(const std::string& name, bool dialog_first) {
    if (const size_t dot = name.find('.'); dot != std::string::npos) {
      ui::Window* w = app_.find_window(name.substr(0, dot));
      if (!w) throw std::invalid_argument("there is no window '" + name.substr(0, dot) + "'");
      return {w, name.substr(dot + 1)};
    }
    if (dialog_first)
      if (ui::Dialog* d = open_dialog()) return {d, name};
    return {&app_.main(), name};
  }

  void run(const Step& st) {
    if (st.option == "--answer") {
      rep_.answers.push_back(st.value);
    } else if (st.option == "--file") {
      files_.names.push_back(st.value);
    } else if (st.option == "--click") {
      auto [w, tag] = control(st.value, true);
      w->click(tag);
    } else if (st.option == "--menu") {
      app_.main().select_menu(st.value);
    } else if (st.option == "--close") {
      ui::Window* w = app_.find_window(st.value);
      if (!w) throw std::invalid_argument("there is no window '" + st.value + "'");
      w->request_close();
    } else {
      auto [name, value] = split(st);
      auto [w, tag] = control(name, true);
      if (st.option == "--enter") {
        w->enter(tag, value);
      } else if (st.option == "--choose") {
        char* end = nullptr;
        const long n = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0') throw UsageError("--choose " + st.value + ": N must be a whole number");
        w->choose(tag, static_cast<int>(n));
      } else {  // --check
        if (value != "0" && value != "1") throw UsageError("--check " + st.value + ": the value must be 0 or 1");
        w->check(tag, value == "1" ? 1 : 0);
      }
    }
  }

  json describe(const std::string& name) {
    if (ui::Window* win = app_.find_window(name)) {
      auto* d = dynamic_cast<ui::Dialog*>(win);
      json j = {{"tag", name},
                {"kind", "window"},
                {"text", win->name()},
                {"value", d && d->is_open() ? 1 : 0},
                {"entries", json::array()},
                {"enabled", true},
                {"visible", win->visible()},
                {"tooltip", ""}};
      if (d) j["answer"] = d->answer();
      return j;
    }
    auto [w, tag] = control(name, false);
    if (!w->has(tag)) {
      if (const ui::MenuItem* m = w->find_menu(tag))
        return {{"tag", name},
                {"kind", "menu"},
                {"text", m->label},
                {"value", m->checked ? 1 : 0},
                {"entries", json::array()},
                {"enabled", m->enabled},
                {"visible", m->visible},
                {"tooltip", ""}};
      throw std::invalid_argument("window " + w->tag() + " has no control or menu item " + tag);
    }
    const ui::ControlState& s = w->at(tag);
    // Whole numbers print as integers (list entries, switches).
    const json value = s.value == std::floor(s.value) && std::fabs(s.value) < 1e15
                           ? json(static_cast<long long>(s.value))
                           : json(s.value);
    return {{"tag", name},          {"kind", ui::kind_name(w->spec(tag).kind)},
            {"text", s.text},       {"value", value},
            {"entries", s.entries}, {"enabled", s.enabled},
            {"visible", s.visible}, {"tooltip", s.tooltip}};
  }

 private:
  ui::Application& app_;
  JsonReporter& rep_;
  QueuedChooser& files_;
};

void dump(const std::string& path) {
  const State& s = state();
  mat_write(path, {{"parameters", to_value(s.parameters)},
                   {"SigGenSettings", to_value(s.sigGenSettings)},
                   {"configuration", to_value(s.configuration)},
                   {"appInfo", to_value(s.appInfo)}});
}

int run_window(const std::vector<std::string>& args) {
  static const std::vector<std::string> kSetup = {"--rate", "--set", "--sig"};
  std::string platform;
  static const std::vector<std::string> kActions = {"--enter", "--choose", "--check", "--click",
                                                    "--menu",  "--answer", "--file",  "--close"};
  std::string paramFile, dumpFile;
  std::vector<Step> setup, actions;
  std::vector<std::string> prints;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!starts_with(a, "--")) {
      if (!paramFile.empty()) throw UsageError("only one parameter file can be given");
      paramFile = a;
      continue;
    }
    std::string name = a, value;
    if (const size_t eq = a.find('='); eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
    } else {
      if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
      value = args[++i];
    }
    auto in = [&](const std::vector<std::string>& set) { return std::find(set.begin(), set.end(), name) != set.end(); };
    if (in(kSetup))
      setup.push_back({name, value});
    else if (in(kActions))
      actions.push_back({name, value});
    else if (name == "--print")
      prints.push_back(value);
    else if (name == "--dump")
      dumpFile = value;
    else if (name == "--platform")
      platform = value;
    else
      throw UsageError("unknown option " + name);
  }

  auto rep = std::make_shared<JsonReporter>();
  auto files = std::make_shared<QueuedChooser>();
  ui::Host host;
  host.files = files;
  ui::Application app(host, rep);
  app.start_window();
  if (!platform.empty()) {
    // The menu bar and the frame's tool tips depend on the platform.
    state().appInfo.Platform = platform;
    app.initialize_figures();
    app.main().redraw();
  }
  PacketFileCleanup cleanup(state().parameters.multiFrame.tmpFileName);

  if (!paramFile.empty()) {
    if (!LoadParameters(paramFile)) return kExitFailure;
    state().configuration.LastParameterFilename = paramFile;
  }
  for (const Step& st : setup) {
    if (st.option == "--rate")
      select_rate(st.value);
    else if (st.option == "--set")
      set_parameter(st.value);
    else
      set_sig_gen(st.value);
  }
  if (!paramFile.empty() || !setup.empty()) app.main().redraw();
  if (!rep->errors.empty()) {
    std::fprintf(stderr, "tarvio-cli window: an error was shown while starting: %s\n", rep->errors.front().c_str());
    return kExitFailure;
  }

  Door door(app, *rep, *files);
  for (const Step& st : actions) {
    try {
      door.run(st);
    } catch (const UsageError&) {
      throw;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "tarvio-cli window: %s %s: %s\n", st.option.c_str(), st.value.c_str(), e.what());
      return kExitFailure;
    }
    if (!rep->errors.empty()) {
      std::fprintf(stderr, "tarvio-cli window: %s %s: an error was shown: %s\n", st.option.c_str(), st.value.c_str(),
                   rep->errors.front().c_str());
      return kExitFailure;
    }
  }
  for (const std::string& p : prints) {
    try {
      print_line(door.describe(p));
    } catch (const std::exception& e) {
      std::fprintf(stderr, "tarvio-cli window: --print %s: %s\n", p.c_str(), e.what());
      return kExitFailure;
    }
  }
  if (!dumpFile.empty()) dump(dumpFile);
  return kExitOk;
}

}  // namespace

TARVIO_CLI_COMMAND({"window", "drive the main window and its dialogs from the command line (no display needed)", kUsage,
                    &run_window});

}  // namespace tarvio::cli
