// Checks that a file given to read can be read before a reader opens it: a
// folder opens as a stream on this system and fails only at the first read
// with a text that names neither the file nor the reason.
#pragma once

#include <string>

namespace tarvio {

// Why `path` cannot be read, "" when it can: "is a directory", or the
// system's reason for refusing to open it ("no such file or directory",
// "permission denied", ...). Never waits: a FIFO is opened without blocking.
std::string input_file_problem(const std::string& path);

// Throws std::runtime_error "PATH: REASON" when `path` cannot be read.
void check_input_file(const std::string& path);

}  // namespace tarvio
