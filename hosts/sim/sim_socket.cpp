// Process and socket helpers of the simulated instrument.
#include "hosts/sim/sim_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tarvio::sim {

void die(const std::string& what) {
  std::fprintf(stderr, "tarvio-sim: %s\n", what.c_str());
  std::exit(2);
}

int listen_on(int port) {
  int ls = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (ls < 0) die(std::string("socket: ") + std::strerror(errno));
  int one = 1;
  ::setsockopt(ls, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  if (::bind(ls, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) die(std::string("bind: ") + std::strerror(errno));
  if (::listen(ls, 16) != 0) die(std::string("listen: ") + std::strerror(errno));
  return ls;
}

int bound_port(int fd) {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  return ntohs(a.sin_port);
}

}  // namespace tarvio::sim
