// The default document opener.
#include "ui/host.h"

#include <spawn.h>
#include <sys/wait.h>

#include <vector>

extern char** environ;

namespace tarvio::ui {

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
