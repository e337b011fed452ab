// The connection settings of the instrument commands (download, refresh,
// ping): "rfIOConfig.mat" in the working folder when it exists, as the
// window reads it at start, changed by the command line's connection
// options; and the options' help text shared by those commands.
#pragma once

#include <string>
#include <vector>

#include "instrument/connection_overrides.h"
#include "records/records.h"

namespace tarvio::cli {

// The stored record (LastParameterFilename emptied) or, without the file,
// the defaults. A file that exists but cannot be read, or holds a value
// outside its field's range, throws std::runtime_error naming the file and
// the field. `from_file` tells which it was.
Configuration stored_connection(bool* from_file = nullptr);

// Takes the connection options out of `args` (UsageError for one without
// its value).
ConnectionOverrides take_connection_args(std::vector<std::string>& args);

// state().configuration = `base` changed by the options (UsageError for a
// wrong option value).
void use_connection(const Configuration& base, const ConnectionOverrides& o);

// The usage lines of the connection options.
extern const char* const kConnectionHelp;

}  // namespace tarvio::cli
