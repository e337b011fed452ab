// Waveform export files as inspect reads them: the header record, the size
// check, and every sample, marker byte and residual.
#include <cstdint>
#include <exception>
#include <vector>

#include "files/export_file_reader.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarvio;
  const std::string path = fuzz::input_file(data, size, "input.wfm");
  try {
    ExportFileReader reader(path);
    const uint64_t n = reader.header().sample_count;
    constexpr size_t kBlock = 4096;
    std::vector<int16_t> i(kBlock), q(kBlock);
    std::vector<int32_t> ri(kBlock), rq(kBlock);
    std::vector<uint8_t> m(kBlock);
    for (uint64_t first = 0; first < n; first += kBlock) {
      const size_t k = size_t(std::min<uint64_t>(kBlock, n - first));
      reader.read(first, k, i.data(), q.data(), ri.data(), rq.data(), m.data());
      for (size_t j = 0; j < k; ++j) ExportFileReader::restore(i[j], ri[j]);
    }
  } catch (const std::exception&) {
  }
  return 0;
}
