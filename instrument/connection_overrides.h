// Connection settings given by a host on top of the stored connection
// record (a command line's --address, --serial, --gpib, --type, --baud,
// --handshake, --timeout), and the size and time a waveform transfer takes
// on a connection.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "instrument/hw_commands.h"
#include "records/records.h"

namespace tarvio {

struct ConnectionOverrides {
  std::string
      address;         // LAN address ("host[:port]", "vxi11://...", VISA "TCPIP::..."): type TCPIP unless type is given
  std::string serial;  // serial device path: type RS232 unless type is given
  std::string type;    // "TCPIP", "RS232" or "GPIB", any case
  std::optional<double> timeout_s;
  std::string gpib;       // "BOARD:ADDRESS" or "ADDRESS" (board 0): type GPIB unless type is given
  std::string baud;       // RS232.baudrate
  std::string handshake;  // "none", "xon" or "rts" (or the record's own "None", "Xon/Xoff", "RTS/CTS")
};

// Takes the connection options out of a host's argument list: --address
// HOST[:PORT], --serial DEVICE, --gpib BOARD:ADDRESS, --type TYPE, --baud N,
// --handshake none|xon|rts, --timeout SECONDS (each as "--opt VALUE" or
// "--opt=VALUE"); the other arguments stay in order.
// Throws std::invalid_argument for an option without its value.
ConnectionOverrides take_connection_options(std::vector<std::string>& args);

// Applies the overrides; throws std::invalid_argument for more than one of
// an address, a serial device and a GPIB address, an unknown type, a GPIB
// board or address out of range, a baud rate or handshake the serial port
// does not offer, or a time-out that is not a positive number.
void apply_connection_overrides(const ConnectionOverrides& o, Configuration& config, TransportOptions& transport);

// Bytes a transfer of n samples sends: 4 per sample (16-bit I and Q) plus
// 1 marker byte per sample when there are markers.
double transfer_bytes(double samples, bool markers);

// Rough transfer time in seconds on the connection: LAN at 10 MB/s, GPIB at
// 1 MB/s; RS-232 as the download's own question estimates it (36 bits per
// sample at the baud rate, rs232_transfer_minutes), so that both agree.
double estimated_transfer_seconds(const Configuration& config, double samples, bool markers);

// The record's handshake text for a command line's none, xon or rts (or the
// record's own texts, any case); empty when it is none of them.
std::string handshake_text(const std::string& option);

}  // namespace tarvio
