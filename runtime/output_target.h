// Where the bytes of an output go, and the temporaries made on the way.
//
// A regular file (or a name not yet there) is written under a temporary
// name in its folder and renamed over it when complete. A symbolic link is
// followed: the file it leads to is replaced the same way and the link
// stays. A character device or a FIFO is written in place (a full device
// then fails the write, a pipe's reader gets the bytes). Anything else (a
// folder, a block device, a socket) is refused.
//
// Temporaries are named ".NAME.PID.RANDOM.SUFFIX": the process id in the
// name lets a later run tell the leftovers of a killed run from the
// temporaries of one still running.
//
// This file uses nothing but the system, so that the export plug-in, which
// links nothing of the library, is built with the same rules.
#pragma once

#include <cstddef>
#include <string>

namespace tarvio::output_target {

enum class Way {
  kReplace,  // a temporary beside `path`, renamed over it when complete
  kInPlace,  // opened and written as it is (a character device or a FIFO)
};

struct Target {
  Way way = Way::kReplace;
  // The file that is written in place or replaced: for a symbolic link the
  // file the link leads to.
  std::string path;
};

// Decides how `path` is written. Returns false and sets `error` to the
// reason (without the path) when it cannot be written at all.
bool resolve(const std::string& path, Target& target, std::string& error);

// Opens a character device or a FIFO for writing; waits, as any writer
// does, until a FIFO has a reader. Returns the descriptor or -1 (errno).
int open_in_place(const std::string& path);

// The name of a new temporary for `path` in its folder: ".NAME.PID.RANDOM"
// followed by `suffix`, NAME cut so that the whole fits in `name_max` bytes.
std::string temp_name(const std::string& path, const std::string& suffix, size_t name_max);

// Removes the temporaries ending in `suffix` in `folder` that processes of
// this user left behind when they ended without removing them: names of
// the form above whose process is gone, regular files owned by this user.
// With `for_name` only the temporaries of that final name. Returns how many
// were removed; folders that cannot be read are skipped.
int remove_stale_temps(const std::string& folder, const std::string& suffix, const std::string& for_name = "");

// True when no process has the id `pid` (kill(pid, 0) fails with ESRCH);
// a process of another user counts as running.
bool process_gone(long pid);

// True when `path` itself (a link is not followed) is a regular file owned
// by the effective user of this process.
bool own_regular_file(const std::string& path);

}  // namespace tarvio::output_target
