// Cyclic prefix, edge windowing and overlap-add of OFDM symbols, with their
// registered operations.
#include "ofdm/dot11a_time_domain.h"

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

#include "runtime/registry.h"

namespace tarvio {

namespace {

// cpRatio * n as a sample count; it must be whole.
size_t ratio_count(double cpRatio, double n, const char* op) {
  if (!(cpRatio >= 0 && cpRatio <= 1))
    throw std::invalid_argument(std::string(op) + ": cpRatio must lie from 0 to 1, got " + std::to_string(cpRatio));
  const double c = cpRatio * n;
  const double r = std::round(c);
  if (std::abs(c - r) > 1e-9)
    throw std::invalid_argument(std::string(op) + ": cpRatio " + std::to_string(cpRatio) + " of " +
                                std::to_string(static_cast<size_t>(n)) + " samples is not a whole number of samples");
  return static_cast<size_t>(r);
}

}  // namespace

size_t dot11a_window_count(double windowLength, const char* op, bool allow_negative) {
  if (!std::isfinite(windowLength) || windowLength != std::floor(windowLength))
    throw std::invalid_argument(std::string(op) + ": the windowing length must be a whole number of samples, got " +
                                std::to_string(windowLength));
  if (windowLength < 0) {
    if (allow_negative) return 0;
    throw std::invalid_argument(std::string(op) + ": the windowing length must not be negative, got " +
                                std::to_string(windowLength));
  }
  return static_cast<size_t>(windowLength);
}

CVec Dot11a_CyclicPrefix(const CVec& input, double cpRatio) {
  const size_t np = ratio_count(cpRatio, static_cast<double>(input.size()), "Dot11a_CyclicPrefix");
  CVec out;
  out.reserve(input.size() + np);
  out.insert(out.end(), input.end() - static_cast<std::ptrdiff_t>(np), input.end());
  out.insert(out.end(), input.begin(), input.end());
  return out;
}

void dot11a_window_in_place(CVec& x, size_t start, size_t W) {
  if (W == 0) return;
  const size_t n = x.size();
  if (start + W > n)
    throw std::invalid_argument("Dot11a_Windowing: a window of " + std::to_string(W) + " samples after a prefix of " +
                                std::to_string(start) + " does not fit a piece of " + std::to_string(n) + " samples");
  x.reserve(n + W);
  for (size_t i = 0; i < W; ++i) x.push_back(x[start + i]);
  const size_t last = x.size();
  for (size_t i = 1; i <= W; ++i) {
    const double w = 0.5 - 0.5 * std::cos(std::numbers::pi * (static_cast<double>(i) - 0.5) / static_cast<double>(W));
    x[i - 1] *= w;
    x[last - i] *= w;
  }
}

CVec Dot11a_Windowing(const CVec& data, double windowLength, double cpRatio) {
  const size_t W = dot11a_window_count(windowLength, "Dot11a_Windowing", true);
  if (W == 0) return data;
  if (!(cpRatio >= 0 && cpRatio <= 1))
    throw std::invalid_argument("Dot11a_Windowing: cpRatio must lie from 0 to 1, got " + std::to_string(cpRatio));
  const size_t start = ratio_count(cpRatio / (1 + cpRatio), static_cast<double>(data.size()), "Dot11a_Windowing");
  CVec out;
  out.reserve(data.size() + W);
  out = data;
  dot11a_window_in_place(out, start, W);
  return out;
}

void dot11a_stitch_append(CVec& acc, const cplx* b, size_t nb, size_t W) {
  if (acc.empty()) {
    acc.insert(acc.end(), b, b + nb);
    return;
  }
  if (W > acc.size() || W > nb)
    throw std::invalid_argument("Dot11a_StitchSubFrames: an overlap of " + std::to_string(W) +
                                " samples is longer than a piece (" + std::to_string(acc.size()) + " and " +
                                std::to_string(nb) + " samples)");
  const size_t base = acc.size() - W;
  for (size_t i = 0; i < W; ++i) acc[base + i] += b[i];
  acc.insert(acc.end(), b + W, b + nb);
}

CVec Dot11a_StitchSubFrames(const CVec& a, const CVec& b, double windowLength) {
  const size_t W = dot11a_window_count(windowLength, "Dot11a_StitchSubFrames", false);
  if (a.empty()) return b;
  CVec out;
  out.reserve(a.size() + b.size());
  out = a;
  dot11a_stitch_append(out, b.data(), b.size(), W);
  return out;
}

TARVIO_OP(
    "Dot11a_CyclicPrefix", 2, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const CVec x = arg_required(in, 0, "Dot11a_CyclicPrefix").to_complex();
      return {Value::complex_row(Dot11a_CyclicPrefix(x, arg_required(in, 1, "Dot11a_CyclicPrefix").to_double()))};
    },
    "output = Dot11a_CyclicPrefix(input, cpRatio): prepend the last cpRatio of the symbol");

TARVIO_OP(
    "Dot11a_Windowing", 3, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const CVec x = arg_required(in, 0, "Dot11a_Windowing").to_complex();
      return {Value::complex_row(Dot11a_Windowing(x, arg_required(in, 1, "Dot11a_Windowing").to_double(),
                                                  arg_required(in, 2, "Dot11a_Windowing").to_double()))};
    },
    "output = Dot11a_Windowing(data, windowLength, cpRatio): raised-cosine edges, W samples repeated at the end");

TARVIO_OP(
    "Dot11a_StitchSubFrames", 3, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const CVec a = arg_required(in, 0, "Dot11a_StitchSubFrames").to_complex();
      const CVec b = arg_required(in, 1, "Dot11a_StitchSubFrames").to_complex();
      return {
          Value::complex_row(Dot11a_StitchSubFrames(a, b, arg_required(in, 2, "Dot11a_StitchSubFrames").to_double()))};
    },
    "output = Dot11a_StitchSubFrames(a, b, windowLength): overlap-add of two windowed pieces");

}  // namespace tarvio
