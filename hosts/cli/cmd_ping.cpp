// tarvio-cli ping: asks the instrument on the connection to identify itself
// and prints the verdict.
#include <cstdio>
#include <stdexcept>
#include <string>

#include "hosts/cli/cli_command.h"
#include "hosts/cli/connection_settings.h"
#include "instrument/hw_commands.h"
#include "records/state.h"

namespace tarvio::cli {

namespace {

const std::string kUsage = std::string(
                               "usage: tarvio-cli ping [connection options]\n"
                               "\n"
                               "Asks the signal generator to identify itself and prints the verdict.\n") +
                           kConnectionHelp + "Exit code 0 when the instrument answered, 1 otherwise.\n";

int run_ping(const std::vector<std::string>& argv) {
  std::vector<std::string> args = argv;
  const ConnectionOverrides o = take_connection_args(args);
  if (!args.empty()) throw UsageError("unexpected argument '" + args[0] + "'");
  use_connection(stored_connection(), o);
  HwResult r = VerifyComm(state().configuration);
  std::printf("%s\n", r.response.c_str());
  return r.status == 0 ? kExitOk : kExitFailure;
}

}  // namespace

TARVIO_CLI_COMMAND({"ping", "ask the signal generator to identify itself", kUsage, &run_ping});

}  // namespace tarvio::cli
