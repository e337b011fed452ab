// ONC RPC version 2 messages (RFC 5531) over TCP: the call header with
// AUTH_NONE credentials, the checks a reply must pass before its results
// are read, and record marking (each record sent as fragments, each
// fragment headed by a 32-bit word whose top bit marks the last fragment
// and whose low 31 bits give its length).
// Header-only, shared by the VXI-11 client and the simulated instrument.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "instrument/hwio/xdr.h"

namespace tarvio::hwio_module {

// A reply that cannot be used: wrong call, denied, not accepted, malformed.
class RpcError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

namespace rpc {

inline constexpr uint32_t kVersion = 2;
inline constexpr uint32_t kCall = 0, kReply = 1;
inline constexpr uint32_t kMsgAccepted = 0, kMsgDenied = 1;
// accept_stat
inline constexpr uint32_t kSuccess = 0, kProgUnavail = 1, kProgMismatch = 2, kProcUnavail = 3, kGarbageArgs = 4,
                          kSystemErr = 5;
// reject_stat
inline constexpr uint32_t kRpcMismatch = 0, kAuthError = 1;
inline constexpr uint32_t kAuthNone = 0;
inline constexpr size_t kMaxAuthBody = 400;  // RFC 5531: opaque_auth body<400>
inline constexpr uint32_t kLastFragment = 0x80000000u;

// The call message: xid, CALL, RPC version 2, program, version, procedure,
// AUTH_NONE credentials and verifier, then the encoded arguments.
inline std::vector<uint8_t> call_message(uint32_t xid, uint32_t prog, uint32_t vers, uint32_t proc,
                                         const std::vector<uint8_t>& args) {
  XdrWriter w;
  for (uint32_t v : {xid, kCall, kVersion, prog, vers, proc, kAuthNone, 0u, kAuthNone, 0u}) w.u32(v);
  w.raw(args);
  return w.take();
}

// Checks a reply message for the call xid and returns the offset of its
// results. Throws RpcError saying why the reply cannot be used.
inline size_t check_reply(const std::vector<uint8_t>& msg, uint32_t xid) {
  try {
    XdrReader r(msg);
    uint32_t got = r.u32();
    if (r.u32() != kReply) throw RpcError("the answer is not an RPC reply");
    if (got != xid)
      throw RpcError("the reply belongs to another call (xid " + std::to_string(got) + ", expected " +
                     std::to_string(xid) + ")");
    uint32_t stat = r.u32();
    if (stat == kMsgDenied) {
      uint32_t why = r.u32();
      if (why == kRpcMismatch) {
        uint32_t lo = r.u32(), hi = r.u32();
        throw RpcError("the call was denied: RPC version mismatch (the server speaks versions " + std::to_string(lo) +
                       " to " + std::to_string(hi) + ")");
      }
      if (why == kAuthError) throw RpcError("the call was denied: authentication error " + std::to_string(r.u32()));
      throw RpcError("the call was denied (reason " + std::to_string(why) + ")");
    }
    if (stat != kMsgAccepted)
      throw RpcError("the reply status " + std::to_string(stat) + " is neither accepted nor denied");
    r.u32();                 // verifier flavour
    r.opaque(kMaxAuthBody);  // verifier body
    uint32_t accept = r.u32();
    switch (accept) {
      case kSuccess:
        return r.offset();
      case kProgUnavail:
        throw RpcError("the server does not offer the program");
      case kProgMismatch: {
        uint32_t lo = r.u32(), hi = r.u32();
        throw RpcError("the server offers the program only in versions " + std::to_string(lo) + " to " +
                       std::to_string(hi));
      }
      case kProcUnavail:
        throw RpcError("the server does not offer the procedure");
      case kGarbageArgs:
        throw RpcError("the server could not decode the arguments");
      case kSystemErr:
        throw RpcError("the server reported a system error");
      default:
        throw RpcError("the reply has the unknown accept status " + std::to_string(accept));
    }
  } catch (const XdrError& e) {
    throw RpcError(std::string("malformed RPC reply: ") + e.what());
  }
}

// The head of a call as a server reads it.
struct CallHeader {
  uint32_t xid = 0, rpcvers = 0, prog = 0, vers = 0, proc = 0;
};

// Reads the call header up to the arguments (credentials and verifier are
// skipped). Throws XdrError when the message is no call.
inline CallHeader read_call(XdrReader& r) {
  CallHeader h;
  h.xid = r.u32();
  if (r.u32() != kCall) throw XdrError("the message is not an RPC call");
  h.rpcvers = r.u32();
  h.prog = r.u32();
  h.vers = r.u32();
  h.proc = r.u32();
  for (int k = 0; k < 2; ++k) {  // credentials, verifier
    r.u32();
    r.opaque(kMaxAuthBody);
  }
  return h;
}

// An accepted reply with an AUTH_NONE verifier; results follow only for
// SUCCESS, a version range (lo, hi) only for PROG_MISMATCH.
inline std::vector<uint8_t> accepted_reply(uint32_t xid, uint32_t accept_stat, const std::vector<uint8_t>& results,
                                           uint32_t lo = 0, uint32_t hi = 0) {
  XdrWriter w;
  for (uint32_t v : {xid, kReply, kMsgAccepted, kAuthNone, 0u, accept_stat}) w.u32(v);
  if (accept_stat == kSuccess) w.raw(results);
  if (accept_stat == kProgMismatch) {
    w.u32(lo);
    w.u32(hi);
  }
  return w.take();
}

// A reply denying a call of another RPC version.
inline std::vector<uint8_t> rpc_mismatch_reply(uint32_t xid) {
  XdrWriter w;
  for (uint32_t v : {xid, kReply, kMsgDenied, kRpcMismatch, kVersion, kVersion}) w.u32(v);
  return w.take();
}

// The message as one record: fragments of at most max_fragment bytes, the
// last one marked.
inline std::vector<uint8_t> record_marked(const std::vector<uint8_t>& msg, size_t max_fragment = 0x7fffffff) {
  max_fragment = std::clamp<size_t>(max_fragment, 1, 0x7fffffff);
  std::vector<uint8_t> out;
  out.reserve(msg.size() + 4 * (msg.size() / max_fragment + 1));
  size_t k = 0;
  do {
    size_t n = std::min(max_fragment, msg.size() - k);
    uint32_t head = static_cast<uint32_t>(n) | (k + n == msg.size() ? kLastFragment : 0u);
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(head >> s));
    out.insert(out.end(), msg.begin() + static_cast<long>(k), msg.begin() + static_cast<long>(k + n));
    k += n;
  } while (k < msg.size());
  return out;
}

// Reassembles one record from the byte stream, fed in pieces of any size.
// The record grows only with the bytes that actually arrive, and a record
// longer than the limit is refused, so a bogus fragment length cannot make
// the reader allocate more than the limit.
class RecordAssembler {
 public:
  explicit RecordAssembler(size_t max_record) : max_(max_record) {}

  // Consumes bytes up to the end of the current record at most and returns
  // how many it took. Throws RpcError when the record exceeds the limit.
  size_t feed(const uint8_t* p, size_t n) {
    size_t k = 0;
    while (k < n && !done_) {
      if (head_n_ < 4) {
        head_ = (head_ << 8) | p[k++];
        if (++head_n_ < 4) continue;
        last_ = (head_ & kLastFragment) != 0;
        left_ = head_ & ~kLastFragment;
        if (left_ > max_ - rec_.size())
          throw RpcError("an RPC record longer than " + std::to_string(max_) + " bytes was refused");
      }
      size_t take = std::min<size_t>(left_, n - k);
      rec_.insert(rec_.end(), p + k, p + k + take);
      k += take;
      left_ -= static_cast<uint32_t>(take);
      if (left_ == 0) {
        head_n_ = 0;
        head_ = 0;
        done_ = last_;
      }
    }
    return k;
  }
  bool complete() const { return done_; }
  // True while no byte of a record has arrived.
  bool idle() const { return !done_ && head_n_ == 0 && rec_.empty(); }
  // The complete record; the assembler starts on the next one.
  std::vector<uint8_t> take() {
    std::vector<uint8_t> r = std::move(rec_);
    rec_.clear();
    done_ = false;
    return r;
  }

 private:
  size_t max_;
  std::vector<uint8_t> rec_;
  uint32_t head_ = 0;
  int head_n_ = 0;
  uint32_t left_ = 0;
  bool last_ = false;
  bool done_ = false;
};

}  // namespace rpc
}  // namespace tarvio::hwio_module
