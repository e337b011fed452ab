// The calc options that go through the window's entries or name a file by
// another form: --idle-us and --ramp-us (microseconds, the entry rules of
// the idle-interval and ramp-time fields), --payload-file with --bit-order
// (the user data file of payload source 7), --memory (the instrument's
// baseband memory option) and the SigMF base name.
#pragma once

#include <string>

namespace tarvio::cli {

// The idle interval in microseconds through the idle-interval entry of the
// format (held within 0 to 100000 us). A text that is not a number is a
// UsageError; a held value is noted on standard error.
void set_idle_us(const std::string& text);

// The ramp length in microseconds through the ramp-time entry (0 to 1000 us).
void set_ramp_us(const std::string& text);

// Reads FILE as the payload of every packet, as choosing source 7 in the
// window does: at most maxDataLen bytes, each byte most significant bit
// first ("left-msb", the window's order) or least significant first
// ("right-msb"); dataLength becomes the bytes per packet. A file longer than
// a packet takes is noted on standard error; a file that cannot be read
// throws.
void load_payload_file(const std::string& path, const std::string& bit_order);

// configuration.BBGtype from "MEM-A", "MEM-B" or "MEM-C" (any case);
// UsageError otherwise.
void set_memory(const std::string& option);

// --sig FIELD=VALUE as tarvio-cli calc applies it (defined with the calc
// command); throws FieldError for a field or value that does not fit.
void apply_sig_setting(const std::string& text);

// The base name of a SigMF recording given as BASE, BASE.sigmf-meta,
// BASE.sigmf-data or BASE.sigmf.
std::string sigmf_base(const std::string& name);

}  // namespace tarvio::cli
