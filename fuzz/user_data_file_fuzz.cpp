// User data files (payload bytes): any bytes, with the bit order and the
// length limit taken from the first byte.
#include <cstdint>

#include "fuzz_util.h"
#include "mac/user_data_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarvio;
  fuzz::quiet_reporter();
  const uint8_t mode = size > 0 ? data[0] : 0;
  const std::string path = fuzz::input_file(data, size, "user.dat");
  const double limits[4] = {0, 8.0 * double(size) / 2, 1e300, -1};
  LoadUserDataFile(path, limits[mode & 3], (mode & 4) ? "left-msb" : "right-msb");
  return 0;
}
