// The export command after the file has been chosen.
#include "files/export_data.h"

#include <algorithm>
#include <cctype>

#include "files/orv_export.h"
#include "records/state.h"

namespace tarvio {

namespace {

std::string with_extension(const std::string& name, const std::string& ext) {
  const bool has = name.size() >= ext.size() && name.compare(name.size() - ext.size(), ext.size(), ext) == 0;
  return has ? name : name + ext;
}

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return s;
}

}  // namespace

std::string ExportDataCommand(const std::string& chosen_name) {
  const std::string name = with_extension(chosen_name, ".wfm");
  const State& s = state();
  if (lower(s.appInfo.Platform) != "c") return "";
  Orv_Export(name, s.waveform, marker_rows(s.markers), s.sigGenSettings, s.appInfo);
  return name;
}

}  // namespace tarvio
