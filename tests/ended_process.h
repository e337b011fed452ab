// The id of a process that has ended: a child that exits at once, waited
// for. The system hands ids out in turn, so it stays free for the moment a
// test needs it; files named with it stand for the leftovers of a killed
// run.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

namespace tarvio::testing {

inline long ended_process_id() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return long(pid);
}

}  // namespace tarvio::testing
