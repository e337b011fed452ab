// Calls the export plug-in Orv_ExportMx by name: the module is loaded on
// first use from the folder of the core library (then from the loader's
// search path), its arguments are passed as argument arrays and its results
// or raised error come back as Values or std::runtime_error.
#pragma once

#include <string>
#include <vector>

#include "runtime/value.h"

namespace tarvio {

// Runs mexFunction of the plug-in with the given inputs (real, complex,
// text, int32 or logical matrices) and returns `nout` results. The error the
// plug-in raises is thrown as std::runtime_error with its message unchanged.
// Throws std::runtime_error when the plug-in cannot be loaded.
std::vector<Value> call_export_plugin(const std::vector<Value>& args, int nout);

// Where the plug-in was found (loads it when needed).
std::string export_plugin_path();

}  // namespace tarvio
