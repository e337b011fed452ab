// Reader of the IEEE 802.11a-1999 Annex G example tables kept as plain text
// in the shared test data ("table <name> <kind> <count> <description>" blocks).
#pragma once

#include <cctype>
#include <complex>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/types.h"

namespace annex_g {

struct Table {
  std::string kind;
  size_t count = 0;             // items announced by the header line
  tarvio::Bits bits;            // octets (as bits, lsb first per octet) or bits
  std::vector<uint8_t> octets;  // kind "octets"
  tarvio::CVec values;          // kind "complex" / "complex64"
};

inline std::map<std::string, Table> load(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::map<std::string, Table> tables;
  std::string line;
  Table* cur = nullptr;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream ls(line);
    if (line.rfind("table ", 0) == 0) {
      std::string word, name;
      ls >> word >> name;
      cur = &tables[name];
      ls >> cur->kind >> cur->count;
      continue;
    }
    if (!cur) continue;
    if (cur->kind == "octets") {
      std::string tok;
      while (ls >> tok) {
        const unsigned v = static_cast<unsigned>(std::stoul(tok, nullptr, 16));
        cur->octets.push_back(static_cast<uint8_t>(v));
        for (int k = 0; k < 8; ++k) cur->bits.push_back((v >> k) & 1u);
      }
    } else if (cur->kind == "bits") {
      for (char c : line)
        if (c == '0' || c == '1') cur->bits.push_back(static_cast<uint8_t>(c - '0'));
    } else {
      double re = 0, im = 0;
      if (ls >> re >> im) cur->values.emplace_back(re, im);
    }
  }
  return tables;
}

}  // namespace annex_g
