// Packing and unpacking of the 15-bit clock-switch description and the
// rules of its three hexadecimal entries.
#include "dsss/clk_struct.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <stdexcept>

#include "mac/mac_bits.h"
#include "runtime/registry.h"

namespace tarvio {

namespace {

constexpr double kMaxClkStruct = 32767;  // 2^15 - 1

unsigned checked_clk_struct(double clkStruct) {
  if (!std::isfinite(clkStruct) || clkStruct < 0 || clkStruct > kMaxClkStruct || clkStruct != std::floor(clkStruct))
    throw std::invalid_argument("clkStruct must be a whole number from 0 to 32767 (15 clock-switch bits); got " +
                                std::to_string(clkStruct) + ".");
  return static_cast<unsigned>(clkStruct);
}

// Low `width` bits of a non-negative whole field value.
unsigned low_bits(double value, int width) {
  if (!std::isfinite(value) || value < 0) return 0;
  return static_cast<unsigned>(std::fmod(std::floor(value), std::ldexp(1.0, width)));
}

}  // namespace

Bits clk_struct_bits(double clkStruct) {
  const unsigned v = checked_clk_struct(clkStruct);
  Bits bits(15);
  for (int i = 0; i < 15; ++i) bits[i] = static_cast<uint8_t>((v >> (14 - i)) & 1u);
  return bits;
}

ClkFields clk_struct_split(double clkStruct) {
  const unsigned v = checked_clk_struct(clkStruct);
  return ClkFields{double((v >> 12) & 0x7u), double((v >> 9) & 0x7u), double(v & 0x1FFu)};
}

double clk_struct_pack(const ClkFields& f) {
  return double((low_bits(f.tail, 3) << 12) | (low_bits(f.head, 3) << 9) | low_bits(f.reSync, 9));
}

double read_clk_entry(const std::string& text, double limit) {
  size_t b = 0, e = text.size();
  while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
  double value = 0;
  if (b == e) return 0;
  for (size_t i = b; i < e; ++i) {
    const int c = std::tolower(static_cast<unsigned char>(text[i]));
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else
      return 0;  // not hexadecimal: counts as 0
    value = value * 16 + d;
  }
  return std::min(std::max(value, 0.0), limit);
}

std::string clk_entry_text(double value, int digits) {
  // Field widths in bytes: one hexadecimal digit is half a byte.
  return HexString(value, digits / 2.0);
}

ClkEntries clkStruct2fields(double clkStruct) {
  const ClkFields f = clk_struct_split(clkStruct);
  return ClkEntries{clk_entry_text(f.tail, 1), clk_entry_text(f.head, 1), clk_entry_text(f.reSync, 3)};
}

double fields2clkStruct(const ClkEntries& entries) {
  // Read without clamping: packing keeps the last digits of each field.
  const double big = 1e15;
  return clk_struct_pack(ClkFields{read_clk_entry(entries.txtTail, big), read_clk_entry(entries.txtHead, big),
                                   read_clk_entry(entries.txtReSync, big)});
}

namespace {

// The dialog's handles as seen by the registered forms: a record whose
// fields txtTail, txtHead and txtReSync hold the entry texts.
std::string entry_of(const Record& handles, const char* name) {
  const Value* v = handles.find(name);
  if (!v) throw std::invalid_argument(std::string("clock-switch handles need the entry field '") + name + "'.");
  if (v->is_text()) return v->str();
  if (v->is_record() && v->record().has("String") && v->record().at("String").is_text())
    return v->record().at("String").str();
  throw std::invalid_argument(std::string("clock-switch entry '") + name + "' must hold a text.");
}

void set_entry(Record& handles, const char* name, const std::string& text) {
  Value* v = handles.find(name);
  if (v && v->is_record()) {
    v->record().set("String", Value(text));
    return;
  }
  handles.set(name, Value(text));
}

TARVIO_OP(
    "fields2clkStruct", 1, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const Record& h = arg_required(in, 0, "fields2clkStruct").record();
      return {Value(
          fields2clkStruct(ClkEntries{entry_of(h, "txtTail"), entry_of(h, "txtHead"), entry_of(h, "txtReSync")}))};
    },
    "fields2clkStruct(handles): packs the tail, head and reSync entry texts into the 15-bit clock-switch number");

TARVIO_OP(
    "clkStruct2fields", 2, 1,
    [](const Args& in, int) -> std::vector<Value> {
      Record h = has_arg(in, 0) ? arg_required(in, 0, "clkStruct2fields").record() : Record{};
      const ClkEntries e = clkStruct2fields(arg_required(in, 1, "clkStruct2fields").to_double());
      set_entry(h, "txtTail", e.txtTail);
      set_entry(h, "txtHead", e.txtHead);
      set_entry(h, "txtReSync", e.txtReSync);
      return {Value(std::move(h))};
    },
    "clkStruct2fields(handles, dec): the handles with the three entry texts showing the clock-switch number dec");

}  // namespace

}  // namespace tarvio
