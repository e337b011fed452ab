// Raw 16-bit sample files from memory or streamed from the packet file, and
// the operation saveBriscaWaveform.
#include "files/raw_waveform.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

#include "runtime/output_file.h"
#include "runtime/registry.h"

namespace tarvio {

namespace {

constexpr double kHalf = 32768;  // 2^(16-1), also the zero offset

struct Extremes {
  double mx = 0;
  double mn = std::numeric_limits<double>::infinity();
  void add(double v) {
    const double a = std::fabs(v);
    if (a > mx) mx = a;
    if (a < mn) mn = a;
  }
  double smallest() const { return std::isinf(mn) ? 0 : mn; }
};

void put_words(const RawWordEncoder& enc, const double* i, const double* q, size_t n, std::vector<uint8_t>& out) {
  out.resize(4 * n);
  for (size_t k = 0; k < n; ++k) {
    const uint16_t wi = enc.word(i[k]), wq = enc.word(q[k]);
    out[4 * k + 0] = uint8_t(wi >> 8);
    out[4 * k + 1] = uint8_t(wi);
    out[4 * k + 2] = uint8_t(wq >> 8);
    out[4 * k + 3] = uint8_t(wq);
  }
}

}  // namespace

RawWordEncoder::RawWordEncoder(double mx, double mn, double scale) {
  const double s = std::clamp(std::isnan(scale) ? 1.0 : scale, 0.00001, 1.0);
  if (mx != mn && mx > 0 && std::isfinite(mx)) factor_ = (kHalf - 2) * s / mx;
}

uint16_t RawWordEncoder::word(double v) const {
  const double w = round_half_away(v * factor_) + kHalf;
  if (std::isnan(w)) return uint16_t(kHalf);
  return uint16_t(std::clamp(w, 0.0, 65535.0));
}

bool SaveBriscaWaveform(const CVec& wave, const std::string& filename, const std::string& model, double scale) {
  (void)model;  // the instrument model does not change the bytes
  Extremes ex;
  for (const cplx& s : wave) {
    ex.add(s.real());
    ex.add(s.imag());
  }
  const RawWordEncoder enc(ex.mx, ex.smallest(), scale);
  try {
    std::vector<double> i(wave.size()), q(wave.size());
    for (size_t k = 0; k < wave.size(); ++k) {
      i[k] = wave[k].real();
      q[k] = wave[k].imag();
    }
    std::vector<uint8_t> bytes;
    put_words(enc, i.data(), q.data(), wave.size(), bytes);
    OutputFile out(filename);
    out.write(bytes.data(), bytes.size());
    out.commit();
    return true;
  } catch (const std::runtime_error&) {
    return false;
  }
}

void write_raw_from_packets(const PacketSource& src, const std::string& filename, double scale) {
  Extremes ex;
  walk_packets(src, [&](const double* i, const double* q, const uint8_t*, size_t n, size_t) {
    for (size_t k = 0; k < n; ++k) {
      ex.add(i[k]);
      ex.add(q[k]);
    }
  });
  const RawWordEncoder enc(ex.mx, ex.smallest(), scale);
  OutputFile out(filename);
  std::vector<uint8_t> bytes;
  walk_packets(src, [&](const double* i, const double* q, const uint8_t*, size_t n, size_t) {
    put_words(enc, i, q, n, bytes);
    out.write(bytes.data(), bytes.size());
  });
  out.commit();
}

static std::vector<Value> save_brisca_op(const Args& in, int) {
  const CVec wave = arg_required(in, 0, "SaveBriscaWaveform").to_complex();
  const std::string name = arg_required(in, 1, "SaveBriscaWaveform").str();
  const bool ok = SaveBriscaWaveform(wave, name, arg_text(in, 2, "KOR-C"), arg_double(in, 3, 1));
  return {Value(ok ? 1.0 : 0.0)};
}

TARVIO_OP("SaveBriscaWaveform", 4, 1, save_brisca_op,
          "success = SaveBriscaWaveform(wave, filename, model, scale): raw 16-bit I/Q file, high byte first");
// The name the window's special save has always called it by.
TARVIO_OP("saveBriscaWaveform", 4, 1, save_brisca_op, "success = saveBriscaWaveform(...): as SaveBriscaWaveform");

}  // namespace tarvio
