// Loads the transport module libhwIO.so by name on first use (from the
// module folder below the core library's, beside the library, then the
// default search path) and forwards calls to its entry point; registers the
// generic operation `HwIO`.
#include "instrument/hwio.h"

#include <dlfcn.h>

#include <algorithm>
#include <mutex>
#include <stdexcept>

#include "instrument/hwio_abi.h"
#include "runtime/module_path.h"
#include "runtime/registry.h"

namespace tarvio::hwio {

namespace {

EntryFn load_entry() {
  std::string errors;
  void* handle = nullptr;
  for (const std::string& path : module_candidates(kModuleFile)) {
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle) break;
    errors += (errors.empty() ? "" : "; ") + std::string(dlerror());
  }
  if (!handle)
    throw std::runtime_error("The instrument transport module " + std::string(kModuleFile) +
                             " cannot be loaded: " + errors);
  void* sym = dlsym(handle, kEntryName);
  if (!sym) throw std::runtime_error("The instrument transport module has no entry point " + std::string(kEntryName));
  return reinterpret_cast<EntryFn>(sym);
}

EntryFn entry() {
  static std::mutex m;
  static EntryFn fn = nullptr;
  std::lock_guard<std::mutex> lock(m);
  if (!fn) fn = load_entry();  // a failed load is retried on the next call
  return fn;
}

}  // namespace

std::vector<Value> call(int code, const std::vector<Value>& args) {
  EntryFn fn = entry();
  Value out[kMaxResults];
  int nout = 0;
  int rc = fn(code, static_cast<int>(args.size()), args.data(), kMaxResults, out, &nout);
  if (rc != 0) throw std::runtime_error(nout > 0 && out[0].is_text() ? out[0].str() : "hwIO: operation failed");
  return std::vector<Value>(out, out + std::max(0, std::min(nout, kMaxResults)));
}

namespace {

// HwIO(code, ...): the module's operation by code; the code may be any
// numeric scalar (it is converted to a 32-bit integer).
TARVIO_OP_VARARGS(
    "HwIO", 10, 2,
    [](const Args& in, int) -> std::vector<Value> {
      const Value& c = arg_required(in, 0, "HwIO");
      double code = c.to_double();
      if (code != static_cast<int>(code)) throw std::invalid_argument("HwIO: the code must be an integer");
      return call(static_cast<int>(code), std::vector<Value>(in.begin() + 1, in.end()));
    },
    "[status, response] = HwIO(code, ...): the instrument transport module's operation by code");

}  // namespace

}  // namespace tarvio::hwio
