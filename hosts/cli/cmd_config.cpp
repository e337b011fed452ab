// tarvio-cli config: shows the connection settings that download, refresh
// and ping use (rfIOConfig.mat in the working folder, else the defaults),
// changes fields by name and stores them in that file.
#include <cstdio>
#include <string>
#include <vector>

#include "control/parameter_files.h"
#include "hosts/cli/cli_args.h"
#include "hosts/cli/cli_command.h"
#include "hosts/cli/cli_reporter.h"
#include "hosts/cli/connection_settings.h"
#include "records/field_catalog.h"
#include "records/field_path.h"
#include "records/state.h"
#include "runtime/value.h"

namespace tarvio::cli {

namespace {

const char* kUsage =
    "usage: tarvio-cli config [--set FIELD=VALUE ...] [--save]\n"
    "\n"
    "Shows the connection settings that tarvio-cli download, refresh and ping start from:\n"
    "rfIOConfig.mat in the working folder when it exists (as the window reads it at start),\n"
    "else the defaults; their command-line options change them for one run.\n"
    "  --set FIELD=VALUE  a field of the record by dotted name, checked against its values:\n"
    "                     type=TCPIP, TCPIP.address=192.0.2.10, GPIB.primary=7,\n"
    "                     RS232.baudrate=115200, RS232.handshake=RTS/CTS, BBGtype=MEM-B\n"
    "  --save             store the settings in rfIOConfig.mat in the working folder\n"
    "tarvio-cli fields configuration lists the fields and their values.\n";

// One line per field: dotted name, value and meaning.
void print_record(const Configuration& c) {
  for (const FieldEntry& e : field_catalog(c)) {
    if (e.is_record) continue;
    std::string v = e.value.is_text() ? "\"" + e.value.str() + "\"" : to_display(e.value, "");
    while (!v.empty() && (v.back() == '\n' || v.back() == ' ')) v.pop_back();
    if (v.rfind(" = ", 0) == 0) v = v.substr(3);
    std::printf("  %-22s %-14s %s\n", e.path.c_str(), v.c_str(), e.info.meaning);
  }
}

int run_config(const std::vector<std::string>& args) {
  std::vector<std::string> sets;
  bool save = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--save") {
      save = true;
    } else if (a == "--set") {
      if (i + 1 >= args.size()) throw UsageError("--set needs FIELD=VALUE");
      sets.push_back(args[++i]);
    } else if (a.rfind("--set=", 0) == 0) {
      sets.push_back(a.substr(6));
    } else {
      throw UsageError("unexpected argument '" + a + "'");
    }
  }
  bool from_file = false;
  Configuration c = stored_connection(&from_file);
  for (const std::string& text : sets) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0) throw UsageError("--set needs FIELD=VALUE, got '" + text + "'");
    const std::string path = text.substr(0, eq);
    try {
      set_field(c, path, parse_value(text.substr(eq + 1)), "configuration");
      check_field(c, path, "configuration");
    } catch (const FieldError& e) {
      throw UsageError("--set " + text + ": " + e.what());
    }
  }
  std::printf("%s\n", from_file ? "rfIOConfig.mat in the working folder:"
                                : "no rfIOConfig.mat in the working folder; the defaults:");
  print_record(c);
  if (save) {
    SaveConfig(c);
    report_written(kIoConfigFile);
  }
  return kExitOk;
}

}  // namespace

TARVIO_CLI_COMMAND({"config", "show and store the instrument connection settings (rfIOConfig.mat)", kUsage,
                    &run_config});

}  // namespace tarvio::cli
