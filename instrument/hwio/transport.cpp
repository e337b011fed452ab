// The transport factory: picks the connection kind from the record's type,
// and for LAN the protocol from the address form (VXI-11 or raw socket).
#include "instrument/hwio/transport.h"

#include "instrument/hwio/vxi11_address.h"
#include "instrument/hwio/vxi11_transport.h"

namespace tarvio::hwio_module {

std::unique_ptr<Transport> open_transport(const ConnectionConfig& config) {
  if (config.type == "TCPIP") {
    LanAddress a = parse_lan_address(config.address);
    if (a.vxi11) return open_vxi11(config, a);
    if (a.socket_address == config.address) return open_tcp(config);
    ConnectionConfig socket = config;  // a VISA SOCKET resource
    socket.address = a.socket_address;
    return open_tcp(socket);
  }
  if (config.type == "RS232") return open_serial(config);
  if (config.type == "GPIB") return open_gpib(config);
  throw TransportError("unknown connection type '" + config.type + "' (allowed: GPIB, RS232, TCPIP)");
}

}  // namespace tarvio::hwio_module
