// Loading of the export plug-in and conversion between Values and the
// plug-in's argument arrays.
#include "files/export_plugin.h"

#include <dlfcn.h>

#include <cstring>
#include <memory>
#include <stdexcept>

#include "plugin/mxarray/mxarray.h"

namespace tarvio {

namespace {

constexpr const char* kModuleFile = "Orv_ExportMx.so";

struct Plugin {
  void* handle = nullptr;
  mx_entry entry = nullptr;
  std::string path;
};

std::string library_folder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&library_folder), &info) == 0 || info.dli_fname == nullptr) return "";
  std::string p = info.dli_fname;
  const auto slash = p.find_last_of('/');
  return slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
}

Plugin load_plugin() {
  std::string tried;
  for (const std::string& candidate : {library_folder() + kModuleFile, std::string(kModuleFile)}) {
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

struct ArrayDeleter {
  void operator()(mxArray* a) const { mx_destroy(a); }
};
using ArrayPtr = std::unique_ptr<mxArray, ArrayDeleter>;

ArrayPtr checked(mxArray* a) {
  if (a == nullptr) throw std::bad_alloc();
  return ArrayPtr(a);
}

ArrayPtr to_array(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::Real:
    case Value::Kind::Logical: {
      ArrayPtr a = checked(mx_create_double(v.rows(), v.cols(), 0));
      const std::vector<double> re = v.to_reals();
      std::copy(re.begin(), re.end(), mx_real(a.get()));
      return a;
    }
    case Value::Kind::Complex: {
      ArrayPtr a = checked(mx_create_double(v.rows(), v.cols(), 1));
      std::copy(v.re().begin(), v.re().end(), mx_real(a.get()));
      std::copy(v.im().begin(), v.im().end(), mx_imag(a.get()));
      return a;
    }
    case Value::Kind::Text:
      return checked(mx_create_text(v.str().c_str()));
    case Value::Kind::Int32: {
      ArrayPtr a = checked(mx_create_int32(v.rows(), v.cols()));
      std::copy(v.ints().begin(), v.ints().end(), mx_int32(a.get()));
      return a;
    }
    default:
      throw std::invalid_argument(std::string("the export plug-in takes matrices and texts only, not a ") +
                                  v.kind_name());
  }
}

Value from_array(const mxArray* a) {
  const size_t rows = mx_rows(a), cols = mx_cols(a), n = mx_numel(a);
  switch (mx_class_of(a)) {
    case MX_CHAR: {
      std::string s(n + 1, '\0');
      mx_text(a, s.data(), s.size());
      s.resize(n);
      return Value::text(s);
    }
    case MX_INT32:
      return Value::int32(rows, cols, std::vector<int32_t>(mx_int32(a), mx_int32(a) + n));
    case MX_DOUBLE:
    default:
      if (mx_is_complex(a)) {
        std::vector<cplx> c(n);
        for (size_t k = 0; k < n; ++k) c[k] = cplx(mx_real(a)[k], mx_imag(a)[k]);
        return Value::complex(rows, cols, std::move(c));
      }
      return Value::real(rows, cols, std::vector<double>(mx_real(a), mx_real(a) + n));
  }
}

}  // namespace

std::string export_plugin_path() { return plugin().path; }

std::vector<Value> call_export_plugin(const std::vector<Value>& args, int nout) {
  const Plugin& p = plugin();
  std::vector<ArrayPtr> owned;
  std::vector<const mxArray*> in;
  owned.reserve(args.size());
  for (const Value& v : args) {
    owned.push_back(to_array(v));
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
