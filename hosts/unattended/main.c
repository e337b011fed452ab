/* tarvio-unattended: calculates the waveform of the parameter set prepared
 * in the working folder and plays it on the signal generator, without any
 * window: WLAN_varsB.mat (a parameter file), WLAN_varsB.txt (data rate,
 * carrier in GHz, data length, MAC header values and switches) and
 * rfIOConfig.mat (the instrument connection).
 *
 * The steps run in order and stop at the first that fails; the shut-down
 * (which stores the connection settings) always runs once the start has.
 * A failed run leaves no rfIOConfig.mat where there was none. Messages go
 * to standard error. Exit status: 0 when every step succeeded and no error
 * was shown, 1 otherwise, 2 for a wrong command line. */
#include <signal.h>
#include <stdio.h>
#include <string.h>

#include "tarvio/tarvio.h"

static int errors_shown = 0;

static const char* kind_word(int kind) {
  switch (kind) {
    case TARVIO_ERROR:
      return "error";
    case TARVIO_WARNING:
      return "warning";
    default:
      return "note";
  }
}

static void on_message(void* user, int kind, const char* title, const char* text) {
  (void)user;
  if (kind == TARVIO_ERROR) ++errors_shown;
  fprintf(stderr, "[%s] %s: %s\n", kind_word(kind), title, text);
}

/* Questions take their default button: nobody is there to answer. */
static const char* on_question(void* user, const char* title, const char* text, const char* const* buttons,
                               int nbuttons, const char* default_button) {
  (void)user;
  (void)buttons;
  (void)nbuttons;
  fprintf(stderr, "[question] %s: %s -> %s\n", title, text, default_button);
  return default_button;
}

static const char kIoConfigFile[] = "rfIOConfig.mat";

static int file_exists(const char* path) {
  FILE* f = fopen(path, "rb");
  if (!f) return 0;
  fclose(f);
  return 1;
}

typedef int (*step_fn)(void);

static int run(const char* name, step_fn step) {
  fprintf(stderr, "%s ...\n", name);
  if (step() == 0) return 0;
  fprintf(stderr, "tarvio-unattended: %s failed: %s\n", name, TarvioLastError());
  return 1;
}

int main(int argc, char** argv) {
  if (argc > 1) {
    const int help = strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0;
    fputs(
        "usage: tarvio-unattended\n"
        "Runs in the working folder: loads WLAN_varsB.mat and WLAN_varsB.txt, calculates the waveform,\n"
        "downloads it to the signal generator named in rfIOConfig.mat and sets up its playback.\n"
        "Exit status 0 when every step succeeded, 1 when a step failed or an error was shown.\n",
        help ? stdout : stderr);
    return help ? 0 : 2;
  }
  /* A write past the file-size limit fails and is reported like a full
   * disk, instead of ending the program without a word. */
  signal(SIGXFSZ, SIG_IGN);
  if (TarvioInitialize() != 0) {
    fprintf(stderr, "tarvio-unattended: %s\n", TarvioLastError());
    return 1;
  }
  TarvioSetMessageHandler(on_message, NULL);
  TarvioSetQuestionHandler(on_question, NULL);

  const int had_io_config = file_exists(kIoConfigFile);
  int failed = run("Dot11_faceless", mlfDot11_faceless);
  if (!failed) {
    const struct {
      const char* name;
      step_fn fn;
    } steps[] = {
        {"SetWLAN_vars", mlfSetWLAN_vars}, {"ExeCalculation", mlfExeCalculation}, {"ExeDownload", mlfExeDownload}};
    for (size_t k = 0; k < sizeof steps / sizeof steps[0] && !failed; ++k) failed = run(steps[k].name, steps[k].fn);
    failed |= run("AppShutDown", mlfAppShutDown);
  }
  /* The shut-down stores the connection settings for the next run; after a
   * failed run in a folder that had none, that file would only hold the
   * defaults, left behind by a run that changed nothing. */
  if ((failed || errors_shown) && !had_io_config) remove(kIoConfigFile);
  TarvioTerminate();
  if (!failed && errors_shown == 0) fputs("tarvio-unattended: done\n", stderr);
  return failed || errors_shown ? 1 : 0;
}
