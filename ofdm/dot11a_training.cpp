// Short and long training fields of the OFDM preamble, and their registered
// operations.
#include "ofdm/dot11a_training.h"

#include <cmath>

#include "ofdm/dot11a_symbol.h"
#include "ofdm/dot11a_time_domain.h"
#include "runtime/registry.h"

namespace tarvio {

const CVec& dot11a_short_sequence() {
  static const CVec s = [] {
    static const int v[53] = {0, 0, 1, 0,  0, 0, -1, 0,  0, 0, 1, 0, 0, 0, -1, 0, 0, 0, -1, 0, 0, 0, 1, 0, 0, 0, 0,
                              0, 0, 0, -1, 0, 0, 0,  -1, 0, 0, 0, 1, 0, 0, 0,  1, 0, 0, 0,  1, 0, 0, 0, 1, 0, 0};
    const double g = std::sqrt(13.0 / 6.0);
    CVec out(53);
    for (size_t k = 0; k < 53; ++k) out[k] = g * v[k] * cplx(1.0, 1.0);
    return out;
  }();
  return s;
}

const CVec& dot11a_long_sequence() {
  static const CVec l = [] {
    static const int v[53] = {1,  1,  -1, -1, 1,  1, -1, 1,  -1, 1, 1,  1,  1,  1, 1,  -1, -1, 1,
                              1,  -1, 1,  -1, 1,  1, 1,  1,  0,  1, -1, -1, 1,  1, -1, 1,  -1, 1,
                              -1, -1, -1, -1, -1, 1, 1,  -1, -1, 1, -1, 1,  -1, 1, 1,  1,  1};
    CVec out(53);
    for (size_t k = 0; k < 53; ++k) out[k] = cplx(v[k], 0.0);
    return out;
  }();
  return l;
}

namespace {

// Appends t[from .. to) to out.
void append(CVec& out, const DftBuffer& t, size_t from, size_t to) {
  out.insert(out.end(), t.data() + from, t.data() + to);
}

CVec short_field(Dot11aSymbolBuilder& b) {
  const DftBuffer& t = b.period(dot11a_short_sequence().data());
  const size_t n = b.dft_size();
  CVec out;
  out.reserve(5 * n / 2 + b.window());
  append(out, t, 0, n);
  append(out, t, 0, n);
  append(out, t, 0, n / 2);
  dot11a_window_in_place(out, 0, b.window());
  return out;
}

CVec long_field(Dot11aSymbolBuilder& b) {
  const DftBuffer& t = b.period(dot11a_long_sequence().data());
  const size_t n = b.dft_size();
  CVec out;
  out.reserve(5 * n / 2 + b.window());
  append(out, t, n / 2, n);
  append(out, t, 0, n);
  append(out, t, 0, n);
  dot11a_window_in_place(out, n / 2, b.window());  // repeated samples follow the 32*OS guard
  return out;
}

CVec training_op(const Args& in, const char* op, CVec (*f)(double, double, const RVec&, double)) {
  return f(arg_required(in, 0, op).to_double(), arg_required(in, 1, op).to_double(), arg_required(in, 2, op).to_reals(),
           arg_double(in, 3, 0));
}

}  // namespace

CVec Dot11a_ShortSeq(double oversamplingRate, double windowLength, const RVec& subCarrierMask, double sincComp) {
  Dot11aSymbolBuilder b(oversamplingRate, windowLength, subCarrierMask, sincComp);
  return short_field(b);
}

CVec Dot11a_LongSeq(double oversamplingRate, double windowLength, const RVec& subCarrierMask, double sincComp) {
  Dot11aSymbolBuilder b(oversamplingRate, windowLength, subCarrierMask, sincComp);
  return long_field(b);
}

CVec Dot11a_SYNC(double oversamplingRate, double windowingLength, const RVec& subCarrierMask, double sincCompensation) {
  Dot11aSymbolBuilder b(oversamplingRate, windowingLength, subCarrierMask, sincCompensation);
  CVec out = short_field(b);
  const CVec lf = long_field(b);
  out.reserve(out.size() + lf.size());
  dot11a_stitch_append(out, lf.data(), lf.size(), b.window());
  return out;
}

TARVIO_OP(
    "Dot11a_ShortSeq", 4, 1,
    [](const Args& in, int) -> std::vector<Value> {
      return {Value::complex_row(training_op(in, "Dot11a_ShortSeq", &Dot11a_ShortSeq))};
    },
    "samples = Dot11a_ShortSeq(oversamplingRate, windowLength, subCarrierMask, sincComp): short training field");

TARVIO_OP(
    "Dot11a_LongSeq", 4, 1,
    [](const Args& in, int) -> std::vector<Value> {
      return {Value::complex_row(training_op(in, "Dot11a_LongSeq", &Dot11a_LongSeq))};
    },
    "samples = Dot11a_LongSeq(oversamplingRate, windowLength, subCarrierMask, sincComp): long training field");

TARVIO_OP(
    "Dot11a_SYNC", 4, 1,
    [](const Args& in, int) -> std::vector<Value> {
      return {Value::complex_row(training_op(in, "Dot11a_SYNC", &Dot11a_SYNC))};
    },
    "samples = Dot11a_SYNC(oversamplingRate, windowingLength, subCarrierMask, sincCompensation): 16 us preamble");

}  // namespace tarvio
