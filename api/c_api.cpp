// The library's C interface: start and end, the generic call behind every
// calling form, the last error's text and the message and question
// handlers of a C host. No C++ exception leaves these functions.
#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "files/mx_value.h"
#include "instrument/packet_file.h"
#include "instrument/stale_files.h"
#include "runtime/registry.h"
#include "runtime/report.h"
#include "tarvio/tarvio.h"
#include "ui/application.h"

namespace tarvio {

namespace {

bool g_initialized = false;
thread_local std::string g_last_error;
thread_local int g_last_status = 0;

TarvioMessageHandler g_message = nullptr;
void* g_message_user = nullptr;
TarvioQuestionHandler g_question = nullptr;
void* g_question_user = nullptr;

// Messages and questions to the host's handlers, or the defaults.
class CHostReporter : public Reporter {
 public:
  void show(const Message& m) override {
    if (g_message)
      g_message(g_message_user, static_cast<int>(m.kind), m.title.c_str(), m.text.c_str());
    else
      fallback_.show(m);
  }
  std::string ask(const std::string& title, const std::string& text, const std::vector<std::string>& buttons,
                  const std::string& def) override {
    if (!g_question) return fallback_.ask(title, text, buttons, def);
    std::vector<const char*> b;
    for (const std::string& s : buttons) b.push_back(s.c_str());
    const char* answer =
        g_question(g_question_user, title.c_str(), text.c_str(), b.data(), static_cast<int>(b.size()), def.c_str());
    return answer ? answer : "";
  }

 private:
  StderrReporter fallback_;
};

static_assert(static_cast<int>(MessageKind::Error) == TARVIO_ERROR &&
                  static_cast<int>(MessageKind::Plain) == TARVIO_PLAIN,
              "the C message kinds follow the reporter's");

int fail(const std::string& text) {
  g_last_error = text.empty() ? "unknown error" : text;
  g_last_status = 1;
  return 1;
}

// Runs a call and turns any exception into the status and text.
template <class F>
int guarded(F&& f) {
  g_last_error.clear();
  g_last_status = 0;
  try {
    f();
    return 0;
  } catch (const std::bad_alloc&) {
    return fail("out of memory");
  } catch (const std::exception& e) {
    return fail(e.what());
  } catch (...) {
    return fail("unknown error");
  }
}

void check_ready() {
  if (!g_initialized) throw std::runtime_error("TarvioInitialize has not been called");
}

// The call behind every form. `nout` results are wanted; results[k] receives
// result k (the caller owns it).
void call(const char* name, int nout, int nin, mxArray* const in[], std::vector<ArrayPtr>& results) {
  check_ready();
  if (name == nullptr) throw std::invalid_argument("no operation name");
  if (nin < 0 || nout < 0) throw std::invalid_argument("negative numbers of inputs or outputs");
  Args args;
  args.reserve(static_cast<size_t>(nin));
  for (int k = 0; k < nin; ++k) args.push_back(from_array(in[k]));
  // Registry::call checks both counts before the body runs.
  std::vector<Value> out = Registry::instance().call(name, args, nout);
  for (int k = 0; k < nout && k < static_cast<int>(out.size()); ++k) results.push_back(to_array(out[size_t(k)]));
}

// Where the results of a form go: places[k] (when given) gets result k; the
// first result is handed back when it has no place.
mxArray* deliver(std::vector<ArrayPtr>& results, mxArray** places[], int nplaces) {
  mxArray* first = nullptr;
  for (size_t k = 0; k < results.size(); ++k) {
    if (k < size_t(nplaces) && places[k])
      *places[k] = results[k].release();
    else if (k == 0)
      first = results[k].release();
  }
  return first;
}

int derived_outputs(mxArray** places[], int nplaces, bool first_is_return) {
  int n = first_is_return && nplaces > 0 ? 1 : 0;
  for (int k = 0; k < nplaces; ++k)
    if (places[k]) n = k + 1;
  return n;
}

}  // namespace

}  // namespace tarvio

using namespace tarvio;

extern "C" {

int TarvioInitialize(void) {
  return guarded([] {
    set_reporter(std::make_shared<CHostReporter>());
    // Packet files and partial outputs that killed runs left behind.
    remove_stale_files();
    g_initialized = true;
  });
}

void TarvioTerminate(void) {
  guarded([] {
    ui::release_application();
    // The shut-down only empties this process's packet file; it does not
    // outlive the library's use.
    packet_file::discard(packet_file::own_path());
    g_initialized = false;
  });
}

const char* TarvioLastError(void) { return g_last_error.c_str(); }

void TarvioSetMessageHandler(TarvioMessageHandler handler, void* user) {
  g_message = handler;
  g_message_user = user;
}

void TarvioSetQuestionHandler(TarvioQuestionHandler handler, void* user) {
  g_question = handler;
  g_question_user = user;
}

int TarvioCall(const char* name, int nlhs, mxArray* plhs[], int nrhs, mxArray* prhs[]) {
  std::vector<ArrayPtr> results;
  const int status = guarded([&] {
    if ((nlhs > 0 && plhs == nullptr) || (nrhs > 0 && prhs == nullptr))
      throw std::invalid_argument("the output or input array list is missing");
    call(name, nlhs, nrhs, prhs, results);
  });
  if (status == 0)
    for (size_t k = 0; k < results.size(); ++k) plhs[k] = results[k].release();
  else
    for (int k = 0; k < nlhs; ++k) plhs[k] = nullptr;
  return status;
}

// ---- the library's side of the generated forms ---------------------------

mxArray* tarvio_form_fixed(const char* name, int nout, mxArray** places[], int nin, mxArray* in[]);
mxArray* tarvio_form_varargs(const char* name, int form, int nargout, int nout, mxArray** places[], mxArray* in1,
                             va_list ap);
int tarvio_form_status(void);

int tarvio_form_status(void) { return g_last_status; }

mxArray* tarvio_form_fixed(const char* name, int nout, mxArray** places[], int nin, mxArray* in[]) {
  // Trailing inputs left out (NULL) are not passed; one in between is empty.
  int given = 0;
  for (int k = 0; k < nin; ++k)
    if (in[k]) given = k + 1;
  std::vector<ArrayPtr> results;
  mxArray* first = nullptr;
  guarded([&] {
    call(name, nout ? derived_outputs(places, nout, true) : 0, given, in, results);
    first = deliver(results, places, nout);
  });
  return first;
}

// form 0: mlfX (the first output is returned), 1: mlfNX (explicit count,
// every output through its place), 2: mlfVX (no outputs).
mxArray* tarvio_form_varargs(const char* name, int form, int nargout, int nout, mxArray** places[], mxArray* in1,
                             va_list ap) {
  // The inputs end at the first NULL; a list without its end marker is
  // not followed further than this.
  constexpr int kMaxInputs = 64;
  std::vector<mxArray*> in;
  for (mxArray* a = in1; a != nullptr && in.size() < size_t(kMaxInputs); a = va_arg(ap, mxArray*)) in.push_back(a);
  std::vector<ArrayPtr> results;
  mxArray* first = nullptr;
  guarded([&] {
    int wanted = 0;
    if (form == 0 && nout > 0) wanted = derived_outputs(places, nout, true);
    if (form == 1) wanted = std::max(nargout, derived_outputs(places, nout, false));
    call(name, wanted, static_cast<int>(in.size()), in.data(), results);
    first = deliver(results, places, nout);
  });
  if (form != 0) {
    mx_destroy(first);  // an output without a place is not wanted
    first = nullptr;
  }
  return first;
}

}  // extern "C"
