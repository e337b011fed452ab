// tarvio-cli call: runs any registered operation by name with arguments
// written on the command line, and prints or saves its results.
#include <cstdio>
#include <string>
#include <vector>

#include "hosts/cli/cli_args.h"
#include "hosts/cli/cli_command.h"
#include "hosts/cli/cli_reporter.h"
#include "runtime/matfile.h"
#include "runtime/registry.h"

namespace tarvio::cli {
namespace {

int run_call(const std::vector<std::string>& args) {
  ParsedArgs pa = parse_args(args, {"--nout", "--out"});
  if (pa.positional.empty()) throw UsageError("name the operation to call");
  const std::string& name = pa.positional[0];
  const OpInfo* op = Registry::instance().find(name);
  if (!op) throw std::runtime_error("Undefined operation '" + name + "' (tarvio-cli list shows the operations).");
  Args in;
  for (size_t i = 1; i < pa.positional.size(); ++i) in.push_back(parse_value(pa.positional[i]));
  int nout = pa.has("--nout") ? parse_count(pa.get("--nout"), "--nout") : op->max_out;
  std::vector<Value> out = Registry::instance().call(name, in, nout);
  if (pa.has("--out")) {
    MatVars vars;
    for (size_t i = 0; i < out.size(); ++i) vars.emplace_back("out" + std::to_string(i + 1), out[i]);
    mat_write(pa.get("--out"), vars);
    report_written(pa.get("--out"));
    return kExitOk;
  }
  for (size_t i = 0; i < out.size(); ++i) std::fputs(to_display(out[i], "out" + std::to_string(i + 1)).c_str(), stdout);
  return kExitOk;
}

}  // namespace

TARVIO_CLI_COMMAND({"call", "run a registered operation by name",
                    "usage: tarvio-cli call NAME [ARG ...] [--nout K] [--out FILE.mat]\n"
                    "\n"
                    "Runs the operation NAME (tarvio-cli list shows them) with the arguments ARG,\n"
                    "after the default records have been built, and prints its results as\n"
                    "out1 ... outK, or saves them in FILE.mat as the variables out1 ... outK.\n"
                    "\n"
                    "An ARG is read as:\n"
                    "  a number        5, -2.5, 1e-3, 0x1F (hexadecimal), 2i, 1+2i, Inf, NaN\n"
                    "  a row or matrix [1 0 1 1], [1, 2+1i], [1 2; 3 4], [] (the empty matrix)\n"
                    "  a MAT variable  @FILE.mat:VAR, or @FILE.mat for a file of one variable\n"
                    "  a quoted text   'text' (for a text that would read as a number)\n"
                    "  a text          anything else, e.g. left-msb\n"
                    "\n"
                    "Options:\n"
                    "  --nout K        number of results wanted (default: all the operation declares)\n"
                    "  --out FILE.mat  save the results instead of printing them\n"
                    "\n"
                    "Exit status: 0 done, 1 the operation failed, 2 wrong command line.\n",
                    &run_call});

}  // namespace tarvio::cli
