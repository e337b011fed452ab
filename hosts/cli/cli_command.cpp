// The subcommand table of tarvio-cli.
#include "hosts/cli/cli_command.h"

#include <algorithm>
#include <memory>

namespace tarvio::cli {

namespace {
std::vector<std::unique_ptr<CliCommand>>& table() {
  static std::vector<std::unique_ptr<CliCommand>> t;
  return t;
}
}  // namespace

void add_command(CliCommand c) {
  for (auto& existing : table())
    if (existing->name == c.name) {
      *existing = std::move(c);
      return;
    }
  table().push_back(std::make_unique<CliCommand>(std::move(c)));
}

const CliCommand* find_command(const std::string& name) {
  for (const auto& c : table())
    if (c->name == name) return c.get();
  return nullptr;
}

std::vector<const CliCommand*> all_commands() {
  std::vector<const CliCommand*> out;
  for (const auto& c : table()) out.push_back(c.get());
  std::sort(out.begin(), out.end(), [](const CliCommand* a, const CliCommand* b) { return a->name < b->name; });
  return out;
}

}  // namespace tarvio::cli
