/* The library's C interface from a C program that includes only the public
 * header and links only the library: the typed and generic calling forms,
 * the count error and its text, the forms for variable lists, the message
 * handler, and the unattended run in a scratch folder (argv[1]).
 * Prints one line per failed check and exits non-zero when any failed. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tarvio/tarvio.h"

static int failures = 0;

#define CHECK(cond)                                                      \
  do {                                                                   \
    if (!(cond)) {                                                       \
      fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
      ++failures;                                                        \
    }                                                                    \
  } while (0)

static char last_title[256];
static int errors_shown = 0;

static void on_message(void* user, int kind, const char* title, const char* text) {
  (void)user;
  (void)text;
  if (kind == TARVIO_ERROR) ++errors_shown;
  snprintf(last_title, sizeof last_title, "%s", title);
}

static int text_is(const mxArray* a, const char* expected) {
  char buf[256];
  return a != NULL && mx_text(a, buf, sizeof buf) >= 0 && strcmp(buf, expected) == 0;
}

static mxArray* row(const double* v, size_t n) {
  mxArray* a = mx_create_double(1, n, 0);
  memcpy(mx_real(a), v, n * sizeof(double));
  return a;
}

static void typed_and_generic_forms(void) {
  /* mlf: inputs as arrays, the first output returned. */
  mxArray* x = mx_create_scalar(2.5);
  mxArray* t = mlfNum2Str(x);
  CHECK(text_is(t, "2.5"));
  CHECK(strcmp(TarvioLastError(), "") == 0);
  mx_destroy(t);

  /* mlf with several outputs: the others through places ahead of the inputs. */
  mxArray* nbits = mx_create_scalar(1000);
  mxArray* rate = mx_create_scalar(11);
  mxArray* mod = mx_create_scalar(0);
  mxArray *b5 = NULL, *b6 = NULL, *b7 = NULL;
  mxArray* len = mlfDot11b_LENGTH(&b5, &b6, &b7, nbits, rate, mod);
  /* 1000 bits at 11 Mbit/s last 91 us: the 16-bit field 1101101000000000. */
  CHECK(len != NULL && mx_numel(len) == 16 && mx_real(len)[0] == 1 && mx_real(len)[2] == 0 && mx_real(len)[6] == 1);
  CHECK(b5 != NULL && b6 != NULL && b7 != NULL);
  mx_destroy(len);
  mx_destroy(b5);
  mx_destroy(b6);
  mx_destroy(b7);
  mx_destroy(nbits);

  /* A trailing input left out takes its default. */
  const double b[] = {1, 0, 1};
  mxArray* brow = row(b, 3);
  mxArray* d = mlfBi2de(brow, NULL);
  CHECK(d != NULL && mx_real(d)[0] == 5);
  mx_destroy(d);

  /* mlx: counts, then the body. */
  mxArray* in[2] = {x, x};
  mxArray* out[2] = {NULL, NULL};
  CHECK(mlxNum2Str(1, out, 1, in) == 0);
  CHECK(text_is(out[0], "2.5"));
  mx_destroy(out[0]);
  out[0] = NULL;

  /* The count error, raised before the body, names the operation and the
   * declared number. */
  CHECK(mlxNum2Str(1, out, 2, in) == 1);
  CHECK(out[0] == NULL);
  CHECK(strstr(TarvioLastError(), "Num2Str") != NULL);
  CHECK(strstr(TarvioLastError(), "declares 1 input") != NULL);
  CHECK(mlxNum2Str(2, out, 1, in) == 1);
  CHECK(strstr(TarvioLastError(), "declares 1 output") != NULL);
  CHECK(mlxInitializeParameters(0, out, 1, in) == 1);
  CHECK(strstr(TarvioLastError(), "InitializeParameters") != NULL);
  CHECK(strstr(TarvioLastError(), "declares 0 inputs") != NULL);
  /* A failure inside the body comes back as a status with its text. */
  CHECK(mlfClock2str(brow) == NULL);
  CHECK(strstr(TarvioLastError(), "6 values") != NULL);
  /* A call that succeeds clears the text. */
  CHECK(mlxNum2Str(1, out, 1, in) == 0);
  CHECK(strcmp(TarvioLastError(), "") == 0);
  mx_destroy(out[0]);
  mx_destroy(brow);
  mx_destroy(x);
  mx_destroy(rate);
  mx_destroy(mod);
  /* An operation nobody registered. */
  CHECK(TarvioCall("NoSuchOperation", 0, out, 0, in) == 1);
  CHECK(strstr(TarvioLastError(), "NoSuchOperation") != NULL);
}

static void variable_list_forms(void) {
  mxArray* cmd = mx_create_text("addFileExtention");
  mxArray* name = mx_create_text("set");
  mxArray* ext = mx_create_text(".mat");
  mxArray* r = mlfRfCommonUI(cmd, name, ext, NULL);
  CHECK(text_is(r, "set.mat"));
  mx_destroy(r);
  mxArray* out1 = NULL;
  CHECK(mlfNRfCommonUI(1, &out1, cmd, name, ext, NULL) == 0);
  CHECK(text_is(out1, "set.mat"));
  mx_destroy(out1);
  /* No outputs: a redraw of the main window. */
  mxArray* redraw = mx_create_text("redraw");
  CHECK(mlfVDot11g_GUI_c(redraw, NULL) == 0);
  /* A record argument: the clock-switching dialog answers Cancel without a
   * host to wait for it, and hands back the number it was given. */
  mxArray *answer = NULL, *clk = NULL;
  mxArray* start = mx_create_scalar(28957);
  CHECK(mlfNClkswitch_gui(2, &answer, &clk, start, NULL) == 0);
  CHECK(text_is(answer, "Cancel"));
  CHECK(clk != NULL && mx_real(clk)[0] == 28957);
  mx_destroy(answer);
  mx_destroy(clk);
  mx_destroy(start);
  mx_destroy(cmd);
  mx_destroy(name);
  mx_destroy(ext);
  mx_destroy(redraw);
}

static void unattended_run(const char* dir) {
  mkdir(dir, 0755);
  CHECK(chdir(dir) == 0);
  CHECK(mlfDot11_faceless() == 0);
  /* The parameter set as a file, and the number list: 6 Mbit/s at 2.437 GHz. */
  mxArray* cmd = mx_create_text("saveParameters");
  mxArray* file = mx_create_text("WLAN_varsB.mat");
  mxArray* ok = mlfRfCommonUI(cmd, file, NULL);
  CHECK(ok != NULL && mx_real(ok)[0] == 1);
  mx_destroy(ok);
  mx_destroy(cmd);
  mx_destroy(file);
  FILE* f = fopen("WLAN_varsB.txt", "w");
  CHECK(f != NULL);
  if (f) {
    fputs("6 2.437 100 2049 0 0 1 2 3 4 1 1 1 1 1 1 1\n", f);
    fclose(f);
  }
  CHECK(mlfSetWLAN_vars() == 0);
  CHECK(mlfExeCalculation() == 0);
  /* No instrument is configured here: the download fails as a status, and
   * the error is shown to the host. */
  errors_shown = 0;
  CHECK(mlfExeDownload() == 1);
  CHECK(errors_shown == 1);
  CHECK(strcmp(last_title, "Error Occured During Waveform Download") == 0);
  CHECK(mlfAppShutDown() == 0);
  struct stat st;
  CHECK(stat("rfIOConfig.mat", &st) == 0);
  /* A list with too few numbers stops SetWLAN_vars with its reason. */
  f = fopen("WLAN_varsB.txt", "w");
  if (f) {
    fputs("6 2.437\n", f);
    fclose(f);
  }
  CHECK(mlfSetWLAN_vars() == 1);
  CHECK(strstr(TarvioLastError(), "17 are needed") != NULL);
}

int main(int argc, char** argv) {
  const char* dir = argc > 1 ? argv[1] : "c_interface_run";
  mxArray* none[1] = {NULL};
  CHECK(TarvioCall("Num2Str", 0, none, 0, none) == 1); /* before TarvioInitialize */
  CHECK(strstr(TarvioLastError(), "TarvioInitialize") != NULL);
  CHECK(TarvioInitialize() == 0);
  TarvioSetMessageHandler(on_message, NULL);
  typed_and_generic_forms();
  variable_list_forms();
  unattended_run(dir);
  TarvioTerminate();
  if (failures) fprintf(stderr, "%d checks failed\n", failures);
  return failures ? 1 : 0;
}
