// Texts of the entry fields: the display of hexadecimal entries, and
// numbers shown with a fixed count of decimals. Entries are read with
// parse_hex and parse_entry_number and shown with Num2Str (runtime/number_text.h).
#pragma once

#include <optional>
#include <string>

#include "runtime/number_text.h"

namespace tarvio::ui {

using tarvio::parse_hex;
// Upper-case hexadecimal of a whole number >= 0, without leading zeros.
std::string hex_text(double value);
// printf "%.<decimals>f".
std::string fixed_text(double value, int decimals);

}  // namespace tarvio::ui
