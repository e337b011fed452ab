// Start-up removal of packet files and partial outputs of ended runs.
#include "instrument/stale_files.h"

#include <filesystem>
#include <string>

#include "instrument/packet_file.h"
#include "runtime/output_target.h"

namespace tarvio {

int remove_stale_files() {
  std::error_code ec;
  const std::filesystem::path tmp = std::filesystem::temp_directory_path(ec);
  const std::string temp_folder = ec ? std::string("/tmp") : tmp.string();
  int removed = packet_file::remove_stale(temp_folder);
  removed += output_target::remove_stale_temps(temp_folder, ".partial");
  removed += output_target::remove_stale_temps(".", ".partial");
  return removed;
}

}  // namespace tarvio
