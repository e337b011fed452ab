// The unattended number list "WLAN_varsB.txt": white-space separated
// decimal numbers read in order.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "control/parameter_files.h"
#include "runtime/input_file.h"
#include "runtime/registry.h"
#include "runtime/report.h"

namespace tarvio {

std::vector<double> LoadVars() {
  const char* name = "WLAN_varsB.txt";
  try {
    // A folder opens as a stream and fails only at the first read.
    check_input_file(name);
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(name, "r"), &std::fclose);
    if (!f) throw std::runtime_error(std::string("Cannot open ") + name + ": " + std::strerror(errno));
    std::vector<double> out;
    double x = 0;
    // Numbers are read until the first text that is not one, as "%f" does.
    while (std::fscanf(f.get(), "%lf", &x) == 1) out.push_back(x);
    if (std::ferror(f.get()))
      throw std::runtime_error(std::string("Read error on ") + name + ": " + std::strerror(errno));
    return out;
  } catch (const std::exception& e) {
    report_error("Error Loading WLAN_varsB.txt", e.what());
    return {};
  }
}

TARVIO_OP(
    "LoadVars", 1, 1,
    [](const Args&, int) -> std::vector<Value> {
      std::vector<double> v = LoadVars();
      const size_t n = v.size();
      return {Value::real(n, n ? 1 : 0, std::move(v))};
    },
    "s = LoadVars(ignored): the numbers of WLAN_varsB.txt as a column");

}  // namespace tarvio
