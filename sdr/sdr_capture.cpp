// The capture loop: blocks read from the receive stream, converted to
// cf32_le and appended to the data file; the metadata written at the end.
#include "sdr/sdr_capture.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>
#include <vector>

#include "runtime/output_file.h"
#include "sdr/sdr_play.h"

namespace tarvio::sdr {

namespace {

void put_f32le(uint8_t* p, float x) {
  const uint32_t v = std::bit_cast<uint32_t>(x);
  for (int k = 0; k < 4; ++k) p[k] = uint8_t(v >> (8 * k));
}

std::string utc_now() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  const long ms = long(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char b[64];
  std::snprintf(b, sizeof b, "%04d-%02d-%02dT%02d:%02d:%02d.%03ldZ", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                tm.tm_hour, tm.tm_min, tm.tm_sec, ms);
  return b;
}

}  // namespace

std::string sigmf_base(const std::string& name) {
  for (const char* ext : {".sigmf-meta", ".sigmf-data"}) {
    const std::string e = ext;
    if (name.size() > e.size() && name.compare(name.size() - e.size(), e.size(), e) == 0)
      return name.substr(0, name.size() - e.size());
  }
  return name;
}

CaptureResult capture(Device& dev, const CaptureOptions& o, const std::string& base, const std::atomic<bool>& stop) {
  const Direction rx = Direction::rx;
  check_channel_and_frequency(dev, rx, o.channel, o.frequency);
  const size_t ch = o.channel;
  const auto rates = dev.rate_ranges(rx, ch);
  const double r = nearest_rate(rates, o.rate);
  if (rates.empty() || std::fabs(r - o.rate) > 1e-9 * o.rate) {
    char b[64];
    std::snprintf(b, sizeof b, "%.10g", o.rate);
    throw SdrError(ErrorKind::out_of_range, std::string("the rate ") + b + " Hz is not one the device runs (" +
                                                ranges_text(rates, "Hz") + ")");
  }
  const Range g = dev.gain_range(rx, ch);
  if (o.gain && (*o.gain < g.min || *o.gain > g.max)) refuse("the gain", *o.gain, {g}, "dB");
  try {
    dev.set_rate(rx, ch, o.rate);
    dev.set_frequency(rx, ch, o.frequency);
    if (o.gain) dev.set_gain(rx, ch, *o.gain);
    if (!o.antenna.empty()) dev.set_antenna(rx, ch, o.antenna);
  } catch (const SdrError&) {
    throw;
  } catch (const std::exception& e) {
    throw SdrError(ErrorKind::out_of_range, std::string("the device refused the settings: ") + e.what());
  }

  CaptureResult res;
  res.format = choose_format(dev, rx, ch);
  const bool cs16 = res.format == "CS16";
  const size_t want = size_t(std::llround(o.seconds * o.rate));
  double gain = o.gain ? *o.gain : 0;
  try {
    gain = dev.gain(rx, ch);
  } catch (const std::exception&) {
    // A driver without a gain read-back: the gain set is recorded.
  }
  OutputFile data(base + ".sigmf-data");
  const std::string when = utc_now();
  {
    struct StopStream {
      Device& d;
      ~StopStream() { d.stop_stream(); }
    } guard{dev};
    dev.start_stream(rx, ch, res.format);
    constexpr size_t kBlock = 65536;
    std::vector<char> buf(kBlock * 8);
    std::vector<uint8_t> bytes(kBlock * 8);
    while (res.samples < want) {
      if (stop.load()) {
        res.stopped = true;
        break;
      }
      const size_t n = dev.read(buf.data(), std::min(kBlock, want - res.samples), o.timeout_s);
      for (size_t k = 0; k < n; ++k) {
        float i, q;
        if (cs16) {
          const auto* s = reinterpret_cast<const int16_t*>(buf.data());
          i = float(s[2 * k]) / 32768.0f, q = float(s[2 * k + 1]) / 32768.0f;
        } else {
          const auto* s = reinterpret_cast<const float*>(buf.data());
          i = s[2 * k], q = s[2 * k + 1];
        }
        put_f32le(&bytes[8 * k], i);
        put_f32le(&bytes[8 * k + 4], q);
      }
      data.write(bytes.data(), 8 * n);
      res.samples += n;
      res.overflows += dev.take_lost_samples_events();
    }
  }
  res.overflows += dev.take_lost_samples_events();

  nlohmann::ordered_json meta = {
      {"global",
       {{"core:datatype", "cf32_le"},
        {"core:sample_rate", o.rate},
        {"core:version", "1.0.0"},
        {"core:num_channels", 1},
        {"core:hw", dev.driver() + ": " + dev.hardware()},
        {"core:recorder", "Tarvio"},
        {"core:extensions", nlohmann::ordered_json::array({{{"name", "tarvio"}, {"version", "1.0.0"}, {"optional", true}}})},
        {"tarvio:gain_db", gain},
        {"tarvio:channel", o.channel},
        {"tarvio:overflows", res.overflows}}},
      {"captures", nlohmann::ordered_json::array(
                       {{{"core:sample_start", 0}, {"core:frequency", o.frequency}, {"core:datetime", when}}})},
      {"annotations", nlohmann::ordered_json::array()}};
  if (!o.antenna.empty()) meta["global"]["tarvio:antenna"] = o.antenna;
  OutputFile meta_file(base + ".sigmf-meta");
  meta_file.write(meta.dump(2) + "\n");
  data.close();
  meta_file.close();
  data.commit();
  meta_file.commit();
  return res;
}

}  // namespace tarvio::sdr
