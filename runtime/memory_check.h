// Requests sized by outside values (an operation's length argument, a
// count in a file) are checked against the memory the machine has before
// anything is allocated, so that a mistyped 1e10 is refused with the size it
// asked for instead of ending in an allocation failure or the system's
// out-of-memory killer.
#pragma once

#include <cstdint>
#include <string>

namespace tarvio {

// Memory available to this process now, in bytes: the kernel's estimate of
// available memory (MemAvailable), else the physical memory.
uint64_t memory_available();

// Throws std::length_error when `elements` elements of `bytes_each` bytes
// (both as given, possibly huge or not finite) do not fit in the available
// memory: "<what>: 10000000000 elements of 16 bytes (160 GB) are more than
// the 21.3 GB of memory available".
void check_memory(const std::string& what, double elements, double bytes_each);

// The size as people read it: "512 B", "3.1 MB", "160 GB".
std::string byte_text(double bytes);

}  // namespace tarvio
