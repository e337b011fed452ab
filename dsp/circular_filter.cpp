// Circular FIR filtering of complex rows with real taps, plain and with
// zero-insertion upsampling in polyphase form. Short filters run a blocked
// direct form; long ones one FFT over a short row, or overlap-save with
// power-of-two FFT blocks whose FFTW plans are made once per size and kept.
#include "dsp/circular_filter.h"

#include <fftw3.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>

#include "runtime/fftw_planner.h"

namespace tarvio {
namespace {

// Up to this many taps per phase the direct form is faster than FFT blocks.
constexpr size_t kDirectMaxTaps = 48;
// Output samples per block of the direct form (keeps the block in cache).
constexpr size_t kDirectBlock = 2048;
// Smallest FFT block used for long rows; longer filters take the power of
// two at or above 3x their length (at least two thirds of each block is
// output).
constexpr size_t kMinFftBlock = 8192;

// Rows up to this length whose length has no prime factor above 7 are
// filtered with one FFT over the whole row when that is shorter than a
// block (cheap to plan, and no block overlap).
constexpr size_t kWholeRowMax = 65536;

bool is_7_smooth(size_t n) {
  for (size_t p : {2, 3, 5, 7})
    while (n % p == 0) n /= p;
  return n == 1;
}

size_t next_pow2(size_t n) {
  size_t p = 1;
  while (p < n) p <<= 1;
  return p;
}

struct FftPlans {
  fftw_plan fwd = nullptr;
  fftw_plan bwd = nullptr;
};

// In-place forward/backward plans of size n, made once and shared until the
// program ends. The cache is guarded by the FFTW planner's lock, which
// every planning part of the program takes; executing a plan on other
// (equally aligned) arrays needs no lock.
class PlanCache {
 public:
  ~PlanCache() {
    for (auto& [n, p] : plans_) {
      fftw_destroy_plan(p.fwd);
      fftw_destroy_plan(p.bwd);
    }
  }
  const FftPlans& get(size_t n) {
    std::lock_guard<std::mutex> lock(fftw_planner_mutex());
    auto it = plans_.find(n);
    if (it != plans_.end()) return it->second;
    fftw_complex* buf = fftw_alloc_complex(n);
    if (!buf) throw std::runtime_error("circular_filter: out of memory for an FFT block of " + std::to_string(n));
    const int ni = static_cast<int>(n);
    FftPlans p{fftw_plan_dft_1d(ni, buf, buf, FFTW_FORWARD, FFTW_ESTIMATE),
               fftw_plan_dft_1d(ni, buf, buf, FFTW_BACKWARD, FFTW_ESTIMATE)};
    fftw_free(buf);
    if (!p.fwd || !p.bwd) {
      if (p.fwd) fftw_destroy_plan(p.fwd);
      if (p.bwd) fftw_destroy_plan(p.bwd);
      throw std::runtime_error("circular_filter: FFTW could not plan a transform of " + std::to_string(n));
    }
    return plans_.emplace(n, p).first->second;
  }

 private:
  std::map<size_t, FftPlans> plans_;
};

const FftPlans& plans_for(size_t n) {
  static PlanCache cache;
  return cache.get(n);
}

// A growable SIMD-aligned complex buffer (fftw_malloc alignment, as the
// plans expect).
class AlignedComplex {
 public:
  AlignedComplex() = default;
  AlignedComplex(const AlignedComplex&) = delete;
  AlignedComplex& operator=(const AlignedComplex&) = delete;
  ~AlignedComplex() { fftw_free(p_); }
  fftw_complex* get(size_t n) {
    if (n > cap_) {
      fftw_free(p_);
      p_ = fftw_alloc_complex(n);
      if (!p_) throw std::runtime_error("circular_filter: out of memory");
      cap_ = n;
    }
    return p_;
  }

 private:
  fftw_complex* p_ = nullptr;
  size_t cap_ = 0;
};

// Work buffers reused across calls on the same thread.
struct Workspace {
  AlignedComplex block;    // input block (and its spectrum)
  AlignedComplex product;  // one phase's product / output block
  AlignedComplex spectra;  // the phase filters' spectra, P x F
  RVec folded;             // taps folded modulo the output length
  RVec phases;             // phase filters, P x Mmax
  RVec reversed;           // direct form: phase filters reversed
};
Workspace& workspace() {
  thread_local Workspace ws;
  return ws;
}

// Two doubles in one SIMD register: one complex sample. Loads need only
// the alignment of double.
typedef double v2d __attribute__((vector_size(16), aligned(8), may_alias));

// Copies x[(start + i) mod N], i = 0 .. count-1, into dst (wrapping as often
// as needed).
template <class Dst>
void wrapped_copy(const CVec& x, size_t start, size_t count, Dst&& put) {
  const size_t N = x.size();
  size_t pos = start % N;
  for (size_t i = 0; i < count;) {
    const size_t run = std::min(count - i, N - pos);
    for (size_t k = 0; k < run; ++k) put(i + k, x[pos + k]);
    i += run;
    pos = 0;
  }
}

// out[n] = sum_i gr[i] * xe[n + i] for n < count: the direct form on a
// contiguous stretch, with the taps reversed. Eight outputs at a time keep
// eight independent sums in registers.
void direct_kernel(const cplx* xe, const double* gr, size_t m, size_t count, cplx* out) {
  const v2d* xv = reinterpret_cast<const v2d*>(xe);
  v2d* ov = reinterpret_cast<v2d*>(out);
  size_t n = 0;
  for (; n + 8 <= count; n += 8) {
    v2d a0 = {0, 0}, a1 = a0, a2 = a0, a3 = a0, a4 = a0, a5 = a0, a6 = a0, a7 = a0;
    const v2d* p = xv + n;
    for (size_t i = 0; i < m; ++i) {
      const v2d g = {gr[i], gr[i]};
      a0 += g * p[i];
      a1 += g * p[i + 1];
      a2 += g * p[i + 2];
      a3 += g * p[i + 3];
      a4 += g * p[i + 4];
      a5 += g * p[i + 5];
      a6 += g * p[i + 6];
      a7 += g * p[i + 7];
    }
    ov[n] = a0;
    ov[n + 1] = a1;
    ov[n + 2] = a2;
    ov[n + 3] = a3;
    ov[n + 4] = a4;
    ov[n + 5] = a5;
    ov[n + 6] = a6;
    ov[n + 7] = a7;
  }
  for (; n < count; ++n) {
    v2d a = {0, 0};
    for (size_t i = 0; i < m; ++i) a += v2d{gr[i], gr[i]} * xv[n + i];
    ov[n] = a;
  }
}

#if defined(__x86_64__) && defined(__GNUC__)
// The same sums with 256-bit registers, two outputs to a register: every
// output is still 0 + g[0]*x[n] + g[1]*x[n+1] + ... in this order, with a
// separate multiply and add (no fused multiply-add), so the values are those
// of direct_kernel.
typedef double v4d __attribute__((vector_size(32), aligned(8), may_alias));

__attribute__((target("avx2"))) void direct_kernel_avx2(const cplx* xe, const double* gr, size_t m, size_t count,
                                                        cplx* out) {
  size_t n = 0;
  for (; n + 16 <= count; n += 16) {
    v4d a0 = {0, 0, 0, 0}, a1 = a0, a2 = a0, a3 = a0, a4 = a0, a5 = a0, a6 = a0, a7 = a0;
    const cplx* p = xe + n;
    for (size_t i = 0; i < m; ++i) {
      const v4d g = {gr[i], gr[i], gr[i], gr[i]};
      const cplx* x = p + i;
      a0 += g * *reinterpret_cast<const v4d*>(x);
      a1 += g * *reinterpret_cast<const v4d*>(x + 2);
      a2 += g * *reinterpret_cast<const v4d*>(x + 4);
      a3 += g * *reinterpret_cast<const v4d*>(x + 6);
      a4 += g * *reinterpret_cast<const v4d*>(x + 8);
      a5 += g * *reinterpret_cast<const v4d*>(x + 10);
      a6 += g * *reinterpret_cast<const v4d*>(x + 12);
      a7 += g * *reinterpret_cast<const v4d*>(x + 14);
    }
    *reinterpret_cast<v4d*>(out + n) = a0;
    *reinterpret_cast<v4d*>(out + n + 2) = a1;
    *reinterpret_cast<v4d*>(out + n + 4) = a2;
    *reinterpret_cast<v4d*>(out + n + 6) = a3;
    *reinterpret_cast<v4d*>(out + n + 8) = a4;
    *reinterpret_cast<v4d*>(out + n + 10) = a5;
    *reinterpret_cast<v4d*>(out + n + 12) = a6;
    *reinterpret_cast<v4d*>(out + n + 14) = a7;
  }
  if (n < count) direct_kernel(xe + n, gr, m, count - n, out + n);
}
#endif

// The direct form on the widest registers the processor has.
void direct_sums(const cplx* xe, const double* gr, size_t m, size_t count, cplx* out) {
#if defined(__x86_64__) && defined(__GNUC__)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) {
    direct_kernel_avx2(xe, gr, m, count, out);
    return;
  }
#endif
  direct_kernel(xe, gr, m, count, out);
}

// y[q*P + r] = sum_j g_r[j] * x[(q - j) mod N] for every phase r < P, where
// g_r is row r of the P x m matrix g (m <= N).
void polyphase_direct(const CVec& x, const double* g, size_t P, size_t m, CVec& y) {
  const size_t N = x.size();
  Workspace& ws = workspace();
  // Reversed phase filters, so the kernel runs forward through the input.
  ws.reversed.resize(P * m);
  for (size_t r = 0; r < P; ++r)
    for (size_t i = 0; i < m; ++i) ws.reversed[r * m + i] = g[r * m + m - 1 - i];
  cplx* xe = reinterpret_cast<cplx*>(ws.block.get(kDirectBlock + m - 1));
  cplx* acc = reinterpret_cast<cplx*>(ws.product.get(kDirectBlock));
  for (size_t q0 = 0; q0 < N; q0 += kDirectBlock) {
    const size_t cnt = std::min(kDirectBlock, N - q0);
    // Input stretch x[q0 - (m-1) .. q0 + cnt - 1], circularly.
    wrapped_copy(x, q0 + N - (m - 1), cnt + m - 1, [&](size_t i, const cplx& v) { xe[i] = v; });
    if (P == 1) {
      direct_sums(xe, ws.reversed.data(), m, cnt, y.data() + q0);
      continue;
    }
    for (size_t r = 0; r < P; ++r) {
      direct_sums(xe, ws.reversed.data() + r * m, m, cnt, acc);
      for (size_t i = 0; i < cnt; ++i) y[(q0 + i) * P + r] = acc[i];
    }
  }
}

// Same result with one FFT of the whole row (m <= N).
void polyphase_whole_row(const CVec& x, const double* g, size_t P, size_t m, CVec& y) {
  const size_t N = x.size();
  const FftPlans& plans = plans_for(N);
  Workspace& ws = workspace();
  fftw_complex* X = ws.block.get(N);
  fftw_complex* Z = ws.product.get(N);
  fftw_complex* H = ws.spectra.get(N);
  const double scale = 1.0 / static_cast<double>(N);
  for (size_t i = 0; i < N; ++i) {
    X[i][0] = x[i].real();
    X[i][1] = x[i].imag();
  }
  fftw_execute_dft(plans.fwd, X, X);
  for (size_t r = 0; r < P; ++r) {
    for (size_t i = 0; i < N; ++i) {
      H[i][0] = i < m ? g[r * m + i] * scale : 0.0;
      H[i][1] = 0.0;
    }
    fftw_execute_dft(plans.fwd, H, H);
    for (size_t i = 0; i < N; ++i) {
      const double a = X[i][0], b = X[i][1], c = H[i][0], d = H[i][1];
      Z[i][0] = a * c - b * d;
      Z[i][1] = a * d + b * c;
    }
    fftw_execute_dft(plans.bwd, Z, Z);
    for (size_t q = 0; q < N; ++q) y[q * P + r] = cplx(Z[q][0], Z[q][1]);
  }
}

// Same result by overlap-save with FFT blocks of size F > m.
void polyphase_fft(const CVec& x, const double* g, size_t P, size_t m, CVec& y) {
  const size_t N = x.size();
  const size_t F = std::max<size_t>(next_pow2(3 * m), std::min(kMinFftBlock, next_pow2(N + m - 1)));
  if (N < F && N <= kWholeRowMax && is_7_smooth(N)) {
    polyphase_whole_row(x, g, P, m, y);
    return;
  }
  const size_t valid = F - m + 1;  // outputs per block
  const FftPlans& plans = plans_for(F);
  Workspace& ws = workspace();
  fftw_complex* X = ws.block.get(F);
  fftw_complex* Z = ws.product.get(F);
  fftw_complex* H = ws.spectra.get(P * F);

  // Phase filter spectra, with the inverse transform's 1/F folded in.
  const double scale = 1.0 / static_cast<double>(F);
  for (size_t r = 0; r < P; ++r) {
    fftw_complex* Hr = H + r * F;
    for (size_t i = 0; i < F; ++i) {
      Hr[i][0] = i < m ? g[r * m + i] * scale : 0.0;
      Hr[i][1] = 0.0;
    }
    fftw_execute_dft(plans.fwd, Hr, Hr);
  }

  for (size_t q0 = 0; q0 < N; q0 += valid) {
    // Input block: x[(q0 - (m-1) + i) mod N], i = 0 .. F-1.
    wrapped_copy(x, q0 + N - (m - 1), F, [&](size_t i, const cplx& v) {
      X[i][0] = v.real();
      X[i][1] = v.imag();
    });
    fftw_execute_dft(plans.fwd, X, X);
    const size_t cnt = std::min(valid, N - q0);
    for (size_t r = 0; r < P; ++r) {
      const fftw_complex* Hr = H + r * F;
      for (size_t i = 0; i < F; ++i) {
        const double a = X[i][0], b = X[i][1], c = Hr[i][0], d = Hr[i][1];
        Z[i][0] = a * c - b * d;
        Z[i][1] = a * d + b * c;
      }
      fftw_execute_dft(plans.bwd, Z, Z);
      for (size_t i = 0; i < cnt; ++i) y[(q0 + i) * P + r] = cplx(Z[i + m - 1][0], Z[i + m - 1][1]);
    }
  }
}

// Filters x circularly through the polyphase decomposition of h (P phases)
// into y of length N*P.
CVec polyphase_circular(const CVec& x, size_t P, const RVec& h, size_t spare = 0) {
  const size_t N = x.size();
  if (P == 0) throw std::invalid_argument("upsample_circular_filter: the upsampling factor must be at least 1.");
  CVec y;
  y.reserve(N * P + spare);
  y.resize(N * P);
  if (N == 0 || h.empty()) return y;
  Workspace& ws = workspace();
  // Fold the taps modulo the output length: a tap k acts like tap k mod NP.
  const size_t total = N * P;
  const size_t mt = std::min(h.size(), total);
  ws.folded.assign(mt, 0.0);
  for (size_t k = 0; k < h.size(); ++k) ws.folded[k % total] += h[k];
  // Phase r holds taps r, r+P, r+2P, ...; every phase gets m = ceil(mt/P)
  // entries (zero padded), and m <= N.
  const size_t m = (mt + P - 1) / P;
  ws.phases.assign(P * m, 0.0);
  for (size_t k = 0; k < mt; ++k) ws.phases[(k % P) * m + k / P] = ws.folded[k];
  if (m <= kDirectMaxTaps)
    polyphase_direct(x, ws.phases.data(), P, m, y);
  else
    polyphase_fft(x, ws.phases.data(), P, m, y);
  return y;
}

}  // namespace

CVec circular_filter(const CVec& x, const RVec& h) { return polyphase_circular(x, 1, h); }

CVec upsample_circular_filter(const CVec& x, size_t L, const RVec& h) { return polyphase_circular(x, L, h); }

CVec upsample_circular_filter(const CVec& x, size_t L, const RVec& h, size_t spare) {
  return polyphase_circular(x, L, h, spare);
}

}  // namespace tarvio
