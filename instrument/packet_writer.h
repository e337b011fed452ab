// Appends the packets of one calculation to the packet temporary file and
// its marker side file (layout in docs/packet-file.md), keeping both open
// for the whole run and encoding in 64 KiB pieces. The transport module's
// code 11 opens the files for every packet; this is the same result for a
// whole run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/types.h"

namespace tarvio::packet_file {

// The marker side file's bytes of a packet: bit 0 = row 1, bit 1 = row 2.
// Throws std::invalid_argument when the rows differ in length.
void marker_bytes(const Markers& m, uint8_t* out);

class Writer {
 public:
  // Opens the packet file and its side file for appending (they exist after
  // clear()); throws std::runtime_error naming the file that cannot be.
  explicit Writer(const std::string& packet_path);
  ~Writer();
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  // Appends one packet and returns its peak. The markers have n columns, or
  // none (zeros are stored).
  // Throws std::runtime_error when a file cannot be written.
  double append(const cplx* samples, size_t n, const Markers& markers);
  // The peak append() returns, of a packet not written.
  static double peak(const cplx* samples, size_t n);
  // Closes both files; throws when the last data could not be written.
  void close();

 private:
  void write_all(int fd, const uint8_t* p, size_t n, const std::string& path);

  std::string path_, marker_path_;
  int fd_ = -1, mk_ = -1;
  std::vector<uint8_t> bytes_, marks_;
};

}  // namespace tarvio::packet_file
