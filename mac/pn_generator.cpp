// PN sequence generator: the tap table per order, seed rules, inversion and
// the optional zero-run limit of order 20.
#include "mac/pn_generator.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "mac/lfsr.h"
#include "runtime/memory_check.h"
#include "runtime/number_text.h"
#include "runtime/registry.h"

namespace tarvio {
namespace {

struct PnPoly {
  std::vector<int> powers;  // the feedback polynomial's powers besides 0
  bool inv;                 // complemented as standard
};

PnPoly poly_for(int n, bool zero_suppression) {
  switch (n) {
    case 3:
      return {{3, 1}, false};
    case 4:
      return {{4, 1}, false};
    case 5:
      return {{5, 2}, false};
    case 6:
      return {{6, 1}, false};
    case 7:
      return {{7, 1}, false};
    case 8:
      return {{8, 4, 3, 2}, false};
    case 9:
      return {{9, 5}, false};
    case 10:
      return {{10, 3}, false};
    case 11:
      return {{11, 9}, false};
    case 12:
      return {{12, 6, 4, 1}, false};
    case 13:
      return {{13, 4, 3, 1}, false};
    case 14:
      return {{14, 12, 2, 1}, false};
    case 15:
      return {{15, 14}, true};
    case 16:
      return {{16, 12, 3, 1}, false};
    case 17:
      return {{17, 3}, false};
    case 18:
      return {{18, 7}, false};
    case 19:
      return {{19, 5, 2, 1}, false};
    case 20:
      return zero_suppression ? PnPoly{{20, 17}, false} : PnPoly{{20, 3}, false};
    case 21:
      return {{21, 2}, false};
    case 22:
      return {{22, 1}, false};
    case 23:
      return {{23, 18}, true};
    case 24:
      return {{24, 7, 2}, false};
    case 25:
      return {{25, 3}, false};
    case 26:
      return {{26, 6, 2, 1}, false};
    case 27:
      return {{27, 5, 2, 1}, false};
    case 28:
      return {{28, 3}, false};
    case 29:
      return {{29, 27}, true};
    case 30:
      return {{30, 23, 2, 1}, false};
    case 31:
      return {{31, 28}, true};
    default:
      return {{9, 5}, false};
  }
}

}  // namespace

Bits PNgenerator(std::optional<double> n_arg, std::optional<double> len_arg, double userInvert,
                 const std::optional<std::vector<double>>& seed_arg, double zeroSuppresion) {
  double nd = n_arg.value_or(9.0);
  if (std::isnan(nd)) nd = 9.0;
  nd = std::clamp(nd, 3.0, 31.0);
  const int n = nd == std::floor(nd) ? static_cast<int>(nd) : 9;

  double len = len_arg.value_or(std::ldexp(1.0, n) - 1);
  if (std::isnan(len)) len = std::ldexp(1.0, n) - 1;
  len = std::max(std::floor(len), 1.0);
  if (len > 4e9) throw std::invalid_argument("PNgenerator: the sequence length is too large.");
  const size_t length = static_cast<size_t>(len);

  const bool invert_user = userInvert == 1;
  const bool suppress = zeroSuppresion == 1 && n == 20;

  Bits seed(static_cast<size_t>(n), 1);
  if (seed_arg) {
    const std::vector<double>& s = *seed_arg;
    if (s.size() == 1) {
      if (s[0] != 0) {
        std::fill(seed.begin(), seed.end(), 0);
        seed.back() = 1;
      }
    } else if (s.size() >= static_cast<size_t>(n)) {
      bool any = false;
      for (int i = 0; i < n; ++i) {
        seed[static_cast<size_t>(i)] = s[static_cast<size_t>(i)] != 0 ? 1 : 0;
        any = any || seed[static_cast<size_t>(i)];
      }
      if (!any) seed.back() = 1;
    }
  }

  // Coefficient row: ones at the listed powers, reversed, plus a final 1.
  const PnPoly poly = poly_for(n, suppress);
  std::vector<double> t(static_cast<size_t>(n) + 1, 0.0);
  for (int p : poly.powers) t[static_cast<size_t>(n - p)] = 1.0;
  t.back() = 1.0;

  Bits seq = Lfsr(n, t, length, seed);
  if (suppress && seq.size() >= 15) {
    // Limit zero runs to 14: a 15-bit all-zero window gets its last bit set;
    // later windows see the correction. `run` counts the zeros ending at i.
    size_t run = 0;
    for (size_t i = 0; i < seq.size(); ++i) {
      run = seq[i] ? 0 : run + 1;
      if (run == 15) {
        seq[i] = 1;
        run = 0;
      }
    }
  }
  if (poly.inv != invert_user)
    for (auto& b : seq) b ^= 1;
  seq.resize(length);
  return seq;
}

// ---- registered operation -----------------------------------------------

// A given argument must be a number: a text is a mistake, not a request for
// the default (a numeric row still gives the default, as documented).
static void require_number(const Args& in, size_t i, const char* name) {
  if (i < in.size() && !in[i].is_numeric())
    throw std::invalid_argument(std::string("PNgenerator: ") + name + " must be a number, not a " + in[i].kind_name() +
                                (in[i].is_text() ? " ('" + in[i].str() + "')" : std::string()));
}

TARVIO_OP(
    "PNgenerator", 5, 1,
    [](const Args& in, int) -> std::vector<Value> {
      require_number(in, 0, "n");
      require_number(in, 1, "dataLength");
      require_number(in, 2, "userInvert");
      require_number(in, 4, "zeroSuppresion");
      auto scalar_or_default = [&](size_t i) -> std::optional<double> {
        if (!has_arg(in, i) || !in[i].is_numeric() || in[i].numel() != 1) return std::nullopt;
        return in[i].to_double();
      };
      if (const std::optional<double> len = scalar_or_default(1)) {
        if (!(*len >= 0) || *len != std::floor(*len))
          throw std::invalid_argument("PNgenerator: dataLength must be a whole number of bits, not " + Num2Str(*len));
        check_memory("PNgenerator", *len, 9);  // the bits and their row
      }
      const double inv = has_arg(in, 2) && in[2].is_numeric() && in[2].numel() == 1 ? in[2].to_double() : 0.0;
      std::optional<std::vector<double>> seed;
      if (has_arg(in, 3)) seed = in[3].to_reals();
      const double zs = has_arg(in, 4) && in[4].is_numeric() && in[4].numel() == 1 ? in[4].to_double() : 0.0;
      return {Value::row(PNgenerator(scalar_or_default(0), scalar_or_default(1), inv, seed, zs))};
    },
    "sequence = PNgenerator(n, dataLength, userInvert, seed, zeroSuppresion): PN sequence of order n");

}  // namespace tarvio
