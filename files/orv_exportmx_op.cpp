// The export plug-in's entry point as an operation: its arguments are passed
// to the plug-in as they come, and its results or its raised error come back.
#include <algorithm>

#include "files/export_plugin.h"
#include "runtime/registry.h"

namespace tarvio {

TARVIO_OP_VARARGS(
    "Orv_ExportMx", 12, 2,
    [](const Args& in, int nout) -> std::vector<Value> { return call_export_plugin(in, std::max(nout, 1)); },
    "[status, description] = Orv_ExportMx(...): calls the export plug-in's entry point by name");

}  // namespace tarvio
