// tarvio-cli: runs Tarvio from the command line. Builds the default records,
// then dispatches to the subcommand named by the first argument. --quiet
// (anywhere before "--") leaves only errors on standard error; --version
// names the version and the libraries in use.
#include <fftw3.h>
#include <matio.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "control/initialize.h"
#include "hosts/cli/cli_command.h"
#include "hosts/cli/cli_reporter.h"
#include "instrument/packet_file.h"
#include "instrument/stale_files.h"
#include "records/defaults.h"
#include "records/state.h"
#include "runtime/cleanup.h"
#include "runtime/report.h"

namespace {

using tarvio::cli::all_commands;
using tarvio::cli::CliCommand;
using tarvio::cli::kExitFailure;
using tarvio::cli::kExitUsage;
using tarvio::cli::UsageError;

void print_command_list(FILE* out) {
  std::fprintf(out,
               "usage: tarvio-cli [--quiet] COMMAND [ARG ...]\n"
               "       tarvio-cli COMMAND --help\n"
               "       tarvio-cli --version\n\n"
               "Commands:\n");
  for (const CliCommand* c : all_commands()) std::fprintf(out, "  %-10s %s\n", c->name.c_str(), c->summary.c_str());
}

void print_version() {
  const tarvio::AppInfo a = tarvio::DefaultAppInfo();
  int major = 0, minor = 0, release = 0;
  Mat_GetLibraryVersion(&major, &minor, &release);
  std::printf("tarvio-cli %s (%s)\n", a.Rev.c_str(), a.Date.c_str());
  std::printf("libraries: %s, matio %d.%d.%d, zlib %s, nlohmann_json %d.%d.%d, %s\n", fftw_version, major, minor,
              release, zlibVersion(), NLOHMANN_JSON_VERSION_MAJOR, NLOHMANN_JSON_VERSION_MINOR,
              NLOHMANN_JSON_VERSION_PATCH,
#if defined(__clang__)
              "clang " __clang_version__
#elif defined(__GNUC__)
              "GCC " __VERSION__
#else
              "an unknown compiler"
#endif
  );
}

// Takes --quiet (and -q) out of the arguments before any "--".
bool take_quiet(std::vector<std::string>& args) {
  bool quiet = false;
  for (size_t i = 0; i < args.size() && args[i] != "--";) {
    if (args[i] == "--quiet" || args[i] == "-q") {
      quiet = true;
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
  return quiet;
}

// Standard output is buffered: a full disk or a closed pipe shows only when
// the buffer is written, so the last write and the close are checked too.
bool stdout_written(const std::string& command) {
  const bool good = std::fflush(stdout) == 0 && !std::ferror(stdout);
  const int err = errno;
  if (good && std::fclose(stdout) == 0) return true;
  std::fprintf(stderr, "tarvio-cli %s: error: cannot write standard output: %s\n", command.c_str(),
               std::strerror(good ? errno : err));
  return false;
}

// Runs the command; the process's own packet temporary file does not
// outlive it, whatever way the command ends.
int run_command(const CliCommand& cmd, const std::vector<std::string>& rest) {
  using tarvio::cli::kExitOk;
  using tarvio::cli::write_held_warnings;
  std::string own_packets;
  try {
    tarvio::InitializeAll();
    own_packets = tarvio::state().parameters.multiFrame.tmpFileName;
    const int rc = cmd.run(rest);
    tarvio::packet_file::discard(own_packets);
    if (rc != kExitOk) write_held_warnings();
    return rc;
  } catch (const UsageError& e) {
    tarvio::packet_file::discard(own_packets);
    write_held_warnings();
    std::fprintf(stderr, "tarvio-cli %s: %s\n(tarvio-cli %s --help shows the usage)\n", cmd.name.c_str(), e.what(),
                 cmd.name.c_str());
    return kExitUsage;
  } catch (const std::exception& e) {
    tarvio::packet_file::discard(own_packets);
    write_held_warnings();
    std::fprintf(stderr, "tarvio-cli %s: error: %s\n", cmd.name.c_str(), e.what());
    return kExitFailure;
  }
}

bool wants_help(const std::vector<std::string>& args) {
  for (const auto& a : args) {
    if (a == "--") return false;
    if (a == "--help" || a == "-h") return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tarvio::cli;
  tarvio::set_reporter(std::make_shared<tarvio::StderrReporter>());
  std::vector<std::string> args(argv + 1, argv + argc);
  quiet_mode() = take_quiet(args);
  if (!args.empty() && args[0] == "--version") {
    print_version();
    return kExitOk;
  }
  if (args.empty()) {
    print_command_list(stderr);
    return kExitUsage;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    if (args[0] == "help" && args.size() > 1) {
      if (const CliCommand* c = find_command(args[1])) {
        std::fputs(c->usage.c_str(), stdout);
        return kExitOk;
      }
      std::fprintf(stderr, "tarvio-cli: unknown command '%s'\n", args[1].c_str());
      return kExitUsage;
    }
    print_command_list(stdout);
    return kExitOk;
  }
  const CliCommand* cmd = find_command(args[0]);
  if (!cmd) {
    std::fprintf(stderr, "tarvio-cli: unknown command '%s' (tarvio-cli --help lists the commands)\n", args[0].c_str());
    return kExitUsage;
  }
  std::vector<std::string> rest(args.begin() + 1, args.end());
  if (wants_help(rest)) {
    std::fputs(cmd->usage.c_str(), stdout);
    return kExitOk;
  }
  tarvio::install_interrupt_cleanup();
  tarvio::remove_stale_files();
  const int rc = run_command(*cmd, rest);
  if (!stdout_written(cmd->name)) return kExitFailure;
  return rc;
}
