// Command-line argument handling shared by the tarvio-cli commands: options
// with and without values, counts, and values written on the command line
// (numbers, hexadecimal, complex numbers, rows and matrices, variables from
// MAT files, texts).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "runtime/types.h"
#include "runtime/value.h"

namespace tarvio::cli {

struct ParsedArgs {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;  // "--out" -> "d.mat"; flags map to ""
  bool has(const std::string& opt) const { return options.count(opt) != 0; }
  std::string get(const std::string& opt, const std::string& def = "") const {
    auto it = options.find(opt);
    return it == options.end() ? def : it->second;
  }
};

// Splits arguments into positional ones and options. `value_options` take a
// value (`--out FILE` or `--out=FILE`), `flag_options` none. Any other word
// starting with "--" is refused (UsageError); "--" alone ends the options.
// Words starting with a single '-' (negative numbers) are positional.
ParsedArgs parse_args(const std::vector<std::string>& args, const std::vector<std::string>& value_options,
                      const std::vector<std::string>& flag_options = {});

// A whole number >= 0 (UsageError naming `what` otherwise).
int parse_count(const std::string& text, const std::string& what);

// --sample-rate HZ (or another option naming a capture's rate): a number
// of Hz within the rates an IEEE 802.11 capture can have (UsageError with
// the range otherwise).
double parse_sample_rate(const std::string& option, const std::string& text);

// A number: decimal (1, -2.5, 1e-3, Inf, NaN), hexadecimal integer (0x1F,
// -0x10), or complex (2i, 1+2i, 1.5-0.5j). Empty when the text is no number.
std::optional<cplx> parse_number(const std::string& text);

// An operation argument as written on the command line:
//   number (see parse_number)             -> real or complex scalar
//   [1 0 1 1], [1, 2+1i], [1 2; 3 4], []  -> real or complex row or matrix
//   @FILE.mat:VAR                         -> variable VAR of the MAT file
//   @FILE.mat                             -> the file's only variable
//   'text'                                -> the text between the quotes
//   anything else                         -> the text itself
// Throws UsageError for a malformed row and std::runtime_error for a MAT
// file that cannot be read.
Value parse_value(const std::string& text);

}  // namespace tarvio::cli
