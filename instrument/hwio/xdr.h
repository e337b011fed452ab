// XDR encoding (RFC 4506) of the few data types the VXI-11 protocol uses:
// every item occupies a multiple of four bytes, integers are big-endian
// 32-bit two's complement, booleans are the integers 0 and 1, and variable
// length opaque data and strings are a 32-bit length followed by the bytes
// and zero padding up to the next multiple of four.
// Header-only and free of the rest of the module, so the simulated
// instrument and the unit tests use the same code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarvio::hwio_module {

// Malformed or truncated XDR data.
class XdrError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class XdrWriter {
 public:
  void u32(uint32_t v) {
    buf_.push_back(static_cast<uint8_t>(v >> 24));
    buf_.push_back(static_cast<uint8_t>(v >> 16));
    buf_.push_back(static_cast<uint8_t>(v >> 8));
    buf_.push_back(static_cast<uint8_t>(v));
  }
  void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
  void boolean(bool b) { u32(b ? 1u : 0u); }
  // Variable-length opaque data: length, bytes, padding to four.
  void opaque(const uint8_t* p, size_t n) {
    if (n > 0xffffffffu) throw XdrError("XDR opaque data longer than 2^32-1 bytes");
    u32(static_cast<uint32_t>(n));
    buf_.insert(buf_.end(), p, p + n);
    buf_.insert(buf_.end(), (4 - n % 4) % 4, uint8_t{0});
  }
  void string(const std::string& s) { opaque(reinterpret_cast<const uint8_t*>(s.data()), s.size()); }
  void raw(const std::vector<uint8_t>& b) { buf_.insert(buf_.end(), b.begin(), b.end()); }

  const std::vector<uint8_t>& bytes() const { return buf_; }
  std::vector<uint8_t> take() { return std::move(buf_); }

 private:
  std::vector<uint8_t> buf_;
};

// Reads items from a byte range; every read checks the bytes left, so a
// short or lying message raises XdrError instead of reading past the end.
class XdrReader {
 public:
  XdrReader(const uint8_t* p, size_t n) : p_(p), n_(n) {}
  explicit XdrReader(const std::vector<uint8_t>& b) : XdrReader(b.data(), b.size()) {}
  // The reader keeps a view: a temporary message would leave it dangling.
  explicit XdrReader(std::vector<uint8_t>&&) = delete;

  uint32_t u32() {
    need(4, "an integer");
    uint32_t v = (uint32_t{p_[k_]} << 24) | (uint32_t{p_[k_ + 1]} << 16) | (uint32_t{p_[k_ + 2]} << 8) | p_[k_ + 3];
    k_ += 4;
    return v;
  }
  int32_t i32() { return static_cast<int32_t>(u32()); }
  bool boolean() {
    uint32_t v = u32();
    if (v > 1) throw XdrError("XDR boolean holds " + std::to_string(v) + " (allowed: 0 or 1)");
    return v == 1;
  }
  // Variable-length opaque data of at most max bytes, returned as a view
  // into the message (valid as long as the message is).
  void opaque_view(const uint8_t*& p, size_t& n, size_t max) {
    uint32_t len = u32();
    if (len > max)
      throw XdrError("XDR opaque data of " + std::to_string(len) + " bytes exceeds the limit of " +
                     std::to_string(max));
    size_t padded = len + (4 - len % 4) % 4;
    need(padded, "opaque data");
    p = p_ + k_;
    n = len;
    k_ += padded;
  }
  std::vector<uint8_t> opaque(size_t max) {
    const uint8_t* p = nullptr;
    size_t n = 0;
    opaque_view(p, n, max);
    return std::vector<uint8_t>(p, p + n);
  }
  std::string string(size_t max) {
    const uint8_t* p = nullptr;
    size_t n = 0;
    opaque_view(p, n, max);
    return std::string(reinterpret_cast<const char*>(p), n);
  }
  size_t left() const { return n_ - k_; }
  size_t offset() const { return k_; }

 private:
  void need(size_t bytes, const char* what) const {
    if (n_ - k_ < bytes)
      throw XdrError(std::string("XDR data ends inside ") + what + " (" + std::to_string(n_ - k_) + " bytes left, " +
                     std::to_string(bytes) + " needed)");
  }
  const uint8_t* p_;
  size_t n_;
  size_t k_ = 0;
};

}  // namespace tarvio::hwio_module
