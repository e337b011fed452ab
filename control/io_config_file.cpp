// The I/O configuration file "rfIOConfig.mat" in the working folder.
#include "control/parameter_files.h"
#include "records/record_value.h"
#include "runtime/matfile.h"
#include "runtime/registry.h"

namespace tarvio {

void SaveConfig(const Configuration& fileParameters) {
  mat_write(kIoConfigFile, {{"fileParameters", to_value(fileParameters)}});
}

std::optional<Configuration> loadConfig() {
  try {
    Configuration c = record_from_value<Configuration>(
        mat_read_var(kIoConfigFile, "fileParameters", {kSettingsFileMaxBytes}), "fileParameters");
    // The last parameter file belongs to the session that used it.
    c.LastParameterFilename.clear();
    return c;
  } catch (const std::exception&) {
    // A missing or unusable file leaves the defaults in force, by design.
    return std::nullopt;
  }
}

TARVIO_OP(
    "SaveConfig", 1, 0,
    [](const Args& in, int) -> std::vector<Value> {
      SaveConfig(record_from_value<Configuration>(arg_required(in, 0, "SaveConfig"), "fileParameters"));
      return {};
    },
    "SaveConfig(configuration): writes rfIOConfig.mat in the working folder");

}  // namespace tarvio
