// VXI-11 replies as the controller reads them: record-marked fragments
// reassembled, the ONC RPC reply header checked, and the create_link,
// device_write and device_read results decoded.
#include <cstdint>
#include <exception>
#include <vector>

#include "instrument/hwio/rpc_message.h"
#include "instrument/hwio/vxi11_messages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarvio::hwio_module;
  if (size < 2) return 0;
  const size_t piece = size_t(data[0]) * 16 + 1;
  const uint8_t which = data[1];
  rpc::RecordAssembler rec(1 << 16);
  try {
    for (size_t at = 2; at < size && !rec.complete(); at += piece) rec.feed(data + at, std::min(piece, size - at));
    if (!rec.complete()) return 0;
    std::vector<uint8_t> msg = rec.take();
    const uint32_t xid = msg.size() >= 4 ? uint32_t(msg[0]) << 24 | msg[1] << 16 | msg[2] << 8 | msg[3] : 0;
    const size_t at = rpc::check_reply(msg, xid);
    XdrReader r(msg.data() + at, msg.size() - at);
    switch (which % 3) {
      case 0:
        vxi11::read_create_link_resp(r);
        break;
      case 1:
        vxi11::read_write_resp(r);
        break;
      default:
        vxi11::read_read_resp(r, 1 << 16);
        break;
    }
  } catch (const std::exception&) {
  }
  return 0;
}
