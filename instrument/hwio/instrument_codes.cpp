// Ping, send, query and return to local over the connection of the record.
#include "instrument/hwio/instrument_codes.h"

#include "instrument/hwio/scpi_io.h"
#include "instrument/hwio/transport.h"

namespace tarvio::hwio_module {

std::vector<Value> ping(const ArgList& a) {
  ConnectionConfig c = parse_config(a.at(0));
  try {
    auto t = open_transport(c);
    std::string idn = query_text(*t, "*IDN?");
    if (idn.empty()) return failed("The instrument on " + t->where() + " answered *IDN? with an empty reply.");
    return ok("Instrument found on " + t->where() + ": " + idn);
  } catch (const TransportError& e) {
    return failed(std::string("No instrument answered: ") + e.what());
  }
}

std::vector<Value> send(const ArgList& a) {
  ConnectionConfig c = parse_config(a.at(0));
  std::string cmd = a.text(1);
  try {
    auto t = open_transport(c);
    send_text(*t, cmd);
    return ok("");
  } catch (const TransportError& e) {
    return failed(e.what());
  }
}

std::vector<Value> query(const ArgList& a) {
  ConnectionConfig c = parse_config(a.at(0));
  std::string q = a.text(1);
  try {
    auto t = open_transport(c);
    return ok(query_text(*t, q));
  } catch (const TransportError& e) {
    return failed(e.what());
  }
}

std::vector<Value> return_local(const ArgList& a) {
  ConnectionConfig c = parse_config(a.at(0));
  try {
    auto t = open_transport(c);
    t->go_to_local();
    return ok("");
  } catch (const TransportError& e) {
    return failed(e.what());
  }
}

}  // namespace tarvio::hwio_module
