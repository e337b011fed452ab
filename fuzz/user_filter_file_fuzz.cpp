// User filter files (text of coefficients), with the oversampling ratio
// taken from the first byte.
#include <cstdint>

#include "dsp/user_filter_file.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarvio;
  fuzz::quiet_reporter();
  const double ratios[8] = {1, 2, 3, 4, 1.5, 0, -2, 1e300};
  const double ratio = ratios[size > 0 ? data[0] & 7 : 0];
  const std::string path = fuzz::input_file(data, size, "filter.txt");
  LoadUserFilterFile(path, ratio);
  return 0;
}
