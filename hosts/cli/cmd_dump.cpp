// tarvio-cli dump: prints or saves the program-wide variables as they are
// after start-up (the default records).
#include <cstdio>
#include <string>
#include <vector>

#include "hosts/cli/cli_args.h"
#include "hosts/cli/cli_command.h"
#include "hosts/cli/cli_reporter.h"
#include "records/record_value.h"
#include "records/state.h"
#include "runtime/matfile.h"

namespace tarvio::cli {
namespace {

const char* const kNames[] = {"parameters", "SigGenSettings", "configuration", "configurationSA",
                              "appInfo",    "waveform",       "markers",       "MAChdr"};

Value variable(const std::string& name) {
  State& s = state();
  if (name == "parameters") return to_value(s.parameters);
  if (name == "SigGenSettings") return to_value(s.sigGenSettings);
  if (name == "configuration") return to_value(s.configuration);
  if (name == "configurationSA") return to_value(s.configurationSA);
  if (name == "appInfo") return to_value(s.appInfo);
  if (name == "waveform") return s.waveform.empty() ? Value() : Value::complex_row(s.waveform);
  if (name == "markers") return Value::markers(s.markers);
  if (name == "MAChdr") return to_value(s.MAChdr);
  std::string known;
  for (const char* n : kNames) known += std::string(known.empty() ? "" : ", ") + n;
  throw UsageError("no program-wide variable '" + name + "'; known: " + known);
}

int run_dump(const std::vector<std::string>& args) {
  ParsedArgs pa = parse_args(args, {"--out"});
  if (pa.positional.empty()) throw UsageError("name at least one variable");
  MatVars vars;
  for (const auto& name : pa.positional) vars.emplace_back(name, variable(name));
  if (pa.has("--out")) {
    mat_write(pa.get("--out"), vars);
    report_written(pa.get("--out"));
    return kExitOk;
  }
  for (const auto& [name, v] : vars) std::fputs(to_display(v, name).c_str(), stdout);
  return kExitOk;
}

}  // namespace

TARVIO_CLI_COMMAND({"dump", "print or save the program-wide variables",
                    "usage: tarvio-cli dump VAR ... [--out FILE.mat]\n"
                    "\n"
                    "Prints the program-wide variables VAR after start-up, or saves them in\n"
                    "FILE.mat under their names (MAT 5 format). VAR is one of parameters,\n"
                    "SigGenSettings, configuration, configurationSA, appInfo, waveform, markers,\n"
                    "MAChdr.\n",
                    &run_dump});

}  // namespace tarvio::cli
