// Command-line argument handling shared by the tarvio-cli commands.
#include "hosts/cli/cli_args.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "hosts/cli/cli_command.h"
#include "files/waveform_file.h"
#include "runtime/matfile.h"

namespace tarvio::cli {

ParsedArgs parse_args(const std::vector<std::string>& args, const std::vector<std::string>& value_options,
                      const std::vector<std::string>& flag_options) {
  auto listed = [](const std::vector<std::string>& l, const std::string& s) {
    return std::find(l.begin(), l.end(), s) != l.end();
  };
  ParsedArgs out;
  bool options_done = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (options_done || a.size() < 2 || a.compare(0, 2, "--") != 0) {
      out.positional.push_back(a);
      continue;
    }
    if (a == "--") {
      options_done = true;
      continue;
    }
    std::string name = a, value;
    bool inline_value = false;
    if (auto eq = a.find('='); eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      inline_value = true;
    }
    if (listed(value_options, name)) {
      if (!inline_value) {
        if (i + 1 >= args.size()) throw UsageError("option " + name + " needs a value");
        value = args[++i];
      }
      if (value.empty()) throw UsageError("option " + name + " needs a value, not an empty text");
      out.options[name] = value;
    } else if (listed(flag_options, name) && !inline_value) {
      out.options[name] = "";
    } else {
      throw UsageError("unknown option " + a);
    }
  }
  return out;
}

double parse_sample_rate(const std::string& option, const std::string& text) {
  char* end = nullptr;
  const double hz = std::strtod(text.c_str(), &end);
  if (text.empty() || !end || *end) throw UsageError(option + " " + text + ": a number of Hz, e.g. 40e6");
  const std::string why = capture_rate_problem(hz);
  if (!why.empty()) throw UsageError(option + " " + text + ": " + why);
  return hz;
}

int parse_count(const std::string& text, const std::string& what) {
  std::optional<cplx> n = parse_number(text);
  if (!n || n->imag() != 0 || n->real() < 0 || n->real() != std::floor(n->real()) || n->real() > 1e6)
    throw UsageError(what + " must be a whole number 0 or more, not '" + text + "'");
  return static_cast<int>(n->real());
}

namespace {

bool iequals(const std::string& a, const char* b) {
  std::string l = a;
  std::transform(l.begin(), l.end(), l.begin(), [](unsigned char c) { return std::tolower(c); });
  return l == b;
}

// A real number in decimal or 0x hexadecimal notation, the whole text.
std::optional<double> parse_real(const std::string& t) {
  if (t.empty()) return std::nullopt;
  size_t start = (t[0] == '+' || t[0] == '-') ? 1 : 0;
  double sign = t[0] == '-' ? -1.0 : 1.0;
  std::string body = t.substr(start);
  if (body.empty()) return std::nullopt;
  if (iequals(body, "inf")) return sign * std::numeric_limits<double>::infinity();
  if (iequals(body, "nan")) return std::numeric_limits<double>::quiet_NaN();
  if (body.size() > 2 && body[0] == '0' && (body[1] == 'x' || body[1] == 'X')) {
    std::string hex = body.substr(2);
    if (!std::all_of(hex.begin(), hex.end(), [](unsigned char c) { return std::isxdigit(c) != 0; }) || hex.size() > 16)
      return std::nullopt;
    return sign * static_cast<double>(std::strtoull(hex.c_str(), nullptr, 16));
  }
  // Decimal: digits, an optional point, an optional exponent; nothing else
  // (strtod alone would also take hexadecimal floats and leading blanks).
  size_t i = 0, digits = 0;
  while (i < body.size() && std::isdigit(static_cast<unsigned char>(body[i]))) ++i, ++digits;
  if (i < body.size() && body[i] == '.') {
    ++i;
    while (i < body.size() && std::isdigit(static_cast<unsigned char>(body[i]))) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
    ++i;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) ++i;
    size_t exp_digits = 0;
    while (i < body.size() && std::isdigit(static_cast<unsigned char>(body[i]))) ++i, ++exp_digits;
    if (exp_digits == 0) return std::nullopt;
  }
  if (i != body.size()) return std::nullopt;
  double x = std::strtod(body.c_str(), nullptr);
  return sign * x;
}

}  // namespace

std::optional<cplx> parse_number(const std::string& t) {
  if (auto r = parse_real(t)) return cplx(*r, 0.0);
  if (t.size() < 2 || (t.back() != 'i' && t.back() != 'j')) return std::nullopt;
  std::string body = t.substr(0, t.size() - 1);
  // Pure imaginary: "2i", "-0.5j".
  if (auto im = parse_real(body)) return cplx(0.0, *im);
  // "a+bi" / "a-bi": split at the last sign that is not an exponent's.
  for (size_t k = body.size(); k-- > 1;) {
    if ((body[k] == '+' || body[k] == '-') && body[k - 1] != 'e' && body[k - 1] != 'E') {
      auto re = parse_real(body.substr(0, k));
      std::string im_text = body.substr(k);
      if (im_text == "+" || im_text == "-") im_text += "1";
      auto im = parse_real(im_text);
      if (re && im) return cplx(*re, *im);
      return std::nullopt;
    }
  }
  return std::nullopt;
}

namespace {

Value parse_matrix(const std::string& text) {
  std::string inner = text.substr(1, text.size() - 2);
  std::vector<std::vector<cplx>> rows;
  bool complex = false;
  size_t start = 0;
  while (true) {
    size_t end = inner.find(';', start);
    std::string row_text = inner.substr(start, end == std::string::npos ? std::string::npos : end - start);
    std::vector<cplx> row;
    std::string word;
    auto flush = [&] {
      if (word.empty()) return;
      std::optional<cplx> z = parse_number(word);
      if (!z) throw UsageError("'" + word + "' in " + text + " is not a number");
      complex = complex || z->imag() != 0 || word.back() == 'i' || word.back() == 'j';
      row.push_back(*z);
      word.clear();
    };
    for (char c : row_text) {
      if (std::isspace(static_cast<unsigned char>(c)) || c == ',')
        flush();
      else
        word += c;
    }
    flush();
    rows.push_back(std::move(row));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  // A trailing ";" leaves an empty last row; drop empty rows at the end.
  while (!rows.empty() && rows.back().empty() && rows.size() > 1) rows.pop_back();
  size_t nr = rows.size(), nc = rows.empty() ? 0 : rows[0].size();
  for (const auto& r : rows)
    if (r.size() != nc) throw UsageError("the rows of " + text + " differ in length");
  if (nc == 0) return Value();
  std::vector<cplx> data(nr * nc);
  for (size_t r = 0; r < nr; ++r)
    for (size_t c = 0; c < nc; ++c) data[c * nr + r] = rows[r][c];  // column-major
  if (complex) return Value::complex(nr, nc, std::move(data));
  std::vector<double> re(data.size());
  for (size_t i = 0; i < data.size(); ++i) re[i] = data[i].real();
  return Value::real(nr, nc, std::move(re));
}

Value parse_mat_reference(const std::string& ref) {
  std::string file = ref, var;
  if (auto colon = ref.rfind(':'); colon != std::string::npos && colon > 0) {
    std::string before = ref.substr(0, colon);
    if (before.size() > 4 && iequals(before.substr(before.size() - 4), ".mat")) {
      file = before;
      var = ref.substr(colon + 1);
    }
  }
  if (!var.empty()) return mat_read_var(file, var);
  MatVars vars = mat_read(file);
  if (vars.size() == 1) return vars[0].second;
  std::string names;
  for (const auto& [n, v] : vars) names += (names.empty() ? "" : ", ") + n;
  throw UsageError("@" + file + " holds " + std::to_string(vars.size()) + " variables (" + names + "); name one as @" +
                   file + ":VAR");
}

}  // namespace

Value parse_value(const std::string& text) {
  if (auto z = parse_number(text))
    return z->imag() != 0 || text.back() == 'i' || text.back() == 'j' ? Value::complex(1, 1, {*z}) : Value(z->real());
  if (text.size() >= 2 && text.front() == '[' && text.back() == ']') return parse_matrix(text);
  if (text.size() >= 2 && text.front() == '\'' && text.back() == '\'') return Value(text.substr(1, text.size() - 2));
  if (text.size() > 1 && text.front() == '@') return parse_mat_reference(text.substr(1));
  return Value(text);
}

}  // namespace tarvio::cli
