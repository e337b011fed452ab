// Command handling of the simulated signal generator.
#include "hosts/sim/sim_instrument.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "hosts/sim/scpi_header.h"

namespace tarvio::sim {

namespace {

std::string upper(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string unquote(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
    return s.substr(1, s.size() - 2);
  return s;
}

void write_all(int fd, const void* p, size_t n) {
  const char* c = static_cast<const char*>(p);
  while (n > 0) {
    ssize_t w = ::write(fd, c, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return;
    c += w;
    n -= static_cast<size_t>(w);
  }
}

// A file name inside the store folder: characters outside a safe set
// become '_', so a name can never leave the folder.
std::string safe_file_name(const std::string& name) {
  std::string s;
  for (char c : name) s += (std::isalnum(static_cast<unsigned char>(c)) || std::strchr("_$&#+-[]", c)) ? c : '_';
  return s.empty() ? "_" : s;
}

std::string number_reply(double v) {
  char b[64];
  std::snprintf(b, sizeof b, "%+.12E", v);
  return b;
}

// Parses "<number>[unit]" with the units allowed for the kind ("freq":
// Hz, kHz, MHz, GHz; "power": dBm; "plain": none). False when malformed.
bool parse_value(const std::string& text, const char* kind, double& out) {
  const char* s = text.c_str();
  char* end = nullptr;
  double v = std::strtod(s, &end);
  if (end == s || !std::isfinite(v)) return false;
  std::string unit = upper(std::string(end));
  while (!unit.empty() && unit.back() == ' ') unit.pop_back();
  while (!unit.empty() && unit.front() == ' ') unit.erase(0, 1);
  double mult = 1;
  if (!std::strcmp(kind, "freq")) {
    if (unit == "" || unit == "HZ")
      mult = 1;
    else if (unit == "KHZ")
      mult = 1e3;
    else if (unit == "MHZ")
      mult = 1e6;  // SCPI reads MHZ as megahertz
    else if (unit == "GHZ")
      mult = 1e9;
    else
      return false;
  } else if (!std::strcmp(kind, "power")) {
    if (unit != "" && unit != "DBM") return false;
  } else if (unit != "" && unit != "DB" && unit != "PCT") {
    return false;
  }
  out = v * mult;
  return true;
}

}  // namespace

SimInstrument::SimInstrument(SimOptions opt, Reply reply) : opt_(std::move(opt)), reply_(std::move(reply)) {
  if (!opt_.log_path.empty()) {
    log_fd_ = ::open(opt_.log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (log_fd_ < 0)
      std::fprintf(stderr, "tarvio-sim: cannot write the log %s: %s\n", opt_.log_path.c_str(), std::strerror(errno));
  }
}

SimInstrument::~SimInstrument() {
  if (log_fd_ >= 0) ::close(log_fd_);
  if (block_fd_ >= 0) ::close(block_fd_);
}

void SimInstrument::log_line(const std::string& line) {
  if (log_fd_ < 0) return;
  std::string l = line + "\n";
  write_all(log_fd_, l.data(), l.size());
}

// The queue holds 30 entries; as on an instrument, when it is full the
// last entry becomes -350 "Queue overflow" and later errors are lost.
void SimInstrument::push_error(int code, const std::string& text) {
  constexpr size_t kDepth = 30;
  if (errors_.size() < kDepth - 1)
    errors_.emplace_back(code, text);
  else if (errors_.size() == kDepth - 1)
    errors_.emplace_back(-350, "Queue overflow");
}

void SimInstrument::answer(const std::string& text, bool numeric) {
  if (opt_.fault == Fault::Silent) return;
  if (opt_.fault == Fault::Garbage && numeric) {
    reply_("#garbage?\n");
    return;
  }
  reply_(text + "\n");
}

void SimInstrument::block_begin(const std::string& header, uint64_t length) {
  std::string h, params;
  split_message(header, h, params);
  block_key_.clear();
  block_bytes_ = 0;
  if (!header_matches(h, ":MMEMory:DATA")) {
    push_error(-168, "Block data not allowed");
    return;
  }
  if (!params.empty() && params.back() == ',') params.pop_back();
  std::string target = unquote(params);
  auto colon = target.find(':');
  std::string kind = upper(target.substr(0, colon == std::string::npos ? 0 : colon));
  std::string name = colon == std::string::npos ? target : target.substr(colon + 1);
  if ((kind != "WFM1" && kind != "MKR1") || name.empty()) {
    push_error(-256, "File name not found");
    return;
  }
  block_key_ = kind + ":" + name;
  block_open_ = true;
  memory_.erase(block_key_);
  if (!opt_.store_dir.empty()) {
    std::string file = opt_.store_dir + "/" + safe_file_name(name) + (kind == "WFM1" ? ".wfm" : ".mkr");
    block_fd_ = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (block_fd_ < 0) {
      push_error(-250, "Mass storage error");
    } else {
      memory_[block_key_].file = file;
    }
  }
  (void)length;
}

void SimInstrument::block_data(const uint8_t* p, size_t n) {
  block_bytes_ += n;
  if (block_fd_ >= 0) write_all(block_fd_, p, n);
}

void SimInstrument::block_end() {
  block_open_ = false;
  if (block_fd_ >= 0) {
    ::close(block_fd_);
    block_fd_ = -1;
  }
  if (!block_key_.empty()) memory_[block_key_].bytes = block_bytes_;
}

void SimInstrument::connection_closed() {
  if (block_fd_ >= 0) {
    ::close(block_fd_);
    block_fd_ = -1;
  }
  if (block_open_ && !block_key_.empty()) {
    // An incomplete block is not kept.
    auto it = memory_.find(block_key_);
    if (it != memory_.end()) {
      if (!it->second.file.empty()) ::unlink(it->second.file.c_str());
      memory_.erase(it);
    }
    log_line("<incomplete block discarded: " + block_key_ + ">");
  }
  block_open_ = false;
  block_key_.clear();
}

void SimInstrument::go_to_local() {
  log_line("<device_local>");
  s_.remote = false;
}

void SimInstrument::syntax_error(const std::string& what) {
  log_line("<syntax error: " + what + ">");
  push_error(-160, "Block data error;" + what);
}

void SimInstrument::message(const std::string& text, bool had_block) {
  log_line(text);
  if (had_block) {
    if (!block_key_.empty()) block_key_.clear();
    return;
  }
  // Several messages may share a line, separated by ';'.
  size_t s = 0;
  bool quoted = false;
  for (size_t k = 0; k <= text.size(); ++k) {
    if (k < text.size() && text[k] == '"') quoted = !quoted;
    if (k == text.size() || (text[k] == ';' && !quoted)) {
      handle(text.substr(s, k - s));
      s = k + 1;
    }
  }
}

bool SimInstrument::set_switch(const std::string& params, bool& target) {
  std::string p = upper(params);
  if (p == "ON" || p == "1")
    target = true;
  else if (p == "OFF" || p == "0")
    target = false;
  else {
    push_error(-224, "Illegal parameter value");
    return false;
  }
  return true;
}

bool SimInstrument::set_number(const std::string& params, double& target, double lo, double hi, const char* kind) {
  double v = 0;
  if (!parse_value(params, kind, v)) {
    push_error(-224, "Illegal parameter value");
    return false;
  }
  if (v < lo || v > hi) push_error(-222, "Data out of range;value clipped to limit");
  target = std::clamp(v, lo, hi);
  return true;
}

void SimInstrument::handle(const std::string& msg) {
  std::string h, p;
  split_message(msg, h, p);
  if (h.empty()) return;  // an empty line ends nothing
  s_.remote = true;
  auto is = [&](const char* pattern) { return header_matches(h, pattern); };
  auto onoff = [](bool b) { return std::string(b ? "1" : "0"); };

  if (is("*IDN?")) {
    if (opt_.fault == Fault::Garbage)
      answer(opt_.model + " SIMULATED GENERATOR", false);
    else
      answer("Tarvio," + opt_.model + ",SIM0001,1.0", false);
  } else if (is("*OPC?")) {
    answer("1", false);
  } else if (is("*RST")) {
    s_ = Settings{};
  } else if (is("*CLS")) {
    errors_.clear();
  } else if (is(":SYSTem:ERRor[:NEXT]?")) {
    if (errors_.empty()) {
      answer("+0,\"No error\"", false);
    } else {
      auto e = errors_.front();
      errors_.erase(errors_.begin());
      answer(std::to_string(e.first) + ",\"" + e.second + "\"", false);
    }
  } else if (is(":SYSTem:COMMunicate:GTLocal")) {
    s_.remote = false;
  } else if (is("[:SOURce]:RADio:ARB:STATe?")) {
    answer(onoff(s_.arb_on), true);
  } else if (is("[:SOURce]:RADio:ARB:STATe")) {
    set_switch(p, s_.arb_on);
  } else if (is("[:SOURce]:RADio:ARB:WAVeform?")) {
    answer("\"ARBI:" + s_.waveform + "\"", false);
  } else if (is("[:SOURce]:RADio:ARB:WAVeform")) {
    std::string t = unquote(p);
    auto colon = t.find(':');
    std::string name = colon == std::string::npos ? t : t.substr(colon + 1);
    if (colon == std::string::npos || upper(t.substr(0, colon)) != "ARBI" || !memory_.count("WFM1:" + name))
      push_error(-256, "File name not found");
    else
      s_.waveform = name;
  } else if (is("[:SOURce]:FREQuency[:CW|:FIXed]?")) {
    answer(number_reply(s_.frequency), true);
  } else if (is("[:SOURce]:FREQuency[:CW|:FIXed]")) {
    set_number(p, s_.frequency, 100e3, opt_.max_frequency, "freq");
  } else if (is("[:SOURce]:POWer[:LEVel][:IMMediate][:AMPLitude]?")) {
    answer(number_reply(s_.amplitude), true);
  } else if (is("[:SOURce]:POWer[:LEVel][:IMMediate][:AMPLitude]")) {
    set_number(p, s_.amplitude, -136, opt_.max_amplitude, "power");
  } else if (is("[:SOURce]:RADio:ARB:CLOCk:SRATe?")) {
    answer(number_reply(s_.srate), true);
  } else if (is("[:SOURce]:RADio:ARB:CLOCk:SRATe")) {
    set_number(p, s_.srate, 1, 100e6, "freq");
  } else if (is("[:SOURce]:DM:BBFilter?")) {
    answer(s_.bbfilter, false);
  } else if (is("[:SOURce]:DM:BBFilter")) {
    double v = 0;
    if (upper(p) == "THROUGH" || upper(p) == "THR")
      s_.bbfilter = "THROUGH";
    else if (parse_value(p, "freq", v) && (v == 2.1e6 || v == 40e6))
      s_.bbfilter = v == 2.1e6 ? "2.1E+06" : "4.0E+07";
    else
      push_error(-224, "Illegal parameter value");
  } else if (is("[:SOURce]:RADio:ARB:RFILter")) {
    double v = 0;
    if (upper(p) == "THROUGH" || upper(p) == "THR")
      s_.rfilter = "THROUGH";
    else if (parse_value(p, "freq", v) && (v == 250e3 || v == 2.5e6 || v == 8e6))
      s_.rfilter = number_reply(v);
    else
      push_error(-224, "Illegal parameter value");
  } else if (is("[:SOURce]:RADio:ARB:RSCaling?")) {
    answer(number_reply(s_.rscaling), true);
  } else if (is("[:SOURce]:RADio:ARB:RSCaling")) {
    set_number(p, s_.rscaling, 1, 100, "plain");
  } else if (is("[:SOURce]:DM:IQATten:AUTO")) {
    set_switch(p, s_.iq_atten_auto);
  } else if (is("[:SOURce]:DM:IQATten?")) {
    answer(number_reply(s_.iq_atten), true);
  } else if (is("[:SOURce]:DM:IQATten")) {
    if (set_number(p, s_.iq_atten, 0, 40, "plain")) s_.iq_atten_auto = false;
  } else if (is("[:SOURce]:POWer:ALC[:STATe]")) {
    set_switch(p, s_.alc);
  } else if (is("[:SOURce]:RADio:ARB:MARKer:RFBLank")) {
    set_switch(p, s_.rfblank);
  } else if (is("[:SOURce]:RADio:ARB:MARKer:POLarity")) {
    std::string u = upper(p);
    if (u == "POS" || u == "POSITIVE" || u == "NEG" || u == "NEGATIVE")
      s_.polarity = u.substr(0, 3);
    else
      push_error(-224, "Illegal parameter value");
  } else if (is("[:SOURce]:RADio:ARB:CLOCk:REFerence")) {
    std::string u = upper(p);
    if (u == "INT" || u == "INTERNAL" || u == "EXT" || u == "EXTERNAL")
      s_.clock_ref = u.substr(0, 3);
    else
      push_error(-224, "Illegal parameter value");
  } else if (is("[:SOURce]:RADio:ARB:HCRest")) {
    set_switch(p, s_.hcrest);
  } else if (is(":OUTPut[:STATe]?")) {
    answer(onoff(s_.output_on), true);
  } else if (is(":OUTPut[:STATe]")) {
    set_switch(p, s_.output_on);
  } else if (is(":OUTPut:MODulation[:STATe]?")) {
    answer(onoff(s_.mod_on), true);
  } else if (is(":OUTPut:MODulation[:STATe]")) {
    set_switch(p, s_.mod_on);
  } else if (is(":MMEMory:CATalog?")) {
    std::string list;
    for (const auto& [k, e] : memory_) list += (list.empty() ? "\"" : ",\"") + k + "," + std::to_string(e.bytes) + "\"";
    answer(list, false);
  } else {
    push_error(-113, "Undefined header;" + h);
  }
}

}  // namespace tarvio::sim
