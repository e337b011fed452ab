// Bits and numbers, clock texts and variable names, and their registration.
#include "runtime/conversions.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "runtime/number_text.h"
#include "runtime/registry.h"

namespace tarvio {

namespace {

bool left_msb(const std::string& orientation) {
  if (orientation == "right-msb") return false;
  if (orientation == "left-msb") return true;
  throw std::invalid_argument("the bit orientation must be 'right-msb' or 'left-msb', not '" + orientation + "'");
}

}  // namespace

std::vector<double> Bi2de(const std::vector<double>& bits, size_t rows, size_t cols, const std::string& orientation) {
  const bool msb_first = left_msb(orientation);
  if (cols > 53) throw std::invalid_argument("Bi2de: more than 53 bits do not fit a number exactly");
  std::vector<double> out(rows, 0.0);
  for (size_t r = 0; r < rows; ++r) {
    double v = 0;
    for (size_t k = 0; k < cols; ++k) {
      const size_t c = msb_first ? k : cols - 1 - k;  // most significant first
      const double b = bits[c * rows + r];
      if (b != 0 && b != 1) throw std::invalid_argument("Bi2de: the bits must be 0 or 1, got " + Num2Str(b));
      v = v * 2 + b;
    }
    out[r] = v;
  }
  return out;
}

std::vector<double> De2bi(const std::vector<double>& values, size_t& cols, const std::string& orientation) {
  const bool msb_first = left_msb(orientation);
  size_t need = 1;
  for (double v : values) {
    if (!(v >= 0) || v != std::floor(v) || v > 9007199254740992.0)
      throw std::invalid_argument("De2bi: the values must be whole numbers from 0 to 2^53, got " + Num2Str(v));
    while (need < 54 && v >= std::ldexp(1.0, static_cast<int>(need))) ++need;
  }
  if (cols == 0) cols = need;
  if (cols < need) throw std::invalid_argument("De2bi: " + Num2Str(double(cols)) + " bits are too few for the values");
  const size_t rows = values.size();
  std::vector<double> out(rows * cols, 0.0);
  for (size_t r = 0; r < rows; ++r) {
    double v = values[r];
    for (size_t k = 0; k < cols; ++k) {  // least significant first
      const double bit = std::fmod(v, 2.0);
      v = std::floor(v / 2);
      const size_t c = msb_first ? cols - 1 - k : k;
      out[c * rows + r] = bit;
    }
  }
  return out;
}

std::string Clock2str(const std::vector<double>& c) {
  static const char* kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  if (c.size() != 6)
    throw std::invalid_argument("Clock2str: the clock row needs 6 values, got " + Num2Str(double(c.size())));
  const int month = static_cast<int>(c[1]);
  if (month < 1 || month > 12) throw std::invalid_argument("Clock2str: month " + Num2Str(c[1]) + " is not 1..12");
  char b[64];
  std::snprintf(b, sizeof b, "%02d%s%04d %02d:%02d:%02d", static_cast<int>(c[2]), kMonths[month - 1],
                static_cast<int>(c[0]), static_cast<int>(c[3]), static_cast<int>(c[4]),
                static_cast<int>(std::floor(c[5])));
  return b;
}

const std::vector<std::string>& keywords() {
  static const std::vector<std::string> k = {
      "break",  "case", "catch",     "classdef", "continue",   "else",   "elseif", "end",    "for", "function",
      "global", "if",   "otherwise", "parfor",   "persistent", "return", "spmd",   "switch", "try", "while"};
  return k;
}

bool Iskeyword(const std::string& word) {
  const auto& k = keywords();
  return std::find(k.begin(), k.end(), word) != k.end();
}

bool Isvarname(const std::string& name) {
  if (name.empty() || name.size() > 63 || !std::isalpha(static_cast<unsigned char>(name[0]))) return false;
  for (char ch : name)
    if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '_') return false;
  return !Iskeyword(name);
}

// ---- registered operations ----------------------------------------------

TARVIO_OP(
    "Bi2de", 2, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const Value& b = arg_required(in, 0, "Bi2de");
      std::vector<double> d = Bi2de(b.to_reals(), b.rows(), b.cols(), arg_text(in, 1, "right-msb"));
      const size_t n = d.size();
      return {Value::real(n, 1, std::move(d))};
    },
    "d = Bi2de(b[, 'right-msb'|'left-msb']): each row of bits as a number (first column least significant)");

TARVIO_OP(
    "De2bi", 3, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const Value& d = arg_required(in, 0, "De2bi");
      // The second argument is the bit count or, when text, the orientation.
      size_t cols = 0;
      std::string orientation = "right-msb";
      if (has_arg(in, 1)) {
        if (in[1].is_text())
          orientation = in[1].str();
        else
          cols = static_cast<size_t>(std::max(0.0, in[1].to_double()));
      }
      if (has_arg(in, 2)) orientation = in[2].str();
      std::vector<double> bits = De2bi(d.to_reals(), cols, orientation);
      return {Value::real(d.numel(), cols, std::move(bits))};
    },
    "b = De2bi(d[, n][, 'right-msb'|'left-msb']): each number as a row of n bits (first column least significant)");

TARVIO_OP(
    "Num2Str", 1, 1,
    [](const Args& in, int) -> std::vector<Value> {
      return {Value(Num2Str(arg_required(in, 0, "Num2Str").to_double()))};
    },
    "text = Num2Str(x): integers in full, other values with up to 12 significant digits");

TARVIO_OP(
    "Clock2str", 1, 1,
    [](const Args& in, int) -> std::vector<Value> {
      return {Value(Clock2str(arg_required(in, 0, "Clock2str").to_reals()))};
    },
    "text = Clock2str(clock): [year month day hour minute seconds] as DDMMMYYYY HH:MM:SS");

TARVIO_OP(
    "Isvarname", 1, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const Value& v = arg_required(in, 0, "Isvarname");
      return {Value(v.is_text() && Isvarname(v.str()) ? 1.0 : 0.0)};
    },
    "tf = Isvarname(text): 1 when the text can name a variable in a data file");

TARVIO_OP(
    "Iskeyword", 1, 1,
    [](const Args& in, int) -> std::vector<Value> {
      if (!has_arg(in, 0)) {
        std::vector<Value> list;
        for (const std::string& k : keywords()) list.emplace_back(k);
        return {Value::list(std::move(list))};
      }
      return {Value(in[0].is_text() && Iskeyword(in[0].str()) ? 1.0 : 0.0)};
    },
    "tf = Iskeyword(text): 1 for a reserved word; without an argument the list of reserved words");

}  // namespace tarvio
