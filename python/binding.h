// What the parts of the Python extension share: the records a Python
// Parameters object holds, the conversion between Python objects and the
// dynamic Value, and the running of library work off the interpreter's lock
// on a thread of its own with records of its own.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control/packet_log.h"
#include "records/state.h"
#include "runtime/report.h"
#include "runtime/value.h"

namespace tarvio::py {

namespace pyb = pybind11;

// The records of one Python Parameters object: a whole State, built from
// the defaults as a calculation starts (sample rate from the oversampling).
struct Records {
  State state;
  Records();
  Records(const Records&) = default;
};

// A Python object as the Value a record field takes: numbers, complex
// numbers, sequences and arrays (1-D a row, 2-D a matrix), None (empty) and
// texts. A text for a field that holds no text is read as the command line
// reads --set values (0x1F, [1 0 1], 'text').
Value to_value(const pyb::handle& o, bool field_is_text);
// A Value as a Python object: float, complex, str, numpy array (a row as a
// 1-D array), dict (records, fields in order), list; an empty 0 x 0 value is
// None.
pyb::object from_value(const Value& v);

// What the operations of one call showed (dialogs), collected on the thread
// that runs the call instead of printed.
struct CallMessages {
  std::vector<Message> messages;
  // The errors, one "title: text" line each (empty when none).
  std::string errors() const;
  std::vector<std::string> warnings() const;
};

// Installs, once, the reporter that hands every dialog to the calling
// thread's CallMessages (dialogs of threads without one go to standard
// error); questions take their default button.
void install_reporter();

// Runs `work` on a thread of its own with the interpreter's lock released,
// with `records` installed as that thread's program-wide records, an empty
// packet log and a CallMessages collecting its dialogs. Meanwhile the
// calling thread wakes every 50 ms and, holding the lock, runs `poll` (the
// progress callback) and the interpreter's signal handlers; when either
// raises (KeyboardInterrupt), `cancel` is called, the thread is waited for
// and the Python error goes on. The work's own exception is rethrown here.
void run_released(State& records, PacketLog& log, CallMessages& messages, const std::function<void()>& work,
                  const std::function<void()>& poll = {}, const std::function<void()>& cancel = {});

// The same on the calling thread without releasing the lock: for the quick
// record operations.
void run_here(State& records, CallMessages& messages, const std::function<void()>& work);

// A unique packet temporary file for one call of this process.
std::string call_packet_file(const char* what);

// The playback sample rate of the records: SigGenSettings.SamplingRate, else
// that of the format and oversampling.
double records_sample_rate(const State& s);

// Parts of the module, each in its own file.
void bind_records(pyb::module_& m);
void bind_calculate(pyb::module_& m);
void bind_files(pyb::module_& m);
void bind_verify(pyb::module_& m);
void bind_download(pyb::module_& m);
void bind_sdr(pyb::module_& m);
void bind_analyze(pyb::module_& m);

}  // namespace tarvio::py
