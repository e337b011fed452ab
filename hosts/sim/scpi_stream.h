// Splits the byte stream an instrument receives into SCPI messages: text up
// to a line feed, with IEEE 488.2 definite-length blocks ("#<d><len><data>",
// outside double quotes) passed through unparsed in pieces, so a block of
// any size never has to be held in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarvio::sim {

class StreamSink {
 public:
  virtual ~StreamSink() = default;
  // A block starts; header is the message text before the '#'.
  virtual void block_begin(const std::string& header, uint64_t length) = 0;
  virtual void block_data(const uint8_t* p, size_t n) = 0;
  virtual void block_end() = 0;
  // A message is complete (its line feed arrived). text is the message with
  // each block shown as "#<d><len>" followed by "<len bytes>".
  virtual void message(const std::string& text, bool had_block) = 0;
  // The stream broke the block syntax (e.g. "#0" indefinite blocks).
  virtual void syntax_error(const std::string& what) = 0;
};

class ScpiStream {
 public:
  explicit ScpiStream(StreamSink& sink) : sink_(sink) {}
  void feed(const uint8_t* p, size_t n);
  // Forgets a partial message (the connection ended).
  void reset();
  // With `on`, each block is taken only up to half its length; then the
  // stream stops taking bytes and cut() is true, so that the fault
  // "close-mid-transfer" hangs up at that point however the bytes arrive.
  void cut_blocks_at_half(bool on) { cut_at_half_ = on; }
  bool cut() const { return cut_; }
  // Bytes of the current block received so far and its length (0 outside).
  uint64_t block_received() const { return block_done_; }
  uint64_t block_length() const { return state_ == State::Data ? block_len_ : 0; }

 private:
  enum class State { Text, Digits, Length, Data };
  StreamSink& sink_;
  State state_ = State::Text;
  std::string text_;
  bool quoted_ = false;
  bool had_block_ = false;
  int digits_ = 0;
  std::string len_text_;
  uint64_t block_len_ = 0, block_done_ = 0;
  bool cut_at_half_ = false, cut_ = false;
};

// Longest message text kept (blocks not counted): a longer one is dropped
// as a syntax error instead of growing without end.
inline constexpr size_t kMaxMessageBytes = 1 << 20;

}  // namespace tarvio::sim
