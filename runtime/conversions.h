// Small conversions shared by the operations and the hosts: bits to and from
// numbers, the clock as a time-stamp text, and the rules for names of
// variables in data files.
#pragma once

#include <string>
#include <vector>

namespace tarvio {

// Each row of bits (rows x cols, column-major) as a number; "right-msb"
// (the default) takes the first column as the least significant bit,
// "left-msb" as the most significant. Throws std::invalid_argument for a
// value other than 0 or 1 or another orientation text.
std::vector<double> Bi2de(const std::vector<double>& bits, size_t rows, size_t cols,
                          const std::string& orientation = "right-msb");
// Each whole number >= 0 as a row of `cols` bits (0: as many as the
// largest needs, at least 1), in the same orientations; the result is
// values.size() x cols, column-major. Throws std::invalid_argument for a
// negative or fractional value, or one that needs more than `cols` bits.
std::vector<double> De2bi(const std::vector<double>& values, size_t& cols,
                          const std::string& orientation = "right-msb");

// A clock row [year month day hour minute seconds] as "DDMMMYYYY HH:MM:SS"
// (e.g. "07MAR2024 09:05:02"), the seconds cut to whole ones. Throws
// std::invalid_argument for a row of another length or a month outside
// 1..12.
std::string Clock2str(const std::vector<double>& clock);

// Reserved words that no variable may be named.
const std::vector<std::string>& keywords();
bool Iskeyword(const std::string& word);
// A letter, then letters, digits and underscores, at most 63 characters,
// and no reserved word.
bool Isvarname(const std::string& name);

}  // namespace tarvio
