// Numbers and texts at the user's edges: the number-to-text rule used by
// instrument commands, entry fields and messages (integers in full, other
// values in %g form with min(12, max(1, ceil(log10|x|) + 4)) significant
// digits), and the reading of an entry field's text as one number.
#pragma once

#include <optional>
#include <string>

namespace tarvio {

std::string Num2Str(double x);
// The whole text as one number, blanks around it allowed; nothing when the
// text is empty, holds more than one number or trailing words, or is NaN.
std::optional<double> parse_entry_number(const std::string& text);
// The whole text (blanks around it allowed) as a hexadecimal number, digits
// 0-9, a-f, A-F; nothing when the text is empty or holds anything else.
// Values above 2^53 are returned as 2^53 (every entry clamps far below).
std::optional<double> parse_hex(const std::string& text);

}  // namespace tarvio
