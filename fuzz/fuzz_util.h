// Helpers shared by the fuzz targets: the input as a file in a private
// folder (for parsers that read files by name), and a reporter that keeps
// the dialogs instead of printing them.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "runtime/report.h"

namespace tarvio::fuzz {

// A folder of this process, made once and used for every input.
inline const std::string& work_folder() {
  static const std::string dir = [] {
    const char* base = std::getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/tarvio-fuzz-XXXXXX";
    if (::mkdtemp(templ.data()) == nullptr) std::abort();
    return templ;
  }();
  return dir;
}

// Writes the input to `name` in the work folder and returns its path.
inline std::string input_file(const uint8_t* data, size_t size, const char* name) {
  const std::string path = work_folder() + "/" + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
  return path;
}

// Dialogs go nowhere: the targets check that the parsers survive, not what
// they say.
inline void quiet_reporter() {
  static bool done = [] {
    set_reporter(std::make_shared<RecordingReporter>());
    return true;
  }();
  (void)done;
}

}  // namespace tarvio::fuzz
