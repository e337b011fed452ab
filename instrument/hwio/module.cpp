// The transport module's one entry point: dispatches the operation code to
// its handler. Instrument failures come back as a non-zero status and a text;
// bad arguments and packet-file failures are raised as errors (entry point
// result non-zero with the text in out[0]).
#include <exception>
#include <string>
#include <type_traits>
#include <vector>

#include "instrument/hwio/instrument_codes.h"
#include "instrument/hwio/module_args.h"
#include "instrument/hwio/packet_codes.h"
#include "instrument/hwio/waveform_transfer.h"
#include "instrument/hwio_abi.h"

// The entry point must keep the type the core library loads it as.
extern "C" int tarvio_hwIO(int, int, const tarvio::Value*, int, tarvio::Value*, int*);
static_assert(std::is_same_v<decltype(&tarvio_hwIO), tarvio::hwio::EntryFn>);

namespace tarvio::hwio_module {
namespace {

std::vector<Value> dispatch(int code, const ArgList& a) {
  switch (code) {
    case 1:
      return ping(a);
    case 2:
      return send(a);
    case 3:
      return query(a);
    case 5:
      return return_local(a);
    case 9:
      return transfer_from_packet_file(a);
    case 20:
      return transfer_from_memory(a);
    case 10:
      return empty_packet_file(a);
    case 11:
      return append_packet(a);
    default:
      return {Value(-2.0), Value("hwIO: unknown operation code " + std::to_string(code) +
                                 " (known codes: 1 ping, 2 send, 3 query, 5 return to local, 9 and 20 "
                                 "waveform transfer, 10 empty the packet file, 11 append a packet)")};
  }
}

}  // namespace
}  // namespace tarvio::hwio_module

extern "C" __attribute__((visibility("default"))) int tarvio_hwIO(int code, int nin, const tarvio::Value* in,
                                                                  int nout_max, tarvio::Value* out, int* nout) {
  using namespace tarvio;
  *nout = 0;
  try {
    std::vector<Value> r = hwio_module::dispatch(code, hwio_module::ArgList(code, in, nin));
    int n = 0;
    for (; n < nout_max && n < static_cast<int>(r.size()); ++n) out[n] = std::move(r[static_cast<size_t>(n)]);
    *nout = n;
    return 0;
  } catch (const std::exception& e) {
    if (nout_max > 0) {
      out[0] = Value(std::string(e.what()));
      *nout = 1;
    }
    return 1;
  } catch (...) {
    if (nout_max > 0) {
      out[0] = Value("hwIO: unexpected failure");
      *nout = 1;
    }
    return 1;
  }
}
