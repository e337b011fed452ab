// tarvio-cli sdr list | info ARGS: the software-defined radios SoapySDR
// finds, and what one of them can do.
#include <cstdio>
#include <string>
#include <vector>

#include "hosts/cli/cli_command.h"
#include "sdr/sdr_device.h"

namespace tarvio::cli {

namespace {

const std::string kUsage =
    "usage: tarvio-cli sdr list [ARGS]\n"
    "       tarvio-cli sdr info ARGS\n"
    "\n"
    "list: the devices the installed SoapySDR modules find (those matching ARGS, e.g.\n"
    "\"driver=NAME\"), one a line: arguments, driver, serial, transmit and receive channels.\n"
    "info: for the device ARGS names, per direction and channel: sample-rate ranges, frequency\n"
    "range, gain range, antennas and stream formats.\n"
    "Exit code 0, 1 when the device cannot be opened, 2 for a wrong command line.\n";

std::string join(const std::vector<std::string>& v) {
  std::string s;
  for (const auto& x : v) s += (s.empty() ? "" : ", ") + x;
  return s.empty() ? "none" : s;
}

int run_list(const std::string& filter) {
  const auto found = sdr::find_devices(filter);
  if (found.empty()) {
    std::printf("no devices found (a device needs its SoapySDR module, e.g. soapysdr-module-uhd)\n");
    return kExitOk;
  }
  for (const auto& f : found)
    std::printf("%s\n  driver %s, serial %s, %zu TX / %zu RX channel(s)\n", sdr::args_text(f.args).c_str(),
                f.driver.empty() ? "?" : f.driver.c_str(), f.serial.empty() ? "none" : f.serial.c_str(),
                f.tx_channels, f.rx_channels);
  return kExitOk;
}

int run_info(const std::string& args) {
  auto dev = sdr::open_device(args);
  std::printf("driver %s\nhardware %s\n", dev->driver().c_str(), dev->hardware().c_str());
  for (auto d : {sdr::Direction::tx, sdr::Direction::rx}) {
    const char* name = d == sdr::Direction::tx ? "TX" : "RX";
    for (size_t ch = 0; ch < dev->channels(d); ++ch) {
      const sdr::Range g = dev->gain_range(d, ch);
      std::printf("%s channel %zu\n", name, ch);
      std::printf("  sample rates: %s\n", sdr::ranges_text(dev->rate_ranges(d, ch), "Hz").c_str());
      std::printf("  frequency:    %s\n", sdr::ranges_text(dev->frequency_ranges(d, ch), "Hz").c_str());
      std::printf("  gain:         %s\n", sdr::ranges_text({g}, "dB").c_str());
      std::printf("  antennas:     %s\n", join(dev->antennas(d, ch)).c_str());
      std::printf("  formats:      %s (native %s)\n", join(dev->formats(d, ch)).c_str(),
                  dev->native_format(d, ch).c_str());
    }
  }
  return kExitOk;
}

int run_sdr(const std::vector<std::string>& args) {
  if (args.empty()) throw UsageError("sdr needs list or info");
  if (args[0] == "list") {
    if (args.size() > 2) throw UsageError("sdr list takes at most one argument");
    return run_list(args.size() == 2 ? args[1] : "");
  }
  if (args[0] == "info") {
    if (args.size() != 2) throw UsageError("sdr info needs the device ARGS, e.g. \"driver=NAME\"");
    return run_info(args[1]);
  }
  throw UsageError("unknown sdr command '" + args[0] + "' (list or info)");
}

}  // namespace

TARVIO_CLI_COMMAND({"sdr", "list the software-defined radios found, or show what one can do", kUsage, &run_sdr});

}  // namespace tarvio::cli
