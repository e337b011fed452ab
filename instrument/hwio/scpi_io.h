// SCPI text exchange over a transport: commands end with a line feed, a
// reply is one line.
#pragma once

#include <string>

#include "instrument/hwio/transport.h"

namespace tarvio::hwio_module {

// Writes the text, adding a line feed unless it already ends with one.
void send_text(Transport& t, const std::string& text);
// Reads one reply line (up to the line feed), without the line end. A reply
// longer than 1 MiB is refused.
std::string read_reply(Transport& t);
// send_text then read_reply.
std::string query_text(Transport& t, const std::string& text);

}  // namespace tarvio::hwio_module
