// The unattended number list WLAN_varsB.txt, read from the working folder
// as `tarvio-cli call LoadVars` reads and shows it: the numbers as a column
// value and its printed form.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "fuzz_util.h"
#include "runtime/registry.h"
#include "runtime/value.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarvio;
  static bool ready = [] {
    fuzz::quiet_reporter();
    if (::chdir(fuzz::work_folder().c_str()) != 0) std::abort();
    return true;
  }();
  (void)ready;
  fuzz::input_file(data, size, "WLAN_varsB.txt");
  const std::vector<Value> out = Registry::instance().call("LoadVars", {Value()}, 1);
  to_display(out.at(0), "s");
  return 0;
}
