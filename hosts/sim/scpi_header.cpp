// Short/long-form header matching with optional nodes.
#include "hosts/sim/scpi_header.h"

#include <cctype>

namespace tarvio::sim {

namespace {

struct Node {
  std::vector<std::string> names;  // alternatives, in pattern case
  bool optional = false;
};

std::string upper(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::vector<Node> parse_pattern(const std::string& p) {
  std::vector<Node> nodes;
  size_t k = 0;
  while (k < p.size()) {
    Node n;
    std::string body;
    if (p[k] == '[') {
      size_t close = p.find(']', k);
      body = p.substr(k + 1, close - k - 1);
      n.optional = true;
      k = close + 1;
    } else {
      size_t next = p.find_first_of(":[", k + 1);
      if (next == std::string::npos) next = p.size();
      body = p.substr(k, next - k);
      k = next;
    }
    size_t s = 0;
    while (s <= body.size()) {
      size_t bar = body.find('|', s);
      if (bar == std::string::npos) bar = body.size();
      std::string alt = body.substr(s, bar - s);
      if (!alt.empty() && alt[0] == ':') alt.erase(0, 1);
      if (!alt.empty()) n.names.push_back(alt);
      s = bar + 1;
    }
    if (!n.names.empty()) nodes.push_back(n);
  }
  return nodes;
}

bool node_matches(const std::string& token, const std::string& name) {
  std::string shortf;
  for (char c : name)
    if (std::isupper(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c)) || c == '*' ||
        c == '?')
      shortf += c;
  std::string t = upper(token);
  return t == shortf || t == upper(name);
}

bool match(const std::vector<std::string>& tok, size_t ti, const std::vector<Node>& nodes, size_t ni) {
  if (ni == nodes.size()) return ti == tok.size();
  const Node& n = nodes[ni];
  if (ti < tok.size())
    for (const auto& name : n.names)
      if (node_matches(tok[ti], name) && match(tok, ti + 1, nodes, ni + 1)) return true;
  return n.optional && match(tok, ti, nodes, ni + 1);
}

}  // namespace

bool header_matches(const std::string& header, const std::string& pattern) {
  std::string h = header, p = pattern;
  bool hq = !h.empty() && h.back() == '?', pq = !p.empty() && p.back() == '?';
  if (hq != pq) return false;
  if (hq) {
    h.pop_back();
    p.pop_back();
  }
  if (!h.empty() && h[0] == ':') h.erase(0, 1);
  std::vector<std::string> tok;
  size_t s = 0;
  while (s <= h.size()) {
    size_t c = h.find(':', s);
    if (c == std::string::npos) c = h.size();
    tok.push_back(h.substr(s, c - s));
    s = c + 1;
  }
  for (const auto& t : tok)
    if (t.empty()) return false;
  return match(tok, 0, parse_pattern(p), 0);
}

void split_message(const std::string& msg, std::string& header, std::string& params) {
  size_t b = msg.find_first_not_of(" \t");
  if (b == std::string::npos) {
    header.clear();
    params.clear();
    return;
  }
  size_t e = msg.find_first_of(" \t", b);
  header = msg.substr(b, e == std::string::npos ? std::string::npos : e - b);
  params.clear();
  if (e != std::string::npos) {
    size_t pb = msg.find_first_not_of(" \t", e);
    size_t pe = msg.find_last_not_of(" \t");
    if (pb != std::string::npos) params = msg.substr(pb, pe - pb + 1);
  }
}

}  // namespace tarvio::sim
