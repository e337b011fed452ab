// Loading of the export plug-in and the call of its entry point.
#include "files/export_plugin.h"

#include <dlfcn.h>

#include <cstring>
#include <memory>
#include <stdexcept>

#include "files/mx_value.h"
#include "plugin/mxarray/mxarray.h"
#include "runtime/module_path.h"

namespace tarvio {

namespace {

constexpr const char* kModuleFile = "Orv_ExportMx.so";

struct Plugin {
  void* handle = nullptr;
  mx_entry entry = nullptr;
  std::string path;
};

Plugin load_plugin() {
  std::string tried;
  for (const std::string& candidate : module_candidates(kModuleFile)) {
    void* h = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (h == nullptr) {
      const char* why = dlerror();
      tried += "\n  " + candidate + ": " + (why != nullptr ? why : "not found");
      continue;
    }
    void* sym = dlsym(h, "mexFunction");
    if (sym == nullptr) {
      tried += "\n  " + candidate + ": no entry point mexFunction";
      dlclose(h);
      continue;
    }
    return Plugin{h, reinterpret_cast<mx_entry>(sym), candidate};
  }
  throw std::runtime_error("cannot load the export plug-in Orv_ExportMx:" + tried);
}

// Loaded once and kept for the life of the process; a failed load throws
// and is tried again on the next call.
const Plugin& plugin() {
  static const Plugin loaded = load_plugin();
  return loaded;
}

// The plug-in takes matrices and texts only.
ArrayPtr plugin_array(const Value& v) {
  if (v.is_record() || v.is_list())
    throw std::invalid_argument(std::string("the export plug-in takes matrices and texts only, not a ") +
                                v.kind_name());
  return to_array(v);
}

}  // namespace

std::string export_plugin_path() { return plugin().path; }

std::vector<Value> call_export_plugin(const std::vector<Value>& args, int nout) {
  const Plugin& p = plugin();
  std::vector<ArrayPtr> owned;
  std::vector<const mxArray*> in;
  owned.reserve(args.size());
  for (const Value& v : args) {
    owned.push_back(plugin_array(v));
    in.push_back(owned.back().get());
  }
  const int slots = nout > 0 ? nout : 1;
  std::vector<mxArray*> out(size_t(slots), nullptr);
  char err[8192] = {0};  // room for a message with a long path
  if (mx_call(p.entry, nout, out.data(), int(in.size()), in.data(), err, sizeof err) != 0)
    throw std::runtime_error(err);
  std::vector<ArrayPtr> results;
  for (mxArray* a : out) results.emplace_back(a);
  std::vector<Value> values;
  for (int k = 0; k < slots; ++k)
    if (results[size_t(k)]) values.push_back(from_array(results[size_t(k)].get()));
  return values;
}

}  // namespace tarvio
