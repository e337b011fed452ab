// The default document opener and the display names.
#include "ui/host.h"

#include <spawn.h>
#include <sys/wait.h>

#include <vector>

extern char** environ;

namespace tarvio::ui {

const char* display_name(DisplayKind k) {
  switch (k) {
    case DisplayKind::Spectrum:
      return "spectrum";
    case DisplayKind::Waterfall:
      return "waterfall";
    case DisplayKind::IQTime:
      return "iq";
    case DisplayKind::IQTimeSameAxes:
      return "iq-overlaid";
    case DisplayKind::EyeDiagram:
      return "eye";
    case DisplayKind::ScatterDiagram:
      return "scatter";
    case DisplayKind::CCDF:
      return "ccdf";
  }
  return "?";
}

bool DesktopOpener::open(const std::string& path) {
  std::string prog = "xdg-open", arg = path;
  std::vector<char*> argv{prog.data(), arg.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, prog.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return false;
  int st = 0;
  if (::waitpid(pid, &st, 0) != pid) return false;
  return WIFEXITED(st) && WEXITSTATUS(st) == 0;
}

}  // namespace tarvio::ui
