// The VXI-11 messages a controller exchanges with an instrument: the
// portmapper query for the core channel's port (program 100000 version 2,
// PMAPPROC_GETPORT) and the core channel's procedures (program 0x0607AF
// version 1): create_link, device_write, device_read, device_local and
// destroy_link, with their XDR argument and result layouts and the texts of
// the device error codes.
// Header-only, shared by the VXI-11 transport, the simulated instrument and
// the unit tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "instrument/hwio/xdr.h"

namespace tarvio::hwio_module::vxi11 {

inline constexpr uint32_t kPmapProg = 100000, kPmapVers = 2, kPmapGetport = 3, kIpprotoTcp = 6;
inline constexpr int kPmapPort = 111;

inline constexpr uint32_t kCoreProg = 0x0607AF, kCoreVers = 1;
inline constexpr uint32_t kCreateLink = 10, kDeviceWrite = 11, kDeviceRead = 12, kDeviceLocal = 19, kDestroyLink = 23;

// Device_Flags bits.
inline constexpr uint32_t kFlagWaitLock = 1, kFlagEnd = 8, kFlagTermCharSet = 128;
// Device_ReadResp reason bits.
inline constexpr uint32_t kReasonReqCnt = 1, kReasonChr = 2, kReasonEnd = 4;
// Device_ErrorCode values used by name.
inline constexpr int32_t kErrNone = 0, kErrDeviceNotAccessible = 3, kErrInvalidLink = 4, kErrParameter = 5,
                         kErrIoTimeout = 15;

// The meaning of a Device_ErrorCode.
inline std::string error_text(int32_t code) {
  switch (code) {
    case 0:
      return "no error";
    case 1:
      return "syntax error";
    case 3:
      return "device not accessible";
    case 4:
      return "invalid link identifier";
    case 5:
      return "parameter error";
    case 6:
      return "channel not established";
    case 8:
      return "operation not supported";
    case 9:
      return "out of resources";
    case 11:
      return "device locked by another link";
    case 12:
      return "no lock held by this link";
    case 15:
      return "I/O timeout";
    case 17:
      return "I/O error";
    case 21:
      return "invalid address";
    case 23:
      return "abort";
    case 29:
      return "channel already established";
    default:
      return "unknown error";
  }
}

// --- arguments (what the controller sends) ---

// PMAPPROC_GETPORT: mapping {prog, vers, prot, port (ignored)}.
inline std::vector<uint8_t> getport_args(uint32_t prog, uint32_t vers) {
  XdrWriter w;
  for (uint32_t v : {prog, vers, kIpprotoTcp, 0u}) w.u32(v);
  return w.take();
}

// Create_LinkParms {long clientId; bool lockDevice; unsigned long
// lock_timeout; string device<>}.
inline std::vector<uint8_t> create_link_args(int32_t client_id, bool lock_device, uint32_t lock_timeout_ms,
                                             const std::string& device) {
  XdrWriter w;
  w.i32(client_id);
  w.boolean(lock_device);
  w.u32(lock_timeout_ms);
  w.string(device);
  return w.take();
}

// Device_WriteParms {Device_Link lid; unsigned long io_timeout; unsigned
// long lock_timeout; Device_Flags flags; opaque data<>}.
inline std::vector<uint8_t> device_write_args(int32_t lid, uint32_t io_timeout_ms, uint32_t lock_timeout_ms,
                                              uint32_t flags, const uint8_t* p, size_t n) {
  XdrWriter w;
  w.i32(lid);
  w.u32(io_timeout_ms);
  w.u32(lock_timeout_ms);
  w.u32(flags);
  w.opaque(p, n);
  return w.take();
}

// Device_ReadParms {Device_Link lid; unsigned long requestSize; unsigned
// long io_timeout; unsigned long lock_timeout; Device_Flags flags; char
// termChar} (the char travels as a 32-bit integer).
inline std::vector<uint8_t> device_read_args(int32_t lid, uint32_t request_size, uint32_t io_timeout_ms,
                                             uint32_t lock_timeout_ms, uint32_t flags, uint8_t term_char) {
  XdrWriter w;
  w.i32(lid);
  for (uint32_t v : {request_size, io_timeout_ms, lock_timeout_ms, flags, uint32_t{term_char}}) w.u32(v);
  return w.take();
}

// Device_GenericParms {Device_Link lid; Device_Flags flags; unsigned long
// lock_timeout; unsigned long io_timeout} (device_local and others).
inline std::vector<uint8_t> generic_args(int32_t lid, uint32_t flags, uint32_t lock_timeout_ms,
                                         uint32_t io_timeout_ms) {
  XdrWriter w;
  w.i32(lid);
  w.u32(flags);
  w.u32(lock_timeout_ms);
  w.u32(io_timeout_ms);
  return w.take();
}

// destroy_link takes the bare Device_Link.
inline std::vector<uint8_t> link_args(int32_t lid) {
  XdrWriter w;
  w.i32(lid);
  return w.take();
}

// --- results (what the instrument answers) ---

// Create_LinkResp {Device_ErrorCode error; Device_Link lid; unsigned short
// abortPort; unsigned long maxRecvSize}.
struct CreateLinkResp {
  int32_t error = 0;
  int32_t lid = 0;
  uint32_t abort_port = 0;
  uint32_t max_recv_size = 0;
};
inline CreateLinkResp read_create_link_resp(XdrReader& r) {
  CreateLinkResp c;
  c.error = r.i32();
  c.lid = r.i32();
  c.abort_port = r.u32();
  c.max_recv_size = r.u32();
  return c;
}

// Device_WriteResp {Device_ErrorCode error; unsigned long size}.
struct WriteResp {
  int32_t error = 0;
  uint32_t size = 0;
};
inline WriteResp read_write_resp(XdrReader& r) {
  WriteResp w;
  w.error = r.i32();
  w.size = r.u32();
  return w;
}

// Device_ReadResp {Device_ErrorCode error; long reason; opaque data<>}; the
// data is a view into the reply and may hold at most max_data bytes.
struct ReadResp {
  int32_t error = 0;
  uint32_t reason = 0;
  const uint8_t* data = nullptr;
  size_t size = 0;
};
inline ReadResp read_read_resp(XdrReader& r, size_t max_data) {
  ReadResp d;
  d.error = r.i32();
  d.reason = r.u32();
  r.opaque_view(d.data, d.size, max_data);
  return d;
}

}  // namespace tarvio::hwio_module::vxi11
