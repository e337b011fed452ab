// The 48-bit IEEE 802.11b PLCP header: SIGNAL, SERVICE, LENGTH with the
// length-extension bits, and the CRC-16.
#include "dsss/dot11b_header.h"

#include <stdexcept>

#include "dsss/ccitt_crc16.h"
#include "dsss/dsss_values.h"
#include "runtime/registry.h"

namespace tarvio {

namespace {

uint8_t flag_bit(double x, const char* what) {
  if (x == 0) return 0;
  if (x == 1) return 1;
  throw std::invalid_argument(std::string(what) + " must be 0 or 1, not " + Num2Str(x) + ".");
}

}  // namespace

Bits Dot11b_SIGNAL(double DATArate) {
  uint64_t value;
  if (DATArate == 1)
    value = 0x0A;
  else if (DATArate == 2)
    value = 0x14;
  else if (DATArate == 5.5)
    value = 0x37;
  else if (DATArate == 11)
    value = 0x6E;
  else
    throw std::invalid_argument("Unsupported 802.11b data rate " + Num2Str(DATArate) +
                                " Mbit/s: allowed are 1, 2, 5.5 and 11.");
  return dsss_lsb_first(value, 8);
}

Bits Dot11b_SERVICE(double locked, double mod, double b5, double b6, double b7) {
  auto b = [](double x) { return static_cast<uint8_t>(x != 0 ? 1 : 0); };
  return {0, 0, b(locked), b(mod), 0, b(b5), b(b6), b(b7)};
}

Dot11bLength Dot11b_LENGTH(double numberOfBITS, double DATArate, double mod) {
  if (!dsss_is_whole(numberOfBITS) || numberOfBITS < 0)
    throw std::invalid_argument("The PSDU bit count must be a whole number of 0 or more, not " + Num2Str(numberOfBITS) +
                                ".");
  const double twiceRate = 2 * DATArate;
  if (!(DATArate > 0) || !dsss_is_whole(twiceRate))
    throw std::invalid_argument("The data rate for the LENGTH field must be a positive multiple of 0.5 Mbit/s, not " +
                                Num2Str(DATArate) + ".");
  const uint64_t bits = static_cast<uint64_t>(numberOfBITS) + 8u * flag_bit(mod, "The modulation selection");
  const uint64_t r2 = static_cast<uint64_t>(twiceRate);
  // Everything in half-bit units so that 5.5 Mbit/s stays exact.
  const uint64_t intLen = (2 * bits + r2 - 1) / r2;  // ceil(bits / rate)
  const uint64_t e2 = r2 * intLen - 2 * bits;        // twice the surplus E
  Dot11bLength out;
  out.lengthField = dsss_lsb_first(intLen, 16);
  if (DATArate == 11) {
    out.b7 = e2 >= 16;
  } else if (DATArate == 22) {
    if (e2 >= 32)
      out.b6 = 1;
    else if (e2 >= 16)
      out.b7 = 1;
  } else if (DATArate == 33) {
    if (e2 >= 64) {
      out.b5 = 1;
    } else if (e2 >= 48) {
      out.b6 = 1;
      out.b7 = 1;
    } else if (e2 >= 32) {
      out.b6 = 1;
    } else if (e2 >= 16) {
      out.b7 = 1;
    }
  }
  return out;
}

Bits dot11b_assemble_header(const Bits& signal, const Bits& service, const Bits& length) {
  Bits out;
  out.reserve(signal.size() + service.size() + length.size() + 16);
  out.insert(out.end(), signal.begin(), signal.end());
  out.insert(out.end(), service.begin(), service.end());
  out.insert(out.end(), length.begin(), length.end());
  const Bits crc = CCITT_CRC16(out);
  out.insert(out.end(), crc.begin(), crc.end());
  return out;
}

void dot11b_check_length_field(const Dot11bLength& len, double numberOfBITS, double DATArate, const char* op) {
  if (len.lengthField.size() <= 16) return;
  uint64_t us = 0;
  for (size_t k = len.lengthField.size(); k-- > 0;) us = 2 * us + len.lengthField[k];
  throw std::invalid_argument(std::string(op) + ": a PSDU of " + Num2Str(numberOfBITS / 8) + " bytes lasts " +
                              std::to_string(us) + " us at " + Num2Str(DATArate) +
                              " Mbit/s, more than the 16-bit LENGTH field holds (65535 us).");
}

Bits Dot11b_HEADER(double numberOfBITS, double DATArate, double highRateMod, double locked) {
  const Bits signal = Dot11b_SIGNAL(DATArate);
  const Dot11bLength len = Dot11b_LENGTH(numberOfBITS, DATArate, highRateMod);
  dot11b_check_length_field(len, numberOfBITS, DATArate, "Dot11b_HEADER");
  const Bits service = Dot11b_SERVICE(locked, highRateMod, len.b5, len.b6, len.b7);
  return dot11b_assemble_header(signal, service, len.lengthField);
}

TARVIO_OP(
    "Dot11b_HEADER", 4, 1,
    [](const Args& in, int) -> std::vector<Value> {
      return {Value::row(Dot11b_HEADER(
          arg_required(in, 0, "Dot11b_HEADER").to_double(), arg_required(in, 1, "Dot11b_HEADER").to_double(),
          arg_required(in, 2, "Dot11b_HEADER").to_double(), arg_required(in, 3, "Dot11b_HEADER").to_double()))};
    },
    "header = Dot11b_HEADER(numberOfBITS, DATArate, highRateMod, locked): 48-bit PLCP header");

TARVIO_OP(
    "Dot11b_SIGNAL", 1, 1,
    [](const Args& in, int) -> std::vector<Value> {
      return {Value::row(Dot11b_SIGNAL(arg_required(in, 0, "Dot11b_SIGNAL").to_double()))};
    },
    "bits = Dot11b_SIGNAL(DATArate): 8-bit SIGNAL field for 1, 2, 5.5 or 11 Mbit/s");

TARVIO_OP(
    "Dot11b_SERVICE", 5, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const char* op = "Dot11b_SERVICE";
      return {Value::row(Dot11b_SERVICE(arg_required(in, 0, op).to_double(), arg_required(in, 1, op).to_double(),
                                        arg_required(in, 2, op).to_double(), arg_required(in, 3, op).to_double(),
                                        arg_required(in, 4, op).to_double()))};
    },
    "bits = Dot11b_SERVICE(locked, mod, b5, b6, b7): 8-bit SERVICE field");

TARVIO_OP(
    "Dot11b_LENGTH", 3, 4,
    [](const Args& in, int) -> std::vector<Value> {
      const char* op = "Dot11b_LENGTH";
      const Dot11bLength r = Dot11b_LENGTH(arg_required(in, 0, op).to_double(), arg_required(in, 1, op).to_double(),
                                           arg_required(in, 2, op).to_double());
      return {Value::row(r.lengthField), Value(double(r.b5)), Value(double(r.b6)), Value(double(r.b7))};
    },
    "[lengthField, b5, b6, b7] = Dot11b_LENGTH(numberOfBITS, DATArate, mod): LENGTH in us and extension bits");

}  // namespace tarvio
