// Conversion between UTF-8 text and UTF-16 code units.
#include "runtime/utf16.h"

namespace tarvio {

std::vector<uint16_t> utf8_to_utf16(const std::string& s) {
  std::vector<uint16_t> out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    auto b = static_cast<unsigned char>(s[i]);
    uint32_t cp = b;
    size_t len = 1;
    if (b >= 0xF0 && b < 0xF8) {
      cp = b & 0x07u;
      len = 4;
    } else if (b >= 0xE0) {
      cp = b & 0x0Fu;
      len = 3;
    } else if (b >= 0xC0) {
      cp = b & 0x1Fu;
      len = 2;
    }
    bool ok = len == 1 || i + len <= s.size();
    for (size_t k = 1; ok && k < len; ++k) {
      auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (c & 0x3Fu);
    }
    if (!ok || (len == 1 && b >= 0x80)) {  // not UTF-8: keep the byte as Latin-1
      out.push_back(b);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<uint16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<uint16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<uint16_t>(cp));
    }
    i += len;
  }
  return out;
}

namespace {

void append_utf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::string utf16_to_utf8(const std::vector<uint16_t>& units) {
  std::string out;
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t u = units[i];
    if (u >= 0xD800 && u < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
      u = 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    }
    append_utf8(out, u);
  }
  return out;
}

}  // namespace tarvio
