// The packet temporary file of a multi-packet calculation and its marker
// side file: writing (used by the transport module's codes 10 and 11) and
// reading (download, export, dump). The layout is in docs/packet-file.md.
//
// Packet file, per packet of n samples: n I values then n Q values, each an
// 8-byte IEEE-754 double stored little-endian with every bit complemented.
// Marker side file "<name>.markers", per packet: n bytes, bit r-1 set when
// marker row r is non-zero (rows 1 to 8; rows beyond 8 are refused).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace tarvio::packet_file {

// Bytes one sample takes in the packet file (I and Q doubles).
inline constexpr size_t kBytesPerSample = 16;
// Largest number of marker rows the side file can carry (one bit each).
inline constexpr size_t kMaxMarkerRows = 8;

// Name of the marker side file that belongs to a packet file.
std::string marker_path(const std::string& packet_path);

// The packet temporary file of this process: "tarvio-PID-packets.bin" in
// the system's temporary folder, one per process so that two copies never
// write into each other's packets.
std::string own_path();

// Removes from `folder` the packet files that processes of this user left
// behind when they were killed: "tarvio-PID-packets.bin" and the download
// command's "tarvio-download-PID.bin", with their ".markers" side files and
// ".kept" copies, when no process PID runs any more and the file is a
// regular file of this user. Returns how many files were removed.
int remove_stale(const std::string& folder);

// Encodes n doubles into 8n bytes: bitwise complement of the little-endian
// IEEE-754 form. decode_values is its inverse.
void encode_values(const double* v, size_t n, uint8_t* out);
void decode_values(const uint8_t* in, size_t n, double* v);

// Creates (or truncates) the packet file and its marker side file, and puts
// both on the interrupt clean-up table (runtime/cleanup.h): an interrupted
// run leaves no packet file behind. Throws std::runtime_error naming the
// file when either cannot be created.
void clear(const std::string& packet_path);

// Removes the packet file and its marker side file, if there, and takes
// them off the clean-up table.
void discard(const std::string& packet_path);

// Appends one packet of n samples (I and Q as separate arrays) and its
// marker bytes (n bytes, may be null for no markers: zeros are stored).
// Returns the packet's peak: the largest |I| or |Q| of its samples.
// Throws std::runtime_error when a file cannot be written.
double append(const std::string& packet_path, const double* i, const double* q, size_t n, const uint8_t* markers);

// Peak of a sample block as append() computes it: max over |I| and |Q|.
double peak_of(const double* i, const double* q, size_t n);

// Reads packets of a fixed size from a packet file and its side file.
class Reader {
 public:
  // Opens both files; throws std::runtime_error when the packet file cannot
  // be opened or pkt_size is 0. A missing side file reads as all-zero
  // markers (has_markers() is then false).
  Reader(const std::string& packet_path, size_t pkt_size);
  ~Reader();
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  size_t packet_size() const { return pkt_size_; }
  // Whole packets in the file (a trailing partial packet is not counted).
  size_t packet_count() const { return packets_; }
  bool has_markers() const { return mk_ != nullptr; }

  // Reads samples [first, first+count) of packet k into i and q (count
  // values each) and, when markers is not null, their marker bytes. Throws
  // std::out_of_range for a range outside the file and std::runtime_error
  // on a read failure.
  void read(size_t k, size_t first, size_t count, double* i, double* q, uint8_t* markers) const;

 private:
  std::string path_;
  size_t pkt_size_ = 0;
  size_t packets_ = 0;
  std::FILE* iq_ = nullptr;
  std::FILE* mk_ = nullptr;
  size_t mk_bytes_ = 0;
};

}  // namespace tarvio::packet_file
