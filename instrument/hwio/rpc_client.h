// An ONC RPC client channel over one TCP connection: connects with a
// time-out, sends each call as one record and waits for its reply with
// poll up to a deadline, so no call can hang. Replies are reassembled from
// their fragments up to a size limit and checked (xid, accepted, success)
// before their results are handed out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "instrument/hwio/fd_io.h"

namespace tarvio::hwio_module {

class RpcChannel {
 public:
  // Connects to host:port within timeout_s (by `deadline` when given);
  // throws TransportError naming `where` and `what` (e.g. "the portmapper")
  // when it cannot.
  RpcChannel(const std::string& host, int port, double timeout_s, std::string where, const std::string& what,
             const Deadline* deadline = nullptr);
  ~RpcChannel();
  RpcChannel(const RpcChannel&) = delete;
  RpcChannel& operator=(const RpcChannel&) = delete;

  // Calls prog/vers/proc with the encoded arguments and returns the reply
  // message; results_at is set to the offset of the results in it. Waits at
  // most wait_s for the whole reply; a reply longer than max_reply bytes is
  // refused. Throws TransportError: "<where>: no answer within <wait_s> s",
  // "<where>: the instrument closed the connection", or "<where>: <name>
  // failed: <why the reply is unusable>".
  std::vector<uint8_t> call(uint32_t prog, uint32_t vers, uint32_t proc, const std::vector<uint8_t>& args,
                            const char* name, double wait_s, size_t max_reply, size_t& results_at);

  // False when the server closed the connection or sent something unasked
  // (checked without waiting before a kept channel is used again).
  bool usable() const;

 private:
  int fd_ = -1;
  std::string where_;
  double timeout_s_;
  uint32_t xid_;
};

}  // namespace tarvio::hwio_module
