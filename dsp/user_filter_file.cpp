// User filter file reader: numbers as text, checked against the
// oversampling ratio, with the user-facing error dialogs.
#include "dsp/user_filter_file.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <istream>
#include <string>
#include <vector>

#include "records/state.h"
#include "runtime/registry.h"
#include "runtime/report.h"

namespace tarvio {
namespace {

constexpr size_t kMaxUserTaps = 1000;

std::string full_path(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(path, ec);
  return ec ? path : p.string();
}

// A number as the dialogs show it: integers in full, others in %g form.
std::string number_text(double v) {
  char buf[64];
  if (std::isfinite(v) && v == std::floor(v) && std::abs(v) < 1e15)
    std::snprintf(buf, sizeof buf, "%.0f", v);
  else
    std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

// The numbers of a text stream, read until the end or the first text that
// is not a finite decimal number (like a %g scan, which stops at the first
// mismatch). The stream is read in pieces and only the first `keep`
// numbers are stored, so a file of any size (or a device without end)
// takes constant memory.
struct NumberScan {
  RVec first;        // the first `keep` numbers
  size_t count = 0;  // all numbers read
};

// Whether a word (blanks around it removed) continues with numbers; adds
// them. A word may hold several numbers back to back ("1.5.5" is 1.5 and
// 0.5), as the scan reads them.
bool scan_word(const std::string& word, NumberScan& out, size_t keep) {
  const char* p = word.c_str();
  const char* end = p + word.size();
  while (p < end) {
    // Only decimal notation: no hexadecimal floats, infinities or NaNs,
    // which would make the filter meaningless.
    const char* q = p;
    if (*q == '+' || *q == '-') ++q;
    if (!((*q >= '0' && *q <= '9') || *q == '.')) return false;
    if (q[0] == '0' && (q[1] == 'x' || q[1] == 'X')) return false;
    char* stop = nullptr;
    const double v = std::strtod(p, &stop);
    if (stop == p || !std::isfinite(v)) return false;
    if (out.first.size() < keep) out.first.push_back(v);
    ++out.count;
    p = stop;
  }
  return true;
}

NumberScan read_numbers(std::istream& in, size_t keep) {
  // A word longer than this is no number anyone writes.
  constexpr size_t kMaxWord = 4096;
  NumberScan out;
  std::string word;
  std::vector<char> buf(1 << 16);
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; };
  for (;;) {
    in.read(buf.data(), std::streamsize(buf.size()));
    const size_t got = size_t(in.gcount());
    if (got == 0) break;
    for (size_t k = 0; k < got; ++k) {
      const char c = buf[k];
      if (!blank(c)) {
        if (c == '\0' || word.size() >= kMaxWord) return out;
        word += c;
        continue;
      }
      if (!word.empty() && !scan_word(word, out, keep)) return out;
      word.clear();
    }
  }
  if (!word.empty()) scan_word(word, out, keep);
  return out;
}

}  // namespace

UserFilterFile LoadUserFilterFile(const std::string& path, double overSampling) {
  const std::string shown = full_path(path);
  std::error_code ec;
  std::ifstream in;
  if (!path.empty() && !std::filesystem::is_directory(path, ec)) in.open(path);
  if (!in.is_open()) {
    report_error("File Error", "Could not open\n" + shown);
    return {};
  }
  const NumberScan numbers = read_numbers(in, kMaxUserTaps);
  in.close();

  if (numbers.count == 0) {
    report_error("File Format Error",
                 shown + "\nData is in the wrong format:\n\nExample:\n1.5\n5e-1\n25e-1\n:\nup to 1000 coeffients.");
    return {};
  }
  const double count = static_cast<double>(numbers.count);
  if (std::fmod(count, overSampling) != 0) {  // also refuses a zero or non-finite ratio
    report_error("File Format Error", shown + "\nThe number of coeffients (" + number_text(count) + ") must be a\n" +
                                          "multiple of the Oversampling " + "Ratio: " + number_text(overSampling));
    return {};
  }
  UserFilterFile r;
  r.status = 1;
  r.FilterTaps = count / overSampling;
  r.coeff = numbers.first;
  return r;
}

TARVIO_OP(
    "LoadUserFilterFile", 1, 2,
    [](const Args& in, int) -> std::vector<Value> {
      const UserFilterFile r = LoadUserFilterFile(arg_text(in, 0, ""), state().parameters.OverSampling);
      if (r.status == 1) state().parameters.FilterTaps = r.FilterTaps;
      return {Value(r.status), r.coeff.empty() ? Value() : Value::row(r.coeff)};
    },
    "[status, coeff] = LoadUserFilterFile(path): reads filter taps from a text file; sets parameters.FilterTaps");

}  // namespace tarvio
