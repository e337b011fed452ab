// The subcommand table of tarvio-cli. Each subcommand is one file,
// hosts/cli/cmd_<name>.cpp, that registers itself at start-up with
// TARVIO_CLI_COMMAND({name, summary, usage, run}); main() dispatches by name,
// answers --help from the usage text and turns errors into exit codes.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace tarvio::cli {

// Exit codes of every command.
inline constexpr int kExitOk = 0;       // done
inline constexpr int kExitFailure = 1;  // the work failed (operation error, file error, ...)
inline constexpr int kExitUsage = 2;    // the command line was wrong

struct CliCommand {
  std::string name;     // the word after tarvio-cli
  std::string summary;  // one line, for the command list
  std::string usage;    // the full --help text, starting with the usage line
  // Runs the command with the arguments after its name; returns the exit
  // code. May throw UsageError (exit 2) or any std::exception (exit 1).
  int (*run)(const std::vector<std::string>& args) = nullptr;
};

// A command line the command cannot use; main() adds a pointer to --help.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

void add_command(CliCommand c);  // a second command of the same name replaces the first
const CliCommand* find_command(const std::string& name);
std::vector<const CliCommand*> all_commands();  // sorted by name

struct CliRegistrar {
  explicit CliRegistrar(CliCommand c) { add_command(std::move(c)); }
};

}  // namespace tarvio::cli

#define TARVIO_CLI_CONCAT_(a, b) a##b
#define TARVIO_CLI_CONCAT(a, b) TARVIO_CLI_CONCAT_(a, b)
// TARVIO_CLI_COMMAND({"name", "summary", "usage", &run}) once in a cmd_<name>.cpp.
#define TARVIO_CLI_COMMAND(...)                                                   \
  static const ::tarvio::cli::CliRegistrar TARVIO_CLI_CONCAT(tarvio_cli_command_, \
                                                             __LINE__)(::tarvio::cli::CliCommand __VA_ARGS__)
