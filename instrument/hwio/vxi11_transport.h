// The VXI-11 LAN connection (the LXI instrument protocol): the instrument's
// portmapper names the port of its core channel, a link to the device is
// created there, and SCPI text and blocks travel through device_write and
// device_read calls.
#pragma once

#include <memory>

#include "instrument/hwio/transport.h"
#include "instrument/hwio/vxi11_address.h"

namespace tarvio::hwio_module {

// Opens (or takes the kept) link to address.device on address.host. Throws
// TransportError with the reason when no link can be made.
std::unique_ptr<Transport> open_vxi11(const ConnectionConfig& config, const LanAddress& address);

}  // namespace tarvio::hwio_module
