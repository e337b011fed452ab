// Entry point of the export plug-in Orv_ExportMx: checks the arguments of
// its two modes, builds the header and the writer, runs the matching driver
// and returns 0 and "Succeeded", or raises an error with a fixed message.
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <thread>

#include "export_drivers.h"
#include "export_header.h"
#include "export_writer.h"
#include "mxarray.h"

namespace {

using namespace tarvio;

const char* const kUsage = "Usage: Orv_ExportMx( function, ... )";
const char* const kUsage1 = "Usage: Orv_ExportMx(1, ExportFileName, Header, Option, Comment, Marker, IQData); ";
const char* const kUsage2 =
    "Usage: Orv_ExportMx(2, ExportFileName, Header, Option, Comment, Marker, PktFileName, PktSize, NumPkts); ";
const char* const kMarkerLength = "Markers has to have the same length with IQ data";
const char* const kFailed = "File Export Failed!";

// The fixed failure text followed by the writer's reason (the file and
// what went wrong).
[[noreturn]] void raise_failed(const std::string& reason) {
  const std::string text = reason.empty() ? std::string(kFailed) : std::string(kFailed) + " " + reason;
  mx_raise(text.c_str());
}

// A text argument, of which at most `max_chars` characters are used (file
// names are taken whole).
std::string text_arg(const mxArray* a, std::size_t max_chars, const char* usage) {
  if (a == nullptr || mx_class_of(a) != MX_CHAR) mx_raise(usage);
  std::string s(mx_numel(a) + 1, '\0');
  mx_text(a, s.data(), s.size());
  s.resize(mx_numel(a));
  if (s.size() > max_chars) s.resize(max_chars);
  return s;
}

const mxArray* double_arg(const mxArray* a, const char* usage) {
  if (a == nullptr || mx_class_of(a) != MX_DOUBLE) mx_raise(usage);
  return a;
}

// A non-negative whole count given as a double scalar.
std::size_t count_arg(const mxArray* a, const char* usage) {
  double_arg(a, usage);
  if (mx_numel(a) != 1) mx_raise(usage);
  const double v = mx_real(a)[0];
  if (!(v >= 0) || v != std::floor(v) || v > 1e15) mx_raise(usage);
  return std::size_t(v);
}

struct CommonArgs {
  std::string file_name;
  ExportHeader header;
  std::string option;
  const mxArray* marker = nullptr;
};

// A file name is used whole; a NUL character inside it would end it early
// at the system call and name another file.
std::string file_name_arg(const mxArray* a, const char* usage) {
  std::string s = text_arg(a, std::string::npos, usage);
  if (s.find('\0') != std::string::npos)
    raise_failed("the file name '" + s.substr(0, s.find('\0')) + "' holds a NUL character");
  return s;
}

CommonArgs common_args(const mxArray* prhs[], const char* usage) {
  CommonArgs c;
  c.file_name = file_name_arg(prhs[1], usage);
  const mxArray* h = double_arg(prhs[2], usage);
  c.option = text_arg(prhs[3], 18, usage);
  const std::string comment = text_arg(prhs[4], 18, usage);
  c.header = make_export_header(mx_real(h), mx_numel(h), comment);
  c.marker = double_arg(prhs[5], usage);
  return c;
}

void set_results(int nlhs, mxArray* plhs[]) {
  plhs[0] = mx_create_scalar(0);
  if (plhs[0] == nullptr) mx_raise("bad allocation");
  if (nlhs >= 2) {
    plhs[1] = mx_create_text("Succeeded");
    if (plhs[1] == nullptr) mx_raise("bad allocation");
  }
}

}  // namespace

// Orv_ExportMx(function, ...): mode 1 writes IQData given in memory, mode 2
// the packets of the packet temporary file. The writer object is released
// (its temporary files removed) before any failure is raised.
extern "C" __attribute__((visibility("default"))) void mexFunction(int nlhs, mxArray* plhs[], int nrhs,
                                                                   const mxArray* prhs[]) {
  if (nrhs < 1 || mx_class_of(prhs[0]) != MX_INT32 || mx_numel(prhs[0]) == 0) mx_raise(kUsage);
  const int32_t function = mx_int32(prhs[0])[0];

  if (function == 1) {
    if (nrhs < 7) mx_raise(kUsage1);
    CommonArgs c = common_args(prhs, kUsage1);
    const mxArray* iq = double_arg(prhs[6], kUsage1);
    const std::size_t n = mx_cols(iq);
    if (mx_cols(c.marker) != n) mx_raise(kMarkerLength);
    bool good = false;
    std::string reason;
    {
      TwoPassExportWriter writer(c.file_name, c.option, c.header);
      good = export_from_memory(writer, mx_real(iq), mx_imag(iq), n, mx_real(c.marker), mx_rows(c.marker));
      reason = writer.error();
    }
    if (!good) raise_failed(reason);
    set_results(nlhs, plhs);
  } else if (function == 2) {
    if (nrhs < 9) mx_raise(kUsage2);
    CommonArgs c = common_args(prhs, kUsage2);
    const std::string packet_file = file_name_arg(prhs[6], kUsage2);
    const std::size_t pkt_size = count_arg(prhs[7], kUsage2);
    const std::size_t num_pkts = count_arg(prhs[8], kUsage2);
    // The marker matrix describes one packet; any other width would make
    // the writer read past it or drop markers.
    if (mx_cols(c.marker) != pkt_size && mx_numel(c.marker) != 0) mx_raise(kMarkerLength);
    const std::size_t rows = mx_numel(c.marker) == 0 ? 0 : mx_rows(c.marker);
    // An optional tenth argument: the packet file's peak, kept by the caller
    // while the file was written, so that the file is read only once.
    double peak = -1;
    if (nrhs >= 10) {
      const mxArray* a = double_arg(prhs[9], kUsage2);
      if (mx_numel(a) != 1) mx_raise(kUsage2);
      peak = mx_real(a)[0];
    }
    bool good = false;
    std::string reason;
    {
      TwoPassExportWriter writer(c.file_name, c.option, c.header);
      // The plain encoding of this writer lets every core encode a part.
      const std::size_t lanes = std::max(1u, std::min(2u, std::thread::hardware_concurrency()));
      good = export_from_packets(writer, packet_file, pkt_size, num_pkts, mx_real(c.marker), rows, peak, lanes);
      reason = writer.error();
    }
    if (!good) raise_failed(reason);
    set_results(nlhs, plhs);
  }
}
