// The memory check for requests sized by outside values.
#include "runtime/memory_check.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>

namespace tarvio {

uint64_t memory_available() {
  std::ifstream in("/proc/meminfo");
  std::string key;
  uint64_t kb = 0;
  std::string unit;
  while (in >> key >> kb >> unit)
    if (key == "MemAvailable:") return kb * 1024;
  const long pages = ::sysconf(_SC_PHYS_PAGES), page = ::sysconf(_SC_PAGESIZE);
  return pages > 0 && page > 0 ? uint64_t(pages) * uint64_t(page) : (uint64_t(4) << 30);
}

std::string byte_text(double bytes) {
  static const char* units[] = {"B", "kB", "MB", "GB", "TB", "PB", "EB"};
  int u = 0;
  while (bytes >= 1000 && u < 6) {
    bytes /= 1000;
    ++u;
  }
  char b[64];
  std::snprintf(b, sizeof b, u == 0 ? "%.0f %s" : "%.3g %s", bytes, units[u]);
  return b;
}

void check_memory(const std::string& what, double elements, double bytes_each) {
  const double need = elements * bytes_each;
  const double have = double(memory_available());
  if (std::isfinite(need) && need <= have) return;
  char count[64];
  if (std::isfinite(elements) && elements == std::floor(elements) && std::fabs(elements) < 1e18)
    std::snprintf(count, sizeof count, "%.0f", elements);
  else
    std::snprintf(count, sizeof count, "%.15g", elements);
  throw std::length_error(what + ": " + count + " elements of " + std::to_string(int(bytes_each)) + " bytes (" +
                          (std::isfinite(need) ? byte_text(need) : std::string("without end")) +
                          ") are more than the " + byte_text(have) + " of memory available");
}

}  // namespace tarvio
