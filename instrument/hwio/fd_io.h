// Timed reads and writes on a non-blocking file descriptor (socket or serial
// port): poll for readiness with a time-out, loop over partial transfers,
// retry on EINTR.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tarvio::hwio_module {

// Writes all n bytes; throws TransportError when no byte could be written
// for timeout_s seconds, or on an error (what names `where`).
void fd_write_all(int fd, const uint8_t* p, size_t n, double timeout_s, const std::string& where);
// Reads 1..n bytes, waiting at most timeout_s; throws TransportError on
// time-out, end of stream ("closed the connection") or error.
size_t fd_read_some(int fd, uint8_t* p, size_t n, double timeout_s, const std::string& where);
// Waits until fd is writable (for a non-blocking connect); false on time-out.
bool fd_wait_writable(int fd, double timeout_s);
using Deadline = std::chrono::steady_clock::time_point;
// Now plus timeout_s seconds.
Deadline deadline_after(double timeout_s);

// Opens a non-blocking TCP connection (TCP_NODELAY) to host:port, trying
// each address the name resolves to in turn, all of them within timeout_s
// seconds (or by `deadline`, when given: the connections of one opening
// share it). Throws TransportError "<where>: cannot resolve ..." or
// "<where>: cannot connect[ to <what>] at port <port>: <reason>".
//
// When no address answered within the time-out, host:port counts as
// unreachable for as long again: connections to it asked for meanwhile
// (the further steps of a download, which sends its commands to the end
// even after a failure) fail at once with the same reason instead of
// waiting once more each.
int tcp_connect(const std::string& host, int port, double timeout_s, const std::string& where,
                const std::string& what = "", const Deadline* deadline = nullptr);

}  // namespace tarvio::hwio_module
