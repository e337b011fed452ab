// OFDM symbol construction from mapped values to the windowed time-domain
// symbol, and the registered Dot11a_SymbolBuild.
#include "ofdm/dot11a_symbol.h"

#include <stdexcept>
#include <string>

#include "dsp/resample.h"
#include "ofdm/dot11a_carrier_mapping.h"
#include "ofdm/dot11a_time_domain.h"
#include "runtime/registry.h"

namespace tarvio {

namespace {

// Positions (0-based, -26 -> 0) of the data sub-carriers in order d1..d48.
struct DataPositions {
  size_t pos[48];
  DataPositions() {
    size_t m = 0;
    for (size_t k = 0; k < 53; ++k) {
      const int sc = static_cast<int>(k) - 26;
      if (sc == 0 || sc == -21 || sc == -7 || sc == 7 || sc == 21) continue;
      pos[m++] = k;
    }
  }
};

const DataPositions& data_positions() {
  static const DataPositions p;
  return p;
}

}  // namespace

const size_t* dot11a_data_carrier_positions() { return data_positions().pos; }

void dot11a_subcarrier_vector(const cplx* d, double p, cplx* out) {
  const size_t* pos = dot11a_data_carrier_positions();
  for (size_t k = 0; k < 53; ++k) out[k] = cplx(0.0, 0.0);
  for (size_t m = 0; m < 48; ++m) out[pos[m]] = d[m];
  out[26 - 21] = p;
  out[26 - 7] = p;
  out[26 + 7] = p;
  out[26 + 21] = -p;
}

Dot11aSymbolBuilder::Dot11aSymbolBuilder(double oversamplingRate, double windowLength, const RVec& subCarrierMask,
                                         double sincComp)
    : os_(dot11a_oversampling(oversamplingRate, "Dot11a_SymbolBuild")),
      w_(dot11a_window_count(windowLength, "Dot11a_SymbolBuild", false)),
      mask_(subCarrierMask),
      freq_(64 * os_),
      time_(64 * os_) {
  if (mask_.size() != 64)
    throw std::invalid_argument("Dot11a_SymbolBuild: the sub-carrier mask must have 64 bins, got " +
                                std::to_string(mask_.size()));
  if (w_ > 64 * os_)
    throw std::invalid_argument("Dot11a_SymbolBuild: the windowing length must not exceed 64 x oversampling = " +
                                std::to_string(64 * os_) + " samples, got " + std::to_string(w_));
  if (sincComp != 0) {
    // SincCompensation divides by the weights; applied to ones it yields
    // their reciprocals, used here as per-bin factors.
    const CVec r = SincCompensation(CVec(64 * os_, cplx(1.0, 0.0)));
    inv_sinc_.resize(r.size());
    for (size_t k = 0; k < r.size(); ++k) inv_sinc_[k] = r[k].real();
  }
}

const DftBuffer& Dot11aSymbolBuilder::period(const cplx* sc) {
  const size_t n = 64 * os_;
  // Bins in inverse-DFT order: sub-carriers 0..26 at bins 0..26, -26..-1 at
  // the last 26 bins (bins 27..37 of the 64 are the guard band, zero), with
  // (OS-1)*64 zeros inserted between the halves.
  for (size_t k = 0; k < n; ++k) freq_[k] = cplx(0.0, 0.0);
  for (size_t k = 0; k < 27; ++k) freq_[k] = sc[26 + k] * mask_[k];
  for (size_t k = 0; k < 26; ++k) freq_[n - 26 + k] = sc[k] * mask_[38 + k];
  if (!inv_sinc_.empty())
    for (size_t k = 0; k < n; ++k) freq_[k] *= inv_sinc_[k];
  inverse_dft(freq_, time_);
  return time_;
}

void Dot11aSymbolBuilder::symbol(const cplx* data48, double pilot, CVec& out) {
  dot11a_subcarrier_vector(data48, pilot, sc_);
  const DftBuffer& t = period(sc_);
  const size_t n = 64 * os_, cp = 16 * os_;
  out.clear();
  out.reserve(n + cp + w_);
  out.insert(out.end(), t.data() + (n - cp), t.data() + n);
  out.insert(out.end(), t.data(), t.data() + n);
  dot11a_window_in_place(out, cp, w_);
}

CVec Dot11a_SymbolBuild(const CVec& data, double pilot, double oversamplingRate, double windowLength,
                        const RVec& subCarrierMask, double sincComp) {
  if (data.size() != 48)
    throw std::invalid_argument("Dot11a_SymbolBuild: 48 data values are needed, got " + std::to_string(data.size()));
  Dot11aSymbolBuilder b(oversamplingRate, windowLength, subCarrierMask, sincComp);
  CVec out;
  b.symbol(data.data(), pilot, out);
  return out;
}

TARVIO_OP(
    "Dot11a_SymbolBuild", 6, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const char* op = "Dot11a_SymbolBuild";
      const CVec d = arg_required(in, 0, op).to_complex();
      return {Value::complex_row(Dot11a_SymbolBuild(
          d, arg_required(in, 1, op).to_double(), arg_required(in, 2, op).to_double(),
          arg_required(in, 3, op).to_double(), arg_required(in, 4, op).to_reals(), arg_double(in, 5, 0)))};
    },
    "samples = Dot11a_SymbolBuild(data, pilot, oversamplingRate, windowLength, subCarrierMask, sincComp)");

}  // namespace tarvio
