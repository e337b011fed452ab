// User data file reader: whole bytes expanded to bits in the chosen order,
// limited to a maximum number of bits.
#include "mac/user_data_file.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <vector>

#include "runtime/registry.h"
#include "runtime/report.h"

namespace tarvio {
namespace {

std::string full_path(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(path, ec);
  return ec ? path : p.string();
}

UserDataFile open_failure(const std::string& path) {
  report_error("File Error", "Could not open\n" + full_path(path));
  return {};
}

}  // namespace

UserDataFile LoadUserDataFile(const std::string& path, double maxLengthInBits, const std::string& bitorder) {
  std::error_code ec;
  if (path.empty() || std::filesystem::is_directory(path, ec)) return open_failure(path);
  std::ifstream in(path, std::ios::binary);
  if (!in) return open_failure(path);
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  if (size < 0 || !in) return open_failure(path);

  const double max_bits = std::isnan(maxLengthInBits) ? 0.0 : std::max(maxLengthInBits, 0.0);
  size_t nbytes = static_cast<size_t>(size);
  size_t nbits = nbytes * 8;
  if (static_cast<double>(size) * 8 > max_bits) {
    nbits = static_cast<size_t>(std::floor(max_bits));
    nbytes = (nbits + 7) / 8;
  }
  std::vector<char> bytes(nbytes);
  if (nbytes > 0 && !in.read(bytes.data(), static_cast<std::streamsize>(nbytes))) return open_failure(path);

  const bool lsb_first = bitorder.compare(0, 5, "right") == 0;
  UserDataFile r;
  r.bits.resize(nbytes * 8);
  for (size_t k = 0; k < nbytes; ++k) {
    const auto v = static_cast<unsigned char>(bytes[k]);
    for (unsigned j = 0; j < 8; ++j) {
      const unsigned bit = lsb_first ? j : 7 - j;
      r.bits[8 * k + j] = static_cast<uint8_t>((v >> bit) & 1u);
    }
  }
  r.bits.resize(nbits);
  r.status = 1;
  return r;
}

TARVIO_OP(
    "LoadUserDataFile", 3, 2,
    [](const Args& in, int) -> std::vector<Value> {
      const UserDataFile r =
          LoadUserDataFile(arg_text(in, 0, ""), arg_double(in, 1, 0.0), arg_text(in, 2, "right-msb"));
      return {Value(r.status), r.bits.empty() ? Value() : Value::row(r.bits)};
    },
    "[status, bits] = LoadUserDataFile(path, maxLengthInBits, bitorder): reads a user data file as bits");

}  // namespace tarvio
