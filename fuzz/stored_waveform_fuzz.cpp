// Waveform files played again with download --file: an export file, a MAT
// file with a waveform, or a SigMF recording (metadata text, then a zero
// byte, then the data), chosen by the first byte, copied into a packet file.
#include <cstdint>
#include <exception>
#include <string>

#include "files/stored_waveform.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarvio;
  if (size == 0) return 0;
  const uint8_t kind = data[0] % 3;
  ++data;
  --size;
  std::string path;
  if (kind == 0) {
    path = fuzz::input_file(data, size, "in.wfm");
  } else if (kind == 1) {
    path = fuzz::input_file(data, size, "in.mat");
  } else {
    size_t meta = 0;
    while (meta < size && data[meta] != 0) ++meta;
    fuzz::input_file(data, meta, "in.sigmf-meta");
    const size_t rest = meta < size ? size - meta - 1 : 0;
    fuzz::input_file(data + size - rest, rest, "in.sigmf-data");
    path = fuzz::work_folder() + "/in.sigmf-meta";
  }
  try {
    copy_stored_waveform(path, fuzz::work_folder() + "/packets.bin", size_t(1) << 20);
  } catch (const std::exception&) {
  }
  return 0;
}
