// The transport factory: picks the connection kind from the record's type.
#include "instrument/hwio/transport.h"

namespace tarvio::hwio_module {

std::unique_ptr<Transport> open_transport(const ConnectionConfig& config) {
  if (config.type == "TCPIP") return open_tcp(config);
  if (config.type == "RS232") return open_serial(config);
  if (config.type == "GPIB") return open_gpib(config);
  throw TransportError("unknown connection type '" + config.type + "' (allowed: GPIB, RS232, TCPIP)");
}

}  // namespace tarvio::hwio_module
