// The ERP PLCP header fields of the 22 and 33 Mbit/s ERP-PBCC rates.
#include "dsss/dot11g_header.h"

#include <stdexcept>
#include <string>

#include "dsss/dsss_values.h"
#include "runtime/registry.h"

namespace tarvio {

namespace {

Bits octet_lsb_first(unsigned v) {
  Bits b(8);
  for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>((v >> i) & 1u);
  return b;
}

}  // namespace

Bits Dot11g_SIGNAL(double DATArate) {
  if (DATArate == 1) return octet_lsb_first(0x0A);
  if (DATArate == 2) return octet_lsb_first(0x14);
  if (DATArate == 5.5) return octet_lsb_first(0x37);
  if (DATArate == 11) return octet_lsb_first(0x6E);
  if (DATArate == 22) return octet_lsb_first(0xDC);
  if (DATArate == 33) return octet_lsb_first(0x21);
  throw std::invalid_argument("Dot11g_SIGNAL: data rate " + Num2Str(DATArate) +
                              " Mbit/s has no SIGNAL value; allowed are 1, 2, 5.5, 11, 22 and 33 Mbit/s.");
}

Bits Dot11g_SERVICE(double locked, double mod, double b5, double b6, double b7) {
  return Dot11b_SERVICE(locked, mod, b5, b6, b7);
}

Dot11bLength Dot11g_LENGTH(double numberOfBITS, double DATArate, double mod) {
  return Dot11b_LENGTH(numberOfBITS, DATArate, mod);
}

Bits Dot11g_HEADER(double numberOfBITS, double DATArate, double highRateMod, double locked) {
  const Bits signal = Dot11g_SIGNAL(DATArate);
  const Dot11bLength len = Dot11g_LENGTH(numberOfBITS, DATArate, highRateMod);
  dot11b_check_length_field(len, numberOfBITS, DATArate, "Dot11g_HEADER");
  const Bits service = Dot11g_SERVICE(locked, highRateMod, len.b5, len.b6, len.b7);
  return dot11b_assemble_header(signal, service, len.lengthField);
}

namespace {

TARVIO_OP(
    "Dot11g_HEADER", 4, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const char* op = "Dot11g_HEADER";
      return {Value::row(Dot11g_HEADER(arg_required(in, 0, op).to_double(), arg_required(in, 1, op).to_double(),
                                       arg_required(in, 2, op).to_double(), arg_required(in, 3, op).to_double()))};
    },
    "Dot11g_HEADER(numberOfBITS, DATArate, highRateMod, locked): 48-bit ERP PLCP header");

TARVIO_OP(
    "Dot11g_SIGNAL", 1, 1,
    [](const Args& in, int) -> std::vector<Value> {
      return {Value::row(Dot11g_SIGNAL(arg_required(in, 0, "Dot11g_SIGNAL").to_double()))};
    },
    "Dot11g_SIGNAL(DATArate): 8-bit ERP SIGNAL field (1, 2, 5.5, 11, 22, 33 Mbit/s)");

TARVIO_OP(
    "Dot11g_SERVICE", 5, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const char* op = "Dot11g_SERVICE";
      return {Value::row(Dot11g_SERVICE(arg_required(in, 0, op).to_double(), arg_required(in, 1, op).to_double(),
                                        arg_required(in, 2, op).to_double(), arg_required(in, 3, op).to_double(),
                                        arg_required(in, 4, op).to_double()))};
    },
    "Dot11g_SERVICE(locked, mod, b5, b6, b7): 8-bit SERVICE field");

TARVIO_OP(
    "Dot11g_LENGTH", 3, 4,
    [](const Args& in, int) -> std::vector<Value> {
      const char* op = "Dot11g_LENGTH";
      const Dot11bLength l = Dot11g_LENGTH(arg_required(in, 0, op).to_double(), arg_required(in, 1, op).to_double(),
                                           arg_required(in, 2, op).to_double());
      return {Value::row(l.lengthField), Value(double(l.b5)), Value(double(l.b6)), Value(double(l.b7))};
    },
    "[lengthField, b5, b6, b7] = Dot11g_LENGTH(numberOfBITS, DATArate, mod): LENGTH field and extension bits");

}  // namespace

}  // namespace tarvio
