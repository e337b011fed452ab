// Small process and socket helpers of the simulated instrument: ending with
// a message, and listening on a loopback port.
#pragma once

#include <string>

namespace tarvio::sim {

// Prints "tarvio-sim: <what>" on standard error and exits with status 2.
[[noreturn]] void die(const std::string& what);
// A listening TCP socket on 127.0.0.1:port (0 picks a free port); dies on
// failure.
int listen_on(int port);
// The local port a socket is bound to.
int bound_port(int fd);

}  // namespace tarvio::sim
