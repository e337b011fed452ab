// The unattended number list WLAN_varsB.txt, read from the working folder
// as `tarvio-cli call LoadVars` reads and shows it: the numbers as a column
// value and its printed form.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "fuzz_util.h"
#include "runtime/registry.h"
#include "runtime/value.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarvio;
  fuzz::quiet_reporter();
  fuzz::input_file(data, size, "WLAN_varsB.txt");
  // The list is read from the working folder; the fuzzer's own corpus paths
  // are relative to the folder it started in, so that one is restored after
  // each input.
  static const int start_folder = ::open(".", O_RDONLY | O_DIRECTORY);
  if (start_folder < 0 || ::chdir(fuzz::work_folder().c_str()) != 0) std::abort();
  const std::vector<Value> out = Registry::instance().call("LoadVars", {Value()}, 1);
  to_display(out.at(0), "s");
  if (::fchdir(start_folder) != 0) std::abort();
  return 0;
}
