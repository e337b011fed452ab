// Parameter files as the program loads them: the MAT file, then the records
// it must hold, converted field by field into parameters and SigGenSettings.
#include <cstdint>
#include <exception>

#include "control/initialize.h"
#include "control/parameter_files.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarvio;
  static bool initialized = [] {
    fuzz::quiet_reporter();
    InitializeAll();
    return true;
  }();
  (void)initialized;
  const std::string path = fuzz::input_file(data, size, "params.mat");
  try {
    LoadParameters(path);
  } catch (const std::exception&) {
  }
  return 0;
}
