// A software-defined radio as playback and capture need it: its sample
// rate, frequency and gain ranges, antennas and stream formats, one stream
// at a time (transmit or receive) with end-of-burst flags and time-outs.
// Every failure is an SdrError whose text says in words what went wrong.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarvio::sdr {

enum class Direction { tx, rx };

// A range of settings; step 0 means any value in [min, max].
struct Range {
  double min = 0, max = 0, step = 0;
};

// What went wrong, for the caller that reacts differently to each.
enum class ErrorKind { no_module, open_failed, out_of_range, stream, timeout, lost };

class SdrError : public std::runtime_error {
 public:
  SdrError(ErrorKind kind, const std::string& what) : std::runtime_error(what), kind_(kind) {}
  ErrorKind kind() const { return kind_; }

 private:
  ErrorKind kind_;
};

// Device arguments, "key=value,key=value".
using Args = std::map<std::string, std::string>;
Args parse_args(const std::string& text);
std::string args_text(const Args& a);

// One device found by a search: its arguments, driver, serial and channels.
struct Found {
  Args args;
  std::string label, driver, serial;
  size_t tx_channels = 0, rx_channels = 0;
};

class Device {
 public:
  virtual ~Device() = default;

  virtual std::string driver() const = 0;
  // "key=value, ..." of the hardware, for the recording's metadata.
  virtual std::string hardware() const = 0;
  virtual size_t channels(Direction d) const = 0;
  virtual std::vector<Range> rate_ranges(Direction d, size_t ch) const = 0;
  virtual std::vector<Range> frequency_ranges(Direction d, size_t ch) const = 0;
  virtual Range gain_range(Direction d, size_t ch) const = 0;
  virtual std::vector<std::string> antennas(Direction d, size_t ch) const = 0;
  virtual std::vector<std::string> formats(Direction d, size_t ch) const = 0;
  virtual std::string native_format(Direction d, size_t ch) const = 0;

  virtual void set_rate(Direction d, size_t ch, double rate) = 0;
  virtual double rate(Direction d, size_t ch) const = 0;
  virtual void set_frequency(Direction d, size_t ch, double hz) = 0;
  virtual void set_gain(Direction d, size_t ch, double db) = 0;
  virtual double gain(Direction d, size_t ch) const = 0;
  virtual void set_antenna(Direction d, size_t ch, const std::string& name) = 0;

  // Sets up and activates one stream of "CF32" or "CS16" samples.
  virtual void start_stream(Direction d, size_t ch, const std::string& format) = 0;
  // Writes all n samples (end_burst flags the last of them; n may be 0 to
  // end a burst). Throws SdrError: timeout when the device takes nothing
  // for timeout_s, stream on a stream error, lost when the device is gone.
  virtual void write(const void* samples, size_t n, bool end_burst, double timeout_s) = 0;
  // Reads up to n samples and returns how many; throws SdrError as write()
  // does (timeout when nothing came for timeout_s).
  virtual size_t read(void* samples, size_t n, double timeout_s) = 0;
  // Underflows (transmit) or overflows (receive) reported since the last call.
  virtual size_t take_lost_samples_events() = 0;
  // Deactivates and closes the stream; never throws.
  virtual void stop_stream() noexcept = 0;
};

// Opens the device the arguments name (throws SdrError: no_module when no
// module for the driver named is installed, open_failed with the driver's
// reason, busy devices included).
std::unique_ptr<Device> open_device(const std::string& args);
// The devices every installed module finds.
std::vector<Found> find_devices(const std::string& args = "");

// The rate nearest to `want` that the ranges allow.
double nearest_rate(const std::vector<Range>& ranges, double want);
// True when the value lies in one of the ranges.
bool in_ranges(const std::vector<Range>& ranges, double v);
// "1 MHz to 6 GHz" style text of the ranges, in the unit given.
std::string ranges_text(const std::vector<Range>& ranges, const std::string& unit);
// Throws SdrError out_of_range: "WHAT V UNIT is outside the device's range (...)".
[[noreturn]] void refuse(const std::string& what, double v, const std::vector<Range>& r, const std::string& unit);
// Refuses (SdrError out_of_range, with the range) a channel the device does
// not have in direction d and a frequency outside that channel's ranges.
void check_channel_and_frequency(const Device& dev, Direction d, size_t channel, double frequency);

}  // namespace tarvio::sdr
