// Stored connection settings and the connection options.
#include "hosts/cli/connection_settings.h"

#include <filesystem>
#include <stdexcept>

#include "control/parameter_files.h"
#include "hosts/cli/cli_command.h"
#include "records/field_catalog.h"
#include "records/state.h"
#include "runtime/matfile.h"

namespace tarvio::cli {

const char* const kConnectionHelp =
    "Connection: rfIOConfig.mat in the working folder when it exists (tarvio-cli config shows and\n"
    "stores it), else GPIB board 0, primary address 19; changed by:\n"
    "  --address HOST[:PORT]  LAN: SCPI over a raw socket (port 5025 unless given), or VXI-11 as\n"
    "                         vxi11://HOST or TCPIP::HOST::INSTR\n"
    "  --serial DEVICE        RS-232 on this serial device (RS232 settings of the record)\n"
    "  --gpib BOARD:ADDRESS   GPIB board (0-15) and primary address (0-30); ADDRESS alone: board 0\n"
    "  --type TYPE            connection kind: TCPIP, RS232 or GPIB\n"
    "  --baud N               RS-232 baud rate (9600 by default); must agree with the instrument\n"
    "  --handshake H          RS-232 flow control: none, xon (Xon/Xoff, the default) or rts\n"
    "                         (RTS/CTS); binary waveform data needs rts or none\n"
    "  --timeout S            seconds to wait for the instrument at each step (default 10)\n";

Configuration stored_connection(bool* from_file) {
  if (from_file) *from_file = false;
  Configuration c = state().configuration;
  std::error_code ec;
  if (!std::filesystem::exists(kIoConfigFile, ec)) return c;
  try {
    c = record_from_value<Configuration>(mat_read_var(kIoConfigFile, "fileParameters"), "fileParameters");
    check_fields(c, "fileParameters");
  } catch (const std::exception& e) {
    throw std::runtime_error(std::string(kIoConfigFile) + " in the working folder cannot be used: " + e.what() +
                             " (tarvio-cli config --set ... --save rewrites it)");
  }
  c.LastParameterFilename.clear();
  if (from_file) *from_file = true;
  return c;
}

ConnectionOverrides take_connection_args(std::vector<std::string>& args) {
  try {
    return take_connection_options(args);
  } catch (const std::invalid_argument& e) {
    throw UsageError(e.what());
  }
}

void use_connection(const Configuration& base, const ConnectionOverrides& o) {
  State& s = state();
  s.configuration = base;
  try {
    apply_connection_overrides(o, s.configuration, transport_options());
  } catch (const std::invalid_argument& e) {
    throw UsageError(e.what());
  }
}

}  // namespace tarvio::cli
