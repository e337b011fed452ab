// Paths of the modules and documents, found from the core library's own
// location (dladdr of a function in it).
#include "runtime/module_path.h"

#include <dlfcn.h>

// The install rules give these relative to the library's folder; the values
// here are those of the default layout.
#ifndef TARVIO_MODULE_SUBDIR
#define TARVIO_MODULE_SUBDIR "tarvio"
#endif
#ifndef TARVIO_DOC_SUBDIR
#define TARVIO_DOC_SUBDIR "../share/doc/tarvio"
#endif

namespace tarvio {

std::string library_folder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&library_folder), &info) == 0 || info.dli_fname == nullptr) return "";
  const std::string p = info.dli_fname;
  const auto slash = p.find_last_of('/');
  return slash == std::string::npos ? std::string() : p.substr(0, slash);
}

std::vector<std::string> module_candidates(const std::string& file) {
  std::vector<std::string> out;
  if (const std::string dir = library_folder(); !dir.empty()) {
    out.push_back(dir + "/" TARVIO_MODULE_SUBDIR "/" + file);
    out.push_back(dir + "/" + file);
  }
  out.push_back(file);
  return out;
}

std::vector<std::string> document_candidates(const std::string& file) {
  const std::string dir = library_folder();
  if (dir.empty()) return {file};
  return {dir + "/" TARVIO_DOC_SUBDIR "/" + file, dir + "/" + file};
}

}  // namespace tarvio
