// Codes 10 and 11: the packet temporary file through the core library's
// packet-file writer; markers go to the side file one byte per sample.
#include "instrument/hwio/packet_codes.h"

#include <stdexcept>

#include "instrument/packet_file.h"

namespace tarvio::hwio_module {

std::vector<Value> empty_packet_file(const ArgList& a) {
  std::string name = a.text(1);
  if (name.empty()) throw std::invalid_argument("hwIO code 10: the packet file name is empty");
  packet_file::clear(name);
  return {Value(0.0), Value("")};
}

std::vector<Value> append_packet(const ArgList& a) {
  const Value& iq = a.at(1);
  const Value& mk = a.at(2);
  std::string name = a.text(3);
  if (name.empty()) throw std::invalid_argument("hwIO code 11: the packet file name is empty");
  if (!iq.is_numeric() || (iq.rows() > 1 && iq.cols() > 1))
    throw std::invalid_argument("hwIO code 11: the samples must be a numeric row");
  const size_t n = iq.numel();
  const std::vector<double>& re = iq.re();
  std::vector<double> zeros;
  const double* q = nullptr;
  if (iq.kind() == Value::Kind::Complex) {
    q = iq.im().data();
  } else {
    zeros.assign(n, 0.0);
    q = zeros.data();
  }
  std::vector<uint8_t> bytes;
  if (!mk.is_empty()) {
    if (!mk.is_numeric()) throw std::invalid_argument("hwIO code 11: the markers must be a numeric matrix");
    if (mk.cols() != n)
      throw std::invalid_argument("hwIO code 11: the markers have " + std::to_string(mk.cols()) +
                                  " columns but the packet has " + std::to_string(n) + " samples");
    if (mk.rows() > packet_file::kMaxMarkerRows)
      throw std::invalid_argument("hwIO code 11: at most " + std::to_string(packet_file::kMaxMarkerRows) +
                                  " marker rows can be stored, not " + std::to_string(mk.rows()));
    bytes.assign(n, 0);
    const std::vector<double>& m = mk.re();
    const size_t rows = mk.rows();
    for (size_t c = 0; c < n; ++c)
      for (size_t r = 0; r < rows; ++r)
        if (m[c * rows + r] != 0) bytes[c] |= static_cast<uint8_t>(1u << r);
  }
  double peak = packet_file::append(name, re.data(), q, n, bytes.empty() ? nullptr : bytes.data());
  return {Value(peak)};
}

}  // namespace tarvio::hwio_module
