// User filter file reader: numbers as text, checked against the
// oversampling ratio, with the user-facing error dialogs.
#include "dsp/user_filter_file.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

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

// Reads numbers until the end or the first text that is not a finite
// decimal number (like a %g scan, which stops at the first mismatch).
RVec read_numbers(const std::string& text) {
  RVec out;
  const char* p = text.c_str();
  for (;;) {
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v') ++p;
    if (*p == '\0') break;
    // Only decimal notation: no hexadecimal floats, infinities or NaNs,
    // which would make the filter meaningless.
    const char* q = p;
    if (*q == '+' || *q == '-') ++q;
    if (!((*q >= '0' && *q <= '9') || *q == '.')) break;
    if (q[0] == '0' && (q[1] == 'x' || q[1] == 'X')) break;
    char* end = nullptr;
    const double v = std::strtod(p, &end);
    if (end == p || !std::isfinite(v)) break;
    out.push_back(v);
    p = end;
  }
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
  std::ostringstream buf;
  buf << in.rdbuf();
  const RVec numbers = read_numbers(buf.str());
  in.close();

  if (numbers.empty()) {
    report_error("File Format Error",
                 shown + "\nData is in the wrong format:\n\nExample:\n1.5\n5e-1\n25e-1\n:\nup to 1000 coeffients.");
    return {};
  }
  const double count = static_cast<double>(numbers.size());
  if (std::fmod(count, overSampling) != 0) {  // also refuses a zero or non-finite ratio
    report_error("File Format Error", shown + "\nThe number of coeffients (" + number_text(count) + ") must be a\n" +
                                          "multiple of the Oversampling " + "Ratio: " + number_text(overSampling));
    return {};
  }
  UserFilterFile r;
  r.status = 1;
  r.FilterTaps = count / overSampling;
  const size_t kept = std::min(numbers.size(), kMaxUserTaps);
  r.coeff.assign(numbers.begin(), numbers.begin() + static_cast<std::ptrdiff_t>(kept));
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
