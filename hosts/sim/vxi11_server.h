// The simulated instrument's VXI-11 service: a portmapper on the chosen
// loopback port that answers GETPORT for the core channel, and the core
// channel on a second port (create_link, device_write, device_read,
// device_local, destroy_link) feeding the same SCPI handling as the raw
// socket. One core connection is served at a time, in arrival order.
#pragma once

#include <cstdint>

#include "hosts/sim/sim_instrument.h"

namespace tarvio::sim {

// Prints "PORT <portmapper port>" once both sockets listen, then serves
// until killed. max_recv_size is the link's maxRecvSize: device_write data
// longer than that is refused with a parameter error.
[[noreturn]] void serve_vxi11(const SimOptions& opt, int port, uint32_t max_recv_size);

}  // namespace tarvio::sim
