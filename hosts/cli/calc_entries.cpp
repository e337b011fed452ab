// The entry-rule options of tarvio-cli calc.
#include "hosts/cli/calc_entries.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "control/parameter_checks.h"
#include "control/ramp_time_entry.h"
#include "dsss/dot11b_idle_interval.h"
#include "hosts/cli/cli_command.h"
#include "hosts/cli/cli_reporter.h"
#include "mac/user_data_file.h"
#include "ofdm/dot11a_idle_interval.h"
#include "records/state.h"
#include "runtime/number_text.h"

namespace tarvio::cli {

namespace {

double entry_number(const std::string& option, const std::string& text) {
  const auto v = parse_entry_number(text);
  if (!v) throw UsageError(option + " needs a number of microseconds, not '" + text + "'");
  return *v;
}

void note(const std::string& line) {
  if (!quiet_mode()) std::fprintf(stderr, "[note] %s\n", line.c_str());
}

// Notes a time that the entry rule held within its range.
void note_held(const std::string& option, double asked, const std::string& used) {
  if (std::fabs(asked - std::stod(used)) > 0.5)
    note(option + " " + Num2Str(asked) + ": the entry holds it at " + used + " us");
}

}  // namespace

void set_idle_us(const std::string& text) {
  const double t = entry_number("--idle-us", text);
  Parameters& p = state().parameters;
  const std::string used = p.format == 1 ? Dot11a_txtIdleInterval(text, p) : Dot11b_txtIdleInterval(text, p);
  note_held("--idle-us", t, used);
  recompute_derived(p);
}

void set_ramp_us(const std::string& text) {
  const double t = entry_number("--ramp-us", text);
  Parameters& p = state().parameters;
  note_held("--ramp-us", t, txtRampTime(text, p));
  recompute_derived(p);
}

void load_payload_file(const std::string& path, const std::string& bit_order) {
  if (bit_order != "left-msb" && bit_order != "right-msb")
    throw UsageError("--bit-order must be left-msb or right-msb, not '" + bit_order + "'");
  Parameters& p = state().parameters;
  const double max_bits = 8 * std::max(0.0, p.maxDataLen);
  UserDataFile f = LoadUserDataFile(path, max_bits, bit_order);
  if (f.status != 1) throw std::runtime_error("the payload file '" + path + "' cannot be read");
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (!ec && 8.0 * double(size) > max_bits)
    note("--payload-file " + path + ": only its first " + Num2Str(max_bits / 8) + " of " + Num2Str(double(size)) +
         " bytes are used (maxDataLen)");
  if (f.bits.empty()) throw std::runtime_error("the payload file '" + path + "' is empty");
  p.dataSourceBitstream.assign(f.bits.begin(), f.bits.end());
  p.dataSourceName = path;
  p.dataSourceType = 7;
  p.dataLength = std::min(std::ceil(double(f.bits.size()) / (8 * p.numberOfPackets)), p.maxDataLen);
  recompute_derived(p);
}

void set_memory(const std::string& option) {
  std::string m = option;
  std::transform(m.begin(), m.end(), m.begin(), [](unsigned char c) { return std::toupper(c); });
  if (m != "MEM-A" && m != "MEM-B" && m != "MEM-C")
    throw UsageError("--memory takes MEM-A (8 Msamples), MEM-B (32 Msamples) or MEM-C (64 Msamples), not '" + option +
                     "'");
  state().configuration.BBGtype = m;
}

std::string sigmf_base(const std::string& name) {
  for (const char* ext : {".sigmf-meta", ".sigmf-data", ".sigmf"}) {
    const std::string e = ext;
    if (name.size() > e.size() && name.compare(name.size() - e.size(), e.size(), e) == 0)
      return name.substr(0, name.size() - e.size());
  }
  return name;
}

}  // namespace tarvio::cli
