// The command-line changes to the parameter set that `calc` and `window`
// share (--set, --sig, --rate), and the removal of a run's packet file.
#pragma once

#include <string>
#include <vector>

#include "runtime/value.h"

namespace tarvio::cli {

// --set FIELD=VALUE: a field of parameters by its dotted name, stored as
// given (no clamping; a value no generator can make, or a computed field, is
// refused with FieldError), then what depends on it (oversampling-scaled
// counts, filter taps, the MAC header's bit stream, the derived fields).
void set_parameter(const std::string& text);
// The same for a value already parsed (the Python module's assignments);
// `shown` is the value as the user wrote it, for messages (empty: the
// stored value in the shortest form).
void set_parameter(const std::string& path, const Value& value, const std::string& shown = "");
// --sig FIELD=VALUE: a field of SigGenSettings. The notes of the entry
// rules are printed (unless quiet) and returned.
void set_sig_gen(const std::string& text);
std::vector<std::string> set_sig_gen(const std::string& path, const Value& value, const std::string& shown);
// --rate R: a data rate in Mbit/s chosen as the window's data-rate list
// does (a payload held at the new limit is noted on standard error).
// UsageError for a rate not in the list.
void select_rate(const std::string& text);

// Removes this run's packet temporary file and its marker side file when
// the command ends; a file named with --set multiFrame.tmpFileName stays.
class PacketFileCleanup {
 public:
  explicit PacketFileCleanup(std::string own) : own_(std::move(own)) {}
  ~PacketFileCleanup();
  PacketFileCleanup(const PacketFileCleanup&) = delete;
  PacketFileCleanup& operator=(const PacketFileCleanup&) = delete;

 private:
  std::string own_;
};

}  // namespace tarvio::cli
