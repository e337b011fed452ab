// tarvio-cli ping: asks the instrument on the connection to identify itself
// and prints the verdict.
#include <cstdio>
#include <stdexcept>

#include "hosts/cli/cli_command.h"
#include "instrument/connection_overrides.h"
#include "instrument/hw_commands.h"
#include "records/state.h"

namespace tarvio::cli {

namespace {

const char* kUsage =
    "usage: tarvio-cli ping [--address HOST[:PORT] | --serial DEVICE] [--type TCPIP|RS232|GPIB] [--timeout S]\n"
    "\n"
    "Asks the signal generator to identify itself and prints the verdict. The connection is\n"
    "the default record (GPIB, primary address 19) changed by the options:\n"
    "  --address HOST[:PORT]  LAN (SCPI over a raw socket, port 5025 unless given)\n"
    "  --serial DEVICE        RS-232 on this serial device (9600 baud, Xon/Xoff)\n"
    "  --type TYPE            connection kind when neither of the above says it\n"
    "  --timeout S            seconds to wait for the instrument (default 10)\n"
    "Exit code 0 when the instrument answered, 1 otherwise.\n";

int run_ping(const std::vector<std::string>& argv) {
  std::vector<std::string> args = argv;
  ConnectionOverrides o;
  try {
    o = take_connection_options(args);
    if (!args.empty()) throw std::invalid_argument("unexpected argument '" + args[0] + "'");
    apply_connection_overrides(o, state().configuration, transport_options());
  } catch (const std::invalid_argument& e) {
    throw UsageError(e.what());
  }
  HwResult r = VerifyComm(state().configuration);
  std::printf("%s\n", r.response.c_str());
  return r.status == 0 ? kExitOk : kExitFailure;
}

}  // namespace

TARVIO_CLI_COMMAND({"ping", "ask the signal generator to identify itself", kUsage, &run_ping});

}  // namespace tarvio::cli
