/* A C program outside the source tree, built with pkg-config against an
 * installed Tarvio: the PN9 sequence of the library has the 256 ones of
 * every 511-bit m-sequence period. Exit status 0 when it has. */
#include <stdio.h>
#include <tarvio/tarvio.h>

int main(void) {
  if (TarvioInitialize() != 0) {
    fprintf(stderr, "TarvioInitialize: %s\n", TarvioLastError());
    return 1;
  }
  mxArray* order = mx_create_scalar(9);
  mxArray* length = mx_create_scalar(511);
  mxArray* bits = mlfPNgenerator(order, length, NULL, NULL, NULL);
  int ok = bits != NULL && mx_numel(bits) == 511;
  if (ok) {
    size_t ones = 0;
    for (size_t k = 0; k < 511; ++k) ones += mx_real(bits)[k] == 1;
    ok = ones == 256;
    printf("PN9: %zu ones in 511 bits\n", ones);
  } else {
    fprintf(stderr, "PNgenerator: %s\n", TarvioLastError());
  }
  mx_destroy(bits);
  mx_destroy(order);
  mx_destroy(length);
  TarvioTerminate();
  return ok ? 0 : 1;
}
