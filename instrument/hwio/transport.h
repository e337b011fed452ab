// One instrument connection (LAN socket, serial port or GPIB device) behind
// a common interface, opened per operation by the factory from the
// connection record. Every read and write waits at most the record's
// time-out for progress and fails with TransportError instead of hanging.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "instrument/hwio/module_args.h"

namespace tarvio::hwio_module {

class TransportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Transport {
 public:
  virtual ~Transport() = default;
  // Writes all n bytes. end_of_message marks the last piece of a message
  // (GPIB asserts EOI with it; byte streams ignore it).
  virtual void write(const uint8_t* p, size_t n, bool end_of_message) = 0;
  // Reads at least one and at most n bytes; throws on time-out or when the
  // instrument closed the connection.
  virtual size_t read_some(uint8_t* p, size_t n) = 0;
  // Returns the instrument to front-panel control.
  virtual void go_to_local() = 0;
  // A message was broken off half-way (e.g. the sample source failed): the
  // connection must not be used again.
  virtual void abandon() {}
  // Where the connection goes, for messages ("LAN 10.0.0.5:5025").
  virtual std::string where() const = 0;
  // True when binary data may not contain the flow-control bytes 0x11 and
  // 0x13 (a serial port with Xon/Xoff handshake).
  virtual bool software_flow_control() const { return false; }
};

// Opens the connection named by config.type ("TCPIP", "RS232", "GPIB").
// Throws TransportError with the reason when it cannot be opened.
std::unique_ptr<Transport> open_transport(const ConnectionConfig& config);

std::unique_ptr<Transport> open_tcp(const ConnectionConfig& config);
std::unique_ptr<Transport> open_serial(const ConnectionConfig& config);
std::unique_ptr<Transport> open_gpib(const ConnectionConfig& config);

}  // namespace tarvio::hwio_module
