// Values written on the command line (tarvio-cli call arguments, --set and
// --sig): the value syntax, and FIELD=VALUE written into the records. Words
// starting with '@' name MAT files, which the mat_file target covers.
#include <cstdint>
#include <exception>
#include <string>

#include "hosts/cli/cli_args.h"
#include "records/field_path.h"
#include "records/records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarvio;
  const std::string text(reinterpret_cast<const char*>(data), size);
  cli::parse_number(text);
  const size_t eq = text.find('=');
  const std::string value = eq == std::string::npos ? text : text.substr(eq + 1);
  if (!value.empty() && value[0] == '@') return 0;
  try {
    const Value v = cli::parse_value(value);
    if (eq != std::string::npos) {
      Parameters p;
      SigGenSettings s;
      try {
        set_field(p, text.substr(0, eq), v, "parameters");
      } catch (const std::exception&) {
      }
      set_field(s, text.substr(0, eq), v, "SigGenSettings");
    }
  } catch (const std::exception&) {
  }
  return 0;
}
