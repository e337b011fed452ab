// Constellation mapper of the OFDM DATA and SIGNAL sub-carriers and its
// registered operation.
#include "ofdm/dot11a_mapping.h"

#include <cmath>
#include <stdexcept>

#include "runtime/registry.h"

namespace tarvio {

namespace {

int bits_of_format(const std::string& format) {
  if (format == "BPSK") return 1;
  if (format == "QPSK") return 2;
  if (format == "QAM16") return 4;
  if (format == "QAM64") return 6;
  throw std::invalid_argument("Dot11a_ConvertToIQ: format \"" + format +
                              "\" is unknown; allowed are \"BPSK\", \"QPSK\", \"QAM16\" and \"QAM64\"");
}

inline double pm(uint8_t b) { return b ? 1.0 : -1.0; }  // 2b - 1
inline double mp(uint8_t b) { return b ? -1.0 : 1.0; }  // 1 - 2b

}  // namespace

void dot11a_map_bits(const uint8_t* d, size_t nbits, const std::string& format, cplx* out) {
  const int nb = bits_of_format(format);
  if (nbits % static_cast<size_t>(nb) != 0)
    throw std::invalid_argument("Dot11a_ConvertToIQ: " + std::to_string(nbits) + " bits are not a whole number of " +
                                format + " values of " + std::to_string(nb) + " bits");
  const size_t n = nbits / static_cast<size_t>(nb);
  static const double k2 = 1.0 / std::sqrt(2.0), k10 = 1.0 / std::sqrt(10.0), k42 = 1.0 / std::sqrt(42.0);
  for (size_t m = 0; m < n; ++m, d += nb) {
    switch (nb) {
      case 1:
        out[m] = cplx(pm(d[0]), 0.0);
        break;
      case 2:
        out[m] = cplx(pm(d[0]), pm(d[1])) * k2;
        break;
      case 4:
        out[m] = cplx(pm(d[0]) * (3 - 2 * (d[1] ? 1 : 0)), pm(d[2]) * (3 - 2 * (d[3] ? 1 : 0))) * k10;
        break;
      default:
        out[m] = cplx(pm(d[0]) * (4 + mp(d[1]) * (3 - 2 * (d[2] ? 1 : 0))),
                      pm(d[3]) * (4 + mp(d[4]) * (3 - 2 * (d[5] ? 1 : 0)))) *
                 k42;
        break;
    }
  }
}

CVec Dot11a_ConvertToIQ(const Bits& data, const std::string& format) {
  const int nb = bits_of_format(format);
  CVec out(data.size() / static_cast<size_t>(nb));
  dot11a_map_bits(data.data(), data.size(), format, out.data());
  return out;
}

const std::string& dot11a_format_name(double modulation) {
  static const std::string names[4] = {"BPSK", "QPSK", "QAM16", "QAM64"};
  if (modulation == 1 || modulation == 2 || modulation == 3 || modulation == 4)
    return names[static_cast<int>(modulation) - 1];
  throw std::invalid_argument("modulation must be 1 (BPSK), 2 (QPSK), 3 (16-QAM) or 4 (64-QAM), got " +
                              std::to_string(modulation));
}

int dot11a_bits_per_subcarrier(double modulation) { return bits_of_format(dot11a_format_name(modulation)); }

TARVIO_OP(
    "Dot11a_ConvertToIQ", 2, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const Bits d = arg_required(in, 0, "Dot11a_ConvertToIQ").to_bits();
      return {Value::complex_row(Dot11a_ConvertToIQ(d, arg_required(in, 1, "Dot11a_ConvertToIQ").str()))};
    },
    "output = Dot11a_ConvertToIQ(data, format): Gray mapping, format \"BPSK\", \"QPSK\", \"QAM16\" or \"QAM64\"");

}  // namespace tarvio
