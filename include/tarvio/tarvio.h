/* Tarvio, the IEEE 802.11a/b/g test-waveform library, for programs written
 * in C: the only header a host needs. Link with the library (-ltarvio).
 *
 * Start and end. TarvioInitialize() before anything else (it removes the
 * packet files and partial outputs that killed runs of this user left
 * behind), TarvioTerminate() at the end (it removes this process's packet
 * file); no operation may be called after it.
 *
 * Arrays. Arguments and results are arrays of the array interface declared
 * in mxarray.h (included here): numbers, texts, records and lists. Arrays a
 * host passes in stay the host's; arrays handed back belong to the host,
 * which destroys them with mx_destroy().
 *
 * Operations. Every operation X of the library has these calling forms,
 * declared in tarvio_forms.h (generated from the library's operation table
 * when the library is built):
 *
 *   mlfX  the inputs as arrays, after places for outputs 2, 3, ...; returns
 *         the first output (NULL when there is none or the call failed). An
 *         operation without outputs returns int: 0 done, 1 failed. Trailing
 *         inputs may be NULL (left out); an output place that is NULL is not
 *         wanted.
 *   mlxX  (nlhs, plhs, nrhs, prhs): outputs wanted and where they go, inputs.
 *         Returns 0, or 1 when the call failed. More inputs or outputs than X
 *         declares fail before X runs, with a text naming X and the number
 *         it declares.
 *   For an operation whose input or output list is variable also:
 *   mlfNX (nargout, places for every output, inputs..., NULL): returns 0 or 1.
 *   mlfVX (inputs..., NULL): no outputs; returns 0 or 1.
 *   For these, and for mlfX of such an operation, the inputs end at the first
 *   NULL.
 *
 * Failures. No C++ exception leaves the library: a failed call returns its
 * status, TarvioLastError() gives its text (empty after a call that
 * succeeded). Messages the library shows a user (errors, warnings, notes)
 * and questions it asks go to the handlers a host installs; without them
 * messages are printed on standard error and questions take their default
 * button.
 *
 * The unattended run: TarvioInitialize, mlfDot11_faceless, mlfSetWLAN_vars,
 * mlfExeCalculation, mlfExeDownload, mlfAppShutDown, TarvioTerminate, in a
 * working folder holding WLAN_varsB.mat, WLAN_varsB.txt and rfIOConfig.mat.
 *
 * Nothing here is thread-safe: call the library from one thread. */
#ifndef TARVIO_TARVIO_H
#define TARVIO_TARVIO_H

#include "mxarray.h"

#ifdef __cplusplus
extern "C" {
#endif

/* 0 when the library is ready. */
int TarvioInitialize(void);
void TarvioTerminate(void);

/* The text of the last failed call, "" after a call that succeeded. The
 * text stays valid until the next call into the library. */
const char* TarvioLastError(void);

/* Message kinds passed to a message handler. */
enum { TARVIO_ERROR = 0, TARVIO_WARNING = 1, TARVIO_INFO = 2, TARVIO_HELP = 3, TARVIO_PLAIN = 4 };
typedef void (*TarvioMessageHandler)(void* user, int kind, const char* title, const char* text);
/* Returns the text of the button chosen (one of buttons, or "" for a box
 * that was closed); the text must stay valid until the handler is called
 * again. */
typedef const char* (*TarvioQuestionHandler)(void* user, const char* title, const char* text,
                                             const char* const* buttons, int nbuttons, const char* default_button);
/* NULL restores the default. */
void TarvioSetMessageHandler(TarvioMessageHandler handler, void* user);
void TarvioSetQuestionHandler(TarvioQuestionHandler handler, void* user);

/* Any operation by name, as mlxX calls it. */
int TarvioCall(const char* name, int nlhs, mxArray* plhs[], int nrhs, mxArray* prhs[]);

#ifdef __cplusplus
}
#endif

#include "tarvio/tarvio_forms.h"

#endif
