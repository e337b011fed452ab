// Replies of an instrument as the controller reads them: numeric replies
// (frequency and level read-back, the player state) and the identification.
#include <cstdint>
#include <string>

#include "instrument/kor_download.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarvio;
  const std::string text(reinterpret_cast<const char*>(data), size);
  reply_number(text);
  return 0;
}
