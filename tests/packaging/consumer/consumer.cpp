// A C++ program outside the source tree, built with find_package(Tarvio)
// against an installed Tarvio: through the generic call, the PN15 sequence
// repeats after its period of 2^15 - 1 bits. Exit status 0 when it does.
#include <tarvio/tarvio.h>

#include <cstdio>
#include <vector>

int main() {
  if (TarvioInitialize() != 0) {
    std::fprintf(stderr, "TarvioInitialize: %s\n", TarvioLastError());
    return 1;
  }
  const size_t period = (1u << 15) - 1;
  mxArray* in[2] = {mx_create_scalar(15), mx_create_scalar(double(2 * period))};
  mxArray* out[1] = {nullptr};
  bool ok = TarvioCall("PNgenerator", 1, out, 2, in) == 0 && mx_numel(out[0]) == 2 * period;
  if (ok) {
    const double* b = mx_real(out[0]);
    const std::vector<double> first(b, b + period), second(b + period, b + 2 * period);
    ok = first == second && first != std::vector<double>(period, first[0]);
    std::printf("PN15: %s after %zu bits\n", ok ? "repeats" : "does not repeat", period);
  } else {
    std::fprintf(stderr, "PNgenerator: %s\n", TarvioLastError());
  }
  mx_destroy(out[0]);
  mx_destroy(in[0]);
  mx_destroy(in[1]);
  TarvioTerminate();
  return ok ? 0 : 1;
}
