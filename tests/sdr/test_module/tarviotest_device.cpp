// A SoapySDR device module for the tests, driver "tarviotest": a radio
// without hardware. It records what it is sent and plays a file back on
// receive; its arguments choose the rates it runs and the faults it shows.
//   record=PATH    transmitted samples appended to PATH as sent (CF32 or
//                  CS16), and PATH.bursts gets one line "end N" for every
//                  end-of-burst flag, N the samples sent until then
//   playback=PATH  cf32_le samples returned on receive, looped
//   native=CS16    the native stream format (default CF32)
//   rates=A;B      the only sample rates it runs (default 100 kHz to 61.44 MHz)
//   pace=1         receive paced at the sample rate, as a radio delivers
//   fault=underflow  one underflow reported per end-of-burst flag
//   fault=timeout    every write and read times out
//   fault=lost       after lost_after samples (default 1000) every stream
//                    call throws, as a driver does for an unplugged device
//   fault=busy       opening fails as for a device claimed by another program
#include <SoapySDR/Device.hpp>
#include <SoapySDR/Errors.hpp>
#include <SoapySDR/Formats.hpp>
#include <SoapySDR/Registry.hpp>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string arg(const SoapySDR::Kwargs& a, const std::string& k, const std::string& def = "") {
  auto i = a.find(k);
  return i == a.end() ? def : i->second;
}

class TestDevice : public SoapySDR::Device {
 public:
  explicit TestDevice(const SoapySDR::Kwargs& a)
      : record_(arg(a, "record")), native_(arg(a, "native", "CF32")), fault_(arg(a, "fault")),
        lost_after_(std::stoull(arg(a, "lost_after", "1000"))), pace_(arg(a, "pace") == "1") {
    if (!record_.empty()) {
      std::ofstream(record_, std::ios::binary | std::ios::trunc);
      std::ofstream(record_ + ".bursts", std::ios::trunc);
    }
    const std::string rates = arg(a, "rates");
    std::stringstream ss(rates);
    for (std::string r; std::getline(ss, r, ';');) rates_.push_back(std::stod(r));
    const std::string pb = arg(a, "playback");
    if (!pb.empty()) {
      std::ifstream f(pb, std::ios::binary);
      std::vector<char> b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
      playback_.resize(b.size() / 4);
      std::memcpy(playback_.data(), b.data(), playback_.size() * 4);
    }
  }

  std::string getDriverKey() const override { return "tarviotest"; }
  std::string getHardwareKey() const override { return "tarviotest"; }
  SoapySDR::Kwargs getHardwareInfo() const override { return {{"serial", "T1"}}; }
  size_t getNumChannels(const int) const override { return 1; }
  std::vector<std::string> getStreamFormats(const int, const size_t) const override {
    return {SOAPY_SDR_CF32, SOAPY_SDR_CS16};
  }
  std::string getNativeStreamFormat(const int, const size_t, double& full) const override {
    full = native_ == "CS16" ? 32767 : 1.0;
    return native_;
  }
  std::vector<std::string> listAntennas(const int, const size_t) const override { return {"TX/RX", "RX2"}; }
  void setAntenna(const int, const size_t, const std::string&) override {}
  SoapySDR::Range getGainRange(const int, const size_t) const override { return {0, 60, 1}; }
  void setGain(const int, const size_t, const double v) override { gain_ = v; }
  double getGain(const int, const size_t) const override { return gain_; }
  SoapySDR::RangeList getFrequencyRange(const int, const size_t) const override { return {{70e6, 6e9}}; }
  void setFrequency(const int, const size_t, const double f, const SoapySDR::Kwargs&) override { freq_ = f; }
  double getFrequency(const int, const size_t) const override { return freq_; }
  SoapySDR::RangeList getSampleRateRange(const int, const size_t) const override {
    if (rates_.empty()) return {{1e5, 61.44e6}};
    SoapySDR::RangeList l;
    for (double r : rates_) l.push_back({r, r});
    return l;
  }
  void setSampleRate(const int, const size_t, const double r) override { rate_ = r; }
  double getSampleRate(const int, const size_t) const override { return rate_; }

  SoapySDR::Stream* setupStream(const int dir, const std::string& format, const std::vector<size_t>&,
                                const SoapySDR::Kwargs&) override {
    format_ = format;
    dir_ = dir;
    return reinterpret_cast<SoapySDR::Stream*>(this);
  }
  void closeStream(SoapySDR::Stream*) override {}
  int activateStream(SoapySDR::Stream*, const int, const long long, const size_t) override { return 0; }
  int deactivateStream(SoapySDR::Stream*, const int, const long long) override {
    if (!record_.empty()) std::ofstream(record_ + ".bursts", std::ios::app) << "deactivated\n";
    return 0;
  }

  int writeStream(SoapySDR::Stream*, const void* const* buffs, const size_t n, int& flags, const long long,
                  const long) override {
    if (fault_ == "timeout") return SOAPY_SDR_TIMEOUT;
    if (fault_ == "lost" && sent_ >= lost_after_) throw std::runtime_error("USB transfer failed: no such device");
    const size_t take = n;
    const size_t bytes = format_ == SOAPY_SDR_CS16 ? 4 : 8;
    if (!record_.empty() && take > 0)
      std::ofstream(record_, std::ios::binary | std::ios::app).write(static_cast<const char*>(buffs[0]), std::streamsize(take * bytes));
    sent_ += take;
    if (flags & SOAPY_SDR_END_BURST) {
      if (!record_.empty()) std::ofstream(record_ + ".bursts", std::ios::app) << "end " << sent_ << "\n";
      if (fault_ == "underflow") ++underflows_;
    }
    return int(take);
  }

  int readStreamStatus(SoapySDR::Stream*, size_t&, int&, long long&, const long) override {
    if (underflows_ > 0) {
      --underflows_;
      return SOAPY_SDR_UNDERFLOW;
    }
    return SOAPY_SDR_TIMEOUT;
  }

  int readStream(SoapySDR::Stream*, void* const* buffs, const size_t n, int& flags, long long&, const long) override {
    flags = 0;
    if (fault_ == "timeout" || playback_.empty()) return SOAPY_SDR_TIMEOUT;
    if (fault_ == "lost" && sent_ >= lost_after_) throw std::runtime_error("USB transfer failed: no such device");
    const size_t pairs = playback_.size() / 2;
    for (size_t k = 0; k < n; ++k, pos_ = (pos_ + 1) % pairs) {
      const float i = playback_[2 * pos_], q = playback_[2 * pos_ + 1];
      if (format_ == SOAPY_SDR_CS16) {
        auto* d = static_cast<int16_t*>(buffs[0]);
        d[2 * k] = int16_t(i * 32767), d[2 * k + 1] = int16_t(q * 32767);
      } else {
        auto* d = static_cast<float*>(buffs[0]);
        d[2 * k] = i, d[2 * k + 1] = q;
      }
    }
    sent_ += n;
    if (pace_) std::this_thread::sleep_for(std::chrono::duration<double>(double(n) / rate_));
    return int(n);
  }

 private:
  std::string record_, native_, fault_;
  unsigned long long lost_after_;
  bool pace_;
  std::vector<double> rates_;
  std::vector<float> playback_;
  std::string format_ = SOAPY_SDR_CF32;
  int dir_ = SOAPY_SDR_TX;
  double gain_ = 0, freq_ = 2.4e9, rate_ = 1e6;
  unsigned long long sent_ = 0;
  size_t pos_ = 0;
  int underflows_ = 0;
};

SoapySDR::KwargsList find_test(const SoapySDR::Kwargs& a) {
  if (a.count("driver") && a.at("driver") != "tarviotest") return {};
  return {{{"driver", "tarviotest"}, {"label", "Tarvio test radio"}, {"serial", "T1"}}};
}

SoapySDR::Device* make_test(const SoapySDR::Kwargs& a) {
  if (arg(a, "fault") == "busy") throw std::runtime_error("device busy: it is claimed by another program");
  return new TestDevice(a);
}

const SoapySDR::Registry kRegistry("tarviotest", &find_test, &make_test, SOAPY_SDR_ABI_VERSION);

}  // namespace
