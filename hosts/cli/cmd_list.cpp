// tarvio-cli list: prints the registered operations with their declared
// numbers of inputs and outputs and their help lines.
#include <cstdio>
#include <string>
#include <vector>

#include "hosts/cli/cli_args.h"
#include "hosts/cli/cli_command.h"
#include "runtime/registry.h"

namespace tarvio::cli {
namespace {

int run_list(const std::vector<std::string>& args) {
  ParsedArgs pa = parse_args(args, {});
  const Registry& reg = Registry::instance();
  for (const std::string& name : reg.names()) {
    // With a pattern, only names containing one of the given texts.
    bool shown = pa.positional.empty();
    for (const auto& pat : pa.positional) shown = shown || name.find(pat) != std::string::npos;
    if (!shown) continue;
    const OpInfo* op = reg.find(name);
    std::printf("%-28s %2d in %2d out  %s\n", name.c_str(), op->max_in, op->max_out, op->help.c_str());
  }
  return kExitOk;
}

}  // namespace

TARVIO_CLI_COMMAND({"list", "list the registered operations",
                    "usage: tarvio-cli list [TEXT ...]\n"
                    "\n"
                    "Prints every registered operation (or those whose name contains one of the\n"
                    "TEXTs) with its declared numbers of inputs and outputs and its help line.\n",
                    &run_list});

}  // namespace tarvio::cli
