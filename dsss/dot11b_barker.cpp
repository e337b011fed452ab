// Barker spreading of a DSSS symbol row.
#include "dsss/dot11b_barker.h"

#include "runtime/registry.h"

namespace tarvio {

CVec Dot11b_BarkerSpread(const CVec& signal) {
  CVec out;
  out.reserve(signal.size() * kDot11bBarker.size());
  for (const cplx& s : signal)
    for (double c : kDot11bBarker) out.push_back(s * c);
  return out;
}

TARVIO_OP(
    "Dot11b_BarkerSpread", 1, 1,
    [](const Args& in, int) -> std::vector<Value> {
      return {Value::complex_row(Dot11b_BarkerSpread(arg_required(in, 0, "Dot11b_BarkerSpread").to_complex()))};
    },
    "chips = Dot11b_BarkerSpread(symbols): 11 Barker chips per symbol");

}  // namespace tarvio
