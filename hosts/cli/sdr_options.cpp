// Option handling of the SDR commands.
#include "hosts/cli/sdr_options.h"

#include <cmath>

#include "hosts/cli/cli_args.h"
#include "hosts/cli/cli_command.h"

namespace tarvio::cli {

std::optional<std::string> take_value(std::vector<std::string>& args, const std::string& name) {
  std::optional<std::string> v;
  for (size_t i = 0; i < args.size();) {
    if (args[i] == "--") break;
    if (args[i] == name) {
      if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
      v = args[i + 1];
      args.erase(args.begin() + std::ptrdiff_t(i), args.begin() + std::ptrdiff_t(i) + 2);
    } else if (args[i].rfind(name + "=", 0) == 0) {
      v = args[i].substr(name.size() + 1);
      args.erase(args.begin() + std::ptrdiff_t(i));
    } else {
      ++i;
    }
  }
  return v;
}

bool take_flag(std::vector<std::string>& args, const std::string& name) {
  bool found = false;
  for (size_t i = 0; i < args.size();) {
    if (args[i] == "--") break;
    if (args[i] == name) {
      found = true;
      args.erase(args.begin() + std::ptrdiff_t(i));
    } else {
      ++i;
    }
  }
  return found;
}

double option_number(const std::string& text, const std::string& option) {
  const auto n = parse_number(text);
  if (!n || n->imag() != 0 || !std::isfinite(n->real()))
    throw UsageError(option + " needs a finite real number, not '" + text + "'");
  return n->real();
}

}  // namespace tarvio::cli
