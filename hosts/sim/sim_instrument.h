// The simulated signal generator: its settings, waveform memory, error
// queue and command log, and the handling of each SCPI message. Replies go
// to a callback; faults change what it answers.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "hosts/sim/scpi_stream.h"

namespace tarvio::sim {

enum class Fault { None, CloseMidTransfer, Silent, Garbage };

struct SimOptions {
  std::string model = "KXQ7R2";
  std::string log_path;
  std::string store_dir;
  Fault fault = Fault::None;
  double max_frequency = 6e9;  // Hz, upper clamp of the carrier
  double max_amplitude = 13;   // dBm, upper clamp of the output level
};

// One named waveform or marker entry of the memory.
struct MemoryEntry {
  uint64_t bytes = 0;
  std::string file;  // where --store wrote it, empty without a store
};

class SimInstrument : public StreamSink {
 public:
  using Reply = std::function<void(const std::string&)>;
  SimInstrument(SimOptions opt, Reply reply);
  ~SimInstrument() override;

  // StreamSink
  void block_begin(const std::string& header, uint64_t length) override;
  void block_data(const uint8_t* p, size_t n) override;
  void block_end() override;
  void message(const std::string& text, bool had_block) override;
  void syntax_error(const std::string& what) override;

  // The connection ended: a block still arriving is discarded (its memory
  // entry and stored file are removed) and the last message is forgotten.
  void connection_closed();

  // Return to local without a message (the VXI-11 device_local call):
  // logged as "<device_local>".
  void go_to_local();

  const SimOptions& options() const { return opt_; }

 private:
  void log_line(const std::string& line);
  void handle(const std::string& msg);
  void answer(const std::string& text, bool numeric);
  void push_error(int code, const std::string& text);
  bool set_switch(const std::string& params, bool& target);
  bool set_number(const std::string& params, double& target, double lo, double hi, const char* unit_kind);

  SimOptions opt_;
  Reply reply_;
  int log_fd_ = -1;
  // Settings, back to these values on *RST.
  struct Settings {
    double frequency = 1e9, amplitude = -135, srate = 1e6, rscaling = 100, iq_atten = 0;
    bool arb_on = false, output_on = false, mod_on = false, iq_atten_auto = true, alc = true, rfblank = false;
    bool hcrest = false, remote = false;
    std::string bbfilter = "THROUGH", rfilter = "THROUGH", polarity = "POS", clock_ref = "INT", waveform;
  } s_;
  // Memory and the block being received.
  std::map<std::string, MemoryEntry> memory_;
  std::string block_key_;
  int block_fd_ = -1;
  uint64_t block_bytes_ = 0;
  bool block_open_ = false;  // a block has begun and not ended
  std::vector<std::pair<int, std::string>> errors_;
};

}  // namespace tarvio::sim
