// Line-based SCPI exchange on any transport.
#include "instrument/hwio/scpi_io.h"

namespace tarvio::hwio_module {

namespace {
constexpr size_t kMaxReply = 1 << 20;
}

void send_text(Transport& t, const std::string& text) {
  std::string line = text;
  if (line.empty() || line.back() != '\n') line += '\n';
  t.write(reinterpret_cast<const uint8_t*>(line.data()), line.size(), true);
}

std::string read_reply(Transport& t) {
  std::string reply;
  uint8_t buf[4096];
  for (;;) {
    size_t n = t.read_some(buf, sizeof buf);
    for (size_t k = 0; k < n; ++k) {
      if (buf[k] == '\n') {
        if (!reply.empty() && reply.back() == '\r') reply.pop_back();
        return reply;
      }
      reply.push_back(static_cast<char>(buf[k]));
    }
    if (reply.size() > kMaxReply) throw TransportError(t.where() + ": the reply exceeds 1 MiB without a line end");
  }
}

std::string query_text(Transport& t, const std::string& text) {
  send_text(t, text);
  return read_reply(t);
}

}  // namespace tarvio::hwio_module
