// The device-independent helpers: device argument text, rate choice and
// range texts.
#include "sdr/sdr_device.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace tarvio::sdr {

namespace {

std::string trim(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// The nearest value of one range to v.
double nearest_in(const Range& r, double v) {
  double x = std::min(std::max(v, r.min), r.max);
  if (r.step > 0) {
    x = r.min + std::round((x - r.min) / r.step) * r.step;
    if (x > r.max) x -= r.step;
  }
  return x;
}

std::string value_text(double v, const std::string& unit) {
  char b[64];
  const double a = std::fabs(v);
  if (unit == "Hz" && a >= 1e9)
    std::snprintf(b, sizeof b, "%.10g GHz", v / 1e9);
  else if (unit == "Hz" && a >= 1e6)
    std::snprintf(b, sizeof b, "%.10g MHz", v / 1e6);
  else if (unit == "Hz" && a >= 1e3)
    std::snprintf(b, sizeof b, "%.10g kHz", v / 1e3);
  else
    std::snprintf(b, sizeof b, "%.10g %s", v, unit.c_str());
  return b;
}

}  // namespace

Args parse_args(const std::string& text) {
  Args a;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t comma = text.find(',', pos);
    if (comma == std::string::npos) comma = text.size();
    const std::string item = trim(text.substr(pos, comma - pos));
    if (!item.empty()) {
      const size_t eq = item.find('=');
      if (eq == std::string::npos)
        a[item] = "";
      else
        a[trim(item.substr(0, eq))] = trim(item.substr(eq + 1));
    }
    pos = comma + 1;
  }
  return a;
}

std::string args_text(const Args& a) {
  std::string s;
  for (const auto& [k, v] : a) s += (s.empty() ? "" : ",") + k + "=" + v;
  return s;
}

double nearest_rate(const std::vector<Range>& ranges, double want) {
  double best = 0, dist = std::numeric_limits<double>::infinity();
  for (const Range& r : ranges) {
    const double x = nearest_in(r, want);
    if (std::fabs(x - want) < dist) dist = std::fabs(x - want), best = x;
  }
  return best;
}

bool in_ranges(const std::vector<Range>& ranges, double v) {
  for (const Range& r : ranges)
    if (v >= r.min && v <= r.max) return true;
  return false;
}

std::string ranges_text(const std::vector<Range>& ranges, const std::string& unit) {
  if (ranges.empty()) return "none";
  std::string s;
  for (const Range& r : ranges) {
    if (!s.empty()) s += ", ";
    if (r.min == r.max)
      s += value_text(r.min, unit);
    else
      s += value_text(r.min, unit) + " to " + value_text(r.max, unit) +
           (r.step > 0 ? " in steps of " + value_text(r.step, unit) : "");
  }
  return s;
}

void refuse(const std::string& what, double v, const std::vector<Range>& r, const std::string& unit) {
  char b[64];
  std::snprintf(b, sizeof b, "%.10g", v);
  throw SdrError(ErrorKind::out_of_range,
                 what + " " + b + " " + unit + " is outside the device's range (" + ranges_text(r, unit) + ")");
}

void check_channel_and_frequency(const Device& dev, Direction d, size_t channel, double frequency) {
  const size_t chans = dev.channels(d);
  const char* way = d == Direction::tx ? " transmit channel" : " receive channel";
  if (channel >= chans)
    throw SdrError(ErrorKind::out_of_range, "channel " + std::to_string(channel) + " does not exist: the device has " +
                                                std::to_string(chans) + way + (chans == 1 ? "" : "s"));
  const auto freq = dev.frequency_ranges(d, channel);
  if (!freq.empty() && !in_ranges(freq, frequency)) refuse("the frequency", frequency, freq, "Hz");
}

}  // namespace tarvio::sdr
