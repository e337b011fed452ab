// MAT files from outside: parameter files, rfIOConfig.mat and @FILE:VAR
// arguments all go through mat_read / mat_read_var with the structure check.
#include <cstdint>
#include <exception>

#include "fuzz_util.h"
#include "runtime/matfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarvio;
  const std::string path = fuzz::input_file(data, size, "input.mat");
  try {
    mat_read(path, {kSettingsFileMaxBytes});
  } catch (const std::exception&) {
  }
  try {
    mat_read_var(path, "fileParameters", {kSettingsFileMaxBytes});
  } catch (const std::exception&) {
  }
  return 0;
}
