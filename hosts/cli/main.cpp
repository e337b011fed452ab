// tarvio-cli: runs Tarvio from the command line. Builds the default records,
// then dispatches to the subcommand named by the first argument.
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "control/initialize.h"
#include "hosts/cli/cli_command.h"
#include "runtime/report.h"

namespace {

using tarvio::cli::all_commands;
using tarvio::cli::CliCommand;

void print_command_list(FILE* out) {
  std::fprintf(out,
               "usage: tarvio-cli COMMAND [ARG ...]\n"
               "       tarvio-cli COMMAND --help\n\n"
               "Commands:\n");
  for (const CliCommand* c : all_commands()) std::fprintf(out, "  %-10s %s\n", c->name.c_str(), c->summary.c_str());
}

bool wants_help(const std::vector<std::string>& args) {
  for (const auto& a : args) {
    if (a == "--") return false;
    if (a == "--help" || a == "-h") return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tarvio::cli;
  tarvio::set_reporter(std::make_shared<tarvio::StderrReporter>());
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    print_command_list(stderr);
    return kExitUsage;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    if (args[0] == "help" && args.size() > 1) {
      if (const CliCommand* c = find_command(args[1])) {
        std::fputs(c->usage.c_str(), stdout);
        return kExitOk;
      }
      std::fprintf(stderr, "tarvio-cli: unknown command '%s'\n", args[1].c_str());
      return kExitUsage;
    }
    print_command_list(stdout);
    return kExitOk;
  }
  const CliCommand* cmd = find_command(args[0]);
  if (!cmd) {
    std::fprintf(stderr, "tarvio-cli: unknown command '%s' (tarvio-cli --help lists the commands)\n", args[0].c_str());
    return kExitUsage;
  }
  std::vector<std::string> rest(args.begin() + 1, args.end());
  if (wants_help(rest)) {
    std::fputs(cmd->usage.c_str(), stdout);
    return kExitOk;
  }
  try {
    tarvio::InitializeAll();
    return cmd->run(rest);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "tarvio-cli %s: %s\n(tarvio-cli %s --help shows the usage)\n", cmd->name.c_str(), e.what(),
                 cmd->name.c_str());
    return kExitUsage;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tarvio-cli %s: error: %s\n", cmd->name.c_str(), e.what());
    return kExitFailure;
  }
}
