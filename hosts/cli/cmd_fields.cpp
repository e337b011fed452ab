// tarvio-cli fields: the reference of every field that --set, --sig and
// config --set change: meaning, unit, values (the meaning of each code) and
// default; --markdown writes docs/parameters.md.
#include <cstdio>
#include <string>
#include <vector>

#include "hosts/cli/cli_args.h"
#include "hosts/cli/cli_command.h"
#include "hosts/cli/field_reference.h"

namespace tarvio::cli {

namespace {

const char* kUsage =
    "usage: tarvio-cli fields [NAME|TEXT] [--markdown]\n"
    "\n"
    "Lists the fields of the parameter set (calc --set), the signal generator settings\n"
    "(calc --sig) and the connection settings (config --set): meaning, unit, the values each\n"
    "takes (the meaning of each code) and the default a calculation starts from.\n"
    "  NAME        one field or record by dotted name, e.g. FilterType, Fading, SigGenSettings\n"
    "  TEXT        else the fields whose name, meaning or values hold TEXT (any case), e.g. PN9\n"
    "  --markdown  the whole reference as Markdown (docs/parameters.md)\n"
    "Exit code 1 when nothing matches.\n";

int run_fields(const std::vector<std::string>& args) {
  ParsedArgs pa = parse_args(args, {}, {"--markdown"});
  if (pa.positional.size() > 1) throw UsageError("give one NAME or TEXT");
  const auto records = reference_records();
  if (pa.has("--markdown")) {
    if (!pa.positional.empty()) throw UsageError("--markdown writes the whole reference; leave out NAME");
    std::fputs(reference_markdown(records).c_str(), stdout);
    return kExitOk;
  }
  size_t matches = 0;
  const std::string text = field_text(records, pa.positional.empty() ? "" : pa.positional[0], &matches);
  if (matches == 0) {
    std::fprintf(stderr, "tarvio-cli fields: no field matches '%s'\n", pa.positional[0].c_str());
    return kExitFailure;
  }
  std::fputs(text.c_str(), stdout);
  return kExitOk;
}

}  // namespace

TARVIO_CLI_COMMAND({"fields", "list the fields with their meaning, unit, values and default", kUsage, &run_fields});

}  // namespace tarvio::cli
