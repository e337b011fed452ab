// Entry fields: the decimal entry reader, the MAC header's hexadecimal
// fields (of every size) and the signal generator settings' entry rules.
#include <cstdint>
#include <string>

#include "instrument/siggen_entry.h"
#include "mac/mac_header.h"
#include "runtime/number_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarvio;
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (auto v = parse_entry_number(text)) {
    const int unit = int(size % 6) - 1;
    EntryFrequency(*v, unit, 1e9);
    EntryAmplitude(*v, -10);
    EntrySamplingRate(*v, unit, 1e6);
    EntryScaling(*v, 70);
    EntryModAtten(*v, 0);
    Num2Str(*v);
  }
  EntryTitle(text);
  for (double bytes : {1.0, 2.0, 6.0, 8.0, 0.0}) {
    MacField field;
    field.Size = bytes;
    enter_hex_field(field, text);
  }
  return 0;
}
