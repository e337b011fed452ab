// Texts of the entry fields: hexadecimal entries and their display, and
// numbers shown with a fixed count of decimals. Decimal entries are read
// with parse_entry_number and shown with Num2Str (runtime/number_text.h).
#pragma once

#include <optional>
#include <string>

namespace tarvio::ui {

// The whole text (blanks around it allowed) as a hexadecimal number, digits
// 0-9, a-f, A-F; nothing when the text is empty or holds anything else.
// Values above 2^53 are returned as 2^53 (every entry clamps far below).
std::optional<double> parse_hex(const std::string& text);
// Upper-case hexadecimal of a whole number >= 0, without leading zeros.
std::string hex_text(double value);
// printf "%.<decimals>f".
std::string fixed_text(double value, int decimals);

}  // namespace tarvio::ui
