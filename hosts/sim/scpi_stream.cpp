// The message and block splitter of the simulated instrument.
#include "hosts/sim/scpi_stream.h"

#include <algorithm>

namespace tarvio::sim {

void ScpiStream::reset() {
  state_ = State::Text;
  text_.clear();
  quoted_ = false;
  had_block_ = false;
  block_len_ = block_done_ = 0;
  cut_ = false;
}

void ScpiStream::feed(const uint8_t* p, size_t n) {
  size_t k = 0;
  while (k < n && !cut_) {
    switch (state_) {
      case State::Text: {
        char c = static_cast<char>(p[k++]);
        if (c == '\n' && !quoted_) {
          if (!text_.empty() && text_.back() == '\r') text_.pop_back();
          sink_.message(text_, had_block_);
          text_.clear();
          had_block_ = false;
        } else if (c == '"') {
          quoted_ = !quoted_;
          text_ += c;
        } else if (c == '#' && !quoted_ && !text_.empty() && text_[0] != '*') {
          state_ = State::Digits;
        } else if (c == '\n') {  // a line feed inside quotes still ends the message
          quoted_ = false;
          sink_.syntax_error("unterminated string");
          text_.clear();
          had_block_ = false;
        } else if (text_.size() >= kMaxMessageBytes) {
          sink_.syntax_error("message longer than " + std::to_string(kMaxMessageBytes) + " bytes");
          text_.clear();
          quoted_ = false;
          had_block_ = false;
        } else {
          text_ += c;
        }
        break;
      }
      case State::Digits: {
        char c = static_cast<char>(p[k++]);
        if (c < '1' || c > '9') {
          sink_.syntax_error(c == '0' ? "indefinite-length blocks are not supported" : "invalid block header");
          state_ = State::Text;
          text_ += '#';
          if (c == '\n') --k;  // let the text state end the message
          break;
        }
        digits_ = c - '0';
        len_text_.clear();
        state_ = State::Length;
        break;
      }
      case State::Length: {
        char c = static_cast<char>(p[k++]);
        if (c < '0' || c > '9') {
          sink_.syntax_error("invalid block length");
          state_ = State::Text;
          if (c == '\n') --k;
          break;
        }
        len_text_ += c;
        if (static_cast<int>(len_text_.size()) == digits_) {
          block_len_ = std::stoull(len_text_);
          block_done_ = 0;
          sink_.block_begin(text_, block_len_);
          text_ += "#" + std::to_string(digits_) + len_text_ + "<" + len_text_ + " bytes>";
          had_block_ = true;
          state_ = State::Data;
          if (block_len_ == 0) {
            sink_.block_end();
            state_ = State::Text;
          }
        }
        break;
      }
      case State::Data: {
        const uint64_t end = cut_at_half_ ? block_len_ / 2 : block_len_;
        size_t take = static_cast<size_t>(std::min<uint64_t>(n - k, end - block_done_));
        if (take > 0) sink_.block_data(p + k, take);
        k += take;
        block_done_ += take;
        if (cut_at_half_ && block_done_ == end) {
          cut_ = true;
        } else if (block_done_ == block_len_) {
          sink_.block_end();
          state_ = State::Text;
          block_done_ = 0;
        }
        break;
      }
    }
  }
}

}  // namespace tarvio::sim
