// The files of one export besides the output itself. The plug-in links
// against nothing of the library, so it keeps these few helpers of its own:
//   - the partial output, created exclusively under a unique name in the
//     folder of the final name (so two exports of the same name never share
//     it) and put on the host's interrupt clean-up table when the host
//     offers one;
//   - scratch files (chunk records, marker bytes, residuals), created the
//     same way and unlinked at once, so they vanish with their last open
//     descriptor whatever way the export ends.
#pragma once

#include <cstdio>
#include <string>

namespace tarvio::exportfiles {

// Creates a unique file in the folder of `near` for writing (and reading
// when `readable`); returns it open, or null with `error` set to the reason.
// `name` receives the file's name and `cleanup` its handle on the host's
// clean-up table, where it is put before it is created (so an interrupt at
// any moment removes it); host_cleanup_forget() takes it off again.
std::FILE* create_unique(const std::string& near, const char* suffix, bool readable, std::string& name, int& cleanup,
                         std::string& error);

// An anonymous scratch file in the folder of `near`, open for writing and
// reading: a file without a name where the system offers that (O_TMPFILE),
// else a unique one unlinked at once; null with `error` set when it cannot
// be created.
std::FILE* open_scratch(const std::string& near, std::string& error);

// The host's interrupt clean-up table (looked up by name in the running
// program; absent in hosts that do not offer it, where these do nothing).
int host_cleanup_register(const std::string& path);
void host_cleanup_forget(int handle);

// The text of errno after a failed call.
std::string errno_text();

}  // namespace tarvio::exportfiles
