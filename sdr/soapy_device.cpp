// The device interface over SoapySDR. SoapySDR reports failures as
// exceptions with the driver's text or as negative stream codes; both are
// turned into SdrErrors that say what happened in words.
#include <SoapySDR/Device.hpp>
#include <SoapySDR/Errors.hpp>
#include <SoapySDR/Formats.hpp>
#include <SoapySDR/Logger.hpp>
#include <SoapySDR/Modules.hpp>
#include <SoapySDR/Registry.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>

#include "sdr/sdr_device.h"

namespace tarvio::sdr {

namespace {

int dir(Direction d) { return d == Direction::tx ? SOAPY_SDR_TX : SOAPY_SDR_RX; }
const char* dir_text(Direction d) { return d == Direction::tx ? "transmit" : "receive"; }

std::vector<Range> ranges_of(const SoapySDR::RangeList& l) {
  std::vector<Range> r;
  for (const auto& x : l) r.push_back({x.minimum(), x.maximum(), x.step()});
  return r;
}

std::string stream_code_text(int code) {
  return std::string(SoapySDR::errToStr(code)) + " (" + std::to_string(code) + ")";
}

class SoapyDevice : public Device {
 public:
  SoapyDevice(SoapySDR::Device* dev, std::string driver) : dev_(dev), driver_(std::move(driver)) {}
  ~SoapyDevice() override {
    stop_stream();
    try {
      SoapySDR::Device::unmake(dev_);
    } catch (...) {
      // A device that is gone cannot be closed more than this.
    }
  }

  std::string driver() const override { return driver_; }
  std::string hardware() const override {
    std::string s = dev_->getHardwareKey();
    for (const auto& [k, v] : dev_->getHardwareInfo()) s += ", " + k + "=" + v;
    return s;
  }
  size_t channels(Direction d) const override { return dev_->getNumChannels(dir(d)); }
  std::vector<Range> rate_ranges(Direction d, size_t ch) const override {
    std::vector<Range> r = ranges_of(dev_->getSampleRateRange(dir(d), ch));
    if (r.empty())
      for (double x : dev_->listSampleRates(dir(d), ch)) r.push_back({x, x, 0});
    return r;
  }
  std::vector<Range> frequency_ranges(Direction d, size_t ch) const override {
    return ranges_of(dev_->getFrequencyRange(dir(d), ch));
  }
  Range gain_range(Direction d, size_t ch) const override {
    const SoapySDR::Range g = dev_->getGainRange(dir(d), ch);
    return {g.minimum(), g.maximum(), g.step()};
  }
  std::vector<std::string> antennas(Direction d, size_t ch) const override { return dev_->listAntennas(dir(d), ch); }
  std::vector<std::string> formats(Direction d, size_t ch) const override {
    return dev_->getStreamFormats(dir(d), ch);
  }
  std::string native_format(Direction d, size_t ch) const override {
    double full = 0;
    return dev_->getNativeStreamFormat(dir(d), ch, full);
  }

  void set_rate(Direction d, size_t ch, double r) override { dev_->setSampleRate(dir(d), ch, r); }
  double rate(Direction d, size_t ch) const override { return dev_->getSampleRate(dir(d), ch); }
  void set_frequency(Direction d, size_t ch, double hz) override { dev_->setFrequency(dir(d), ch, hz); }
  void set_gain(Direction d, size_t ch, double db) override { dev_->setGain(dir(d), ch, db); }
  double gain(Direction d, size_t ch) const override { return dev_->getGain(dir(d), ch); }
  void set_antenna(Direction d, size_t ch, const std::string& name) override { dev_->setAntenna(dir(d), ch, name); }

  void start_stream(Direction d, size_t ch, const std::string& format) override {
    stop_stream();
    try {
      stream_ = dev_->setupStream(dir(d), format == "CS16" ? SOAPY_SDR_CS16 : SOAPY_SDR_CF32, {ch});
    } catch (const std::exception& e) {
      throw SdrError(ErrorKind::stream, std::string("cannot set up the ") + dir_text(d) + " stream: " + e.what());
    }
    if (!stream_) throw SdrError(ErrorKind::stream, std::string("the device gave no ") + dir_text(d) + " stream");
    bytes_ = format == "CS16" ? 4 : 8;
    direction_ = d;
    const int rc = dev_->activateStream(stream_);
    if (rc != 0) {
      stop_stream();
      throw SdrError(ErrorKind::stream, std::string("cannot start the ") + dir_text(d) +
                                            " stream: " + stream_code_text(rc));
    }
    active_ = true;
  }

  void write(const void* samples, size_t n, bool end_burst, double timeout_s) override {
    const char* p = static_cast<const char*>(samples);
    size_t left = n;
    const long us = std::lround(timeout_s * 1e6);
    // A driver that keeps accepting nothing without timing out itself is
    // given the same time-out, counted from the last progress.
    auto progress = std::chrono::steady_clock::now();
    do {
      int flags = end_burst ? SOAPY_SDR_END_BURST : 0;
      const void* buffs[1] = {p};
      int rc;
      try {
        rc = dev_->writeStream(stream_, buffs, left, flags, 0, us);
      } catch (const std::exception& e) {
        throw lost(e.what());
      }
      if (rc == SOAPY_SDR_TIMEOUT)
        throw SdrError(ErrorKind::timeout, "the device took no samples for " + seconds(timeout_s) + " (time-out)");
      if (rc < 0) throw stream_error(rc);
      const auto now = std::chrono::steady_clock::now();
      if (rc > 0)
        progress = now;
      else if (left > 0 && std::chrono::duration<double>(now - progress).count() > timeout_s)
        throw SdrError(ErrorKind::timeout, "the device took no samples for " + seconds(timeout_s) + " (time-out)");
      p += size_t(rc) * bytes_;
      left -= std::min(left, size_t(rc));
    } while (left > 0);
  }

  size_t read(void* samples, size_t n, double timeout_s) override {
    void* buffs[1] = {samples};
    int flags = 0;
    long long t = 0;
    for (;;) {
      int rc;
      try {
        rc = dev_->readStream(stream_, buffs, n, flags, t, std::lround(timeout_s * 1e6));
      } catch (const std::exception& e) {
        throw lost(e.what());
      }
      if (rc == SOAPY_SDR_OVERFLOW) {
        ++events_;
        continue;
      }
      if (rc == SOAPY_SDR_TIMEOUT)
        throw SdrError(ErrorKind::timeout, "the device sent no samples for " + seconds(timeout_s) + " (time-out)");
      if (rc < 0) throw stream_error(rc);
      return size_t(rc);
    }
  }

  size_t take_lost_samples_events() override {
    if (stream_ && direction_ == Direction::tx) {
      // Status reports are optional; a driver without them says so once.
      for (int i = 0; i < 64; ++i) {
        size_t chan = 0;
        int flags = 0;
        long long t = 0;
        int rc;
        try {
          rc = dev_->readStreamStatus(stream_, chan, flags, t, 0);
        } catch (const std::exception&) {
          break;
        }
        if (rc == SOAPY_SDR_UNDERFLOW)
          ++events_;
        else
          break;
      }
    }
    const size_t n = events_;
    events_ = 0;
    return n;
  }

  void stop_stream() noexcept override {
    if (!stream_) return;
    try {
      if (active_) dev_->deactivateStream(stream_);
    } catch (...) {
    }
    try {
      dev_->closeStream(stream_);
    } catch (...) {
    }
    stream_ = nullptr;
    active_ = false;
  }

 private:
  static std::string seconds(double s) {
    char b[32];
    std::snprintf(b, sizeof b, "%g s", s);
    return b;
  }
  SdrError lost(const std::string& why) const {
    return SdrError(ErrorKind::lost, "the device " + driver_ + " stopped answering (unplugged?): " + why);
  }
  SdrError stream_error(int rc) const {
    return SdrError(ErrorKind::stream, "stream error from the device " + driver_ + ": " + stream_code_text(rc));
  }

  SoapySDR::Device* dev_;
  std::string driver_;
  SoapySDR::Stream* stream_ = nullptr;
  bool active_ = false;
  size_t bytes_ = 8;
  Direction direction_ = Direction::tx;
  size_t events_ = 0;
};

// SoapySDR's own log lines (module loading and the like) go to standard
// error only when they are warnings or worse.
void quiet_log() {
  static const bool once = [] {
    SoapySDR::setLogLevel(SOAPY_SDR_WARNING);
    return true;
  }();
  (void)once;
}

std::string module_list() {
  std::string s;
  for (const auto& [name, f] : SoapySDR::Registry::listFindFunctions()) {
    (void)f;
    s += (s.empty() ? "" : ", ") + name;
  }
  return s.empty() ? "none" : s;
}

}  // namespace

std::unique_ptr<Device> open_device(const std::string& text) {
  quiet_log();
  const Args a = parse_args(text);
  auto d = a.find("driver");
  SoapySDR::loadModules();
  if (d != a.end()) {
    const auto funcs = SoapySDR::Registry::listMakeFunctions();
    if (!funcs.count(d->second))
      throw SdrError(ErrorKind::no_module, "no SoapySDR module for the driver '" + d->second +
                                               "' is installed (modules found: " + module_list() +
                                               "); install one, e.g. the Debian package soapysdr-module-" +
                                               d->second);
  }
  SoapySDR::Kwargs kw(a.begin(), a.end());
  SoapySDR::Device* dev = nullptr;
  try {
    dev = SoapySDR::Device::make(kw);
  } catch (const std::exception& e) {
    const std::string why = e.what();
    if (why.find("no match") != std::string::npos || why.find("No match") != std::string::npos)
      throw SdrError(ErrorKind::open_failed, "no device matches '" + text + "' (tarvio-cli sdr list shows the devices found)");
    throw SdrError(ErrorKind::open_failed, "cannot open the device '" + text + "': " + why);
  }
  if (!dev) throw SdrError(ErrorKind::open_failed, "cannot open the device '" + text + "'");
  std::string driver = d != a.end() ? d->second : dev->getDriverKey();
  return std::make_unique<SoapyDevice>(dev, driver);
}

std::vector<Found> find_devices(const std::string& text) {
  quiet_log();
  const Args a = parse_args(text);
  std::vector<Found> out;
  for (const SoapySDR::Kwargs& kw : SoapySDR::Device::enumerate(SoapySDR::Kwargs(a.begin(), a.end()))) {
    Found f;
    f.args = Args(kw.begin(), kw.end());
    auto get = [&](const char* k) {
      auto i = kw.find(k);
      return i == kw.end() ? std::string() : i->second;
    };
    f.label = get("label");
    f.driver = get("driver");
    f.serial = get("serial");
    try {
      SoapySDR::Device* dev = SoapySDR::Device::make(kw);
      f.tx_channels = dev->getNumChannels(SOAPY_SDR_TX);
      f.rx_channels = dev->getNumChannels(SOAPY_SDR_RX);
      SoapySDR::Device::unmake(dev);
    } catch (const std::exception&) {
      // Busy or unreachable: listed without channel counts.
    }
    out.push_back(f);
  }
  return out;
}

}  // namespace tarvio::sdr
