// The extension module tarvio._tarvio: the library's records, calculation,
// files, verification and download for the Python package tarvio (whose
// own part, python/tarvio/__init__.py, gives them their Python form).
#include "hosts/cli/cli_command.h"
#include "hosts/cli/cli_reporter.h"
#include "python/binding.h"
#include "records/record_value.h"

PYBIND11_MODULE(_tarvio, m) {
  namespace py = tarvio::py;
  m.doc() = "IEEE 802.11a/b/g test waveforms (internal part of the tarvio package)";
  // What the library shows is collected per call and raised or warned in
  // Python; the command-line notes are not printed.
  py::install_reporter();
  tarvio::cli::quiet_mode() = true;
  // A refused field value or option is a ValueError with the command
  // line's words.
  pybind11::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const tarvio::FieldError& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    } catch (const tarvio::cli::UsageError& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    }
  });
  py::bind_records(m);
  py::bind_calculate(m);
  py::bind_files(m);
  py::bind_verify(m);
  py::bind_download(m);
  py::bind_sdr(m);
  py::bind_analyze(m);
}
