// The clock-switch description of a 33 Mbit/s ERP-PBCC burst: one 15-bit
// number holding the tail, head and reSync bits sent at 1 Mbit/s between the
// header and the change of symbol clock, with its packing, unpacking and the
// reading of the three hexadecimal entries that edit it.
//
// Written as 15 binary digits, most significant first, the number holds
//   tail   (digits 1-3,  3 bits, default 7   = "111"),
//   head   (digits 4-6,  3 bits, default 0   = "000"),
//   reSync (digits 7-15, 9 bits, default 11D = "100011101"),
// so the default is 0x711D = 28957. The digits are also the transmission
// order of the 15 clock-switch bits (IEEE 802.11g, ERP-PBCC 33 Mbit/s).
#pragma once

#include <string>

#include "runtime/types.h"

namespace tarvio {

inline constexpr double kDefaultClkStruct = 28957;

struct ClkFields {
  double tail = 7;
  double head = 0;
  double reSync = 0x11D;
};

// Texts of the three entries (hexadecimal, one digit for tail and head,
// three for reSync).
struct ClkEntries {
  std::string txtTail;
  std::string txtHead;
  std::string txtReSync;
};

// The 15 clock-switch bits, first transmitted (most significant) first.
// Throws std::invalid_argument unless clkStruct is a whole number 0..32767.
Bits clk_struct_bits(double clkStruct);
// The three fields of clkStruct (same check as clk_struct_bits).
ClkFields clk_struct_split(double clkStruct);
// Packs the fields; each keeps only its low 3, 3 and 9 bits.
double clk_struct_pack(const ClkFields& fields);

// An entry's text read as a hexadecimal number and clamped to 0..limit
// (a text that is not hexadecimal counts as 0).
double read_clk_entry(const std::string& text, double limit);
// Shows a field again: upper-case hexadecimal of `digits` digits.
std::string clk_entry_text(double value, int digits);

// The entry texts for a packed number (the dialog's display of it).
ClkEntries clkStruct2fields(double clkStruct);
// Packs the three entry texts into one number: each entry read as
// hexadecimal, written in binary keeping its last 3, 3 and 9 digits, the
// digits joined tail-head-reSync and read back as one number.
double fields2clkStruct(const ClkEntries& entries);

}  // namespace tarvio
