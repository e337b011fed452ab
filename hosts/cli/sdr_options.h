// The options that the SDR commands (play, capture, sdr) take out of their
// arguments before the rest goes to the calculation options, and the number
// parsing they share.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarvio::cli {

// Takes "--name VALUE" or "--name=VALUE" out of args (the last one wins);
// UsageError when the value is missing.
std::optional<std::string> take_value(std::vector<std::string>& args, const std::string& name);
// Takes the flag "--name" out of args; true when it was there.
bool take_flag(std::vector<std::string>& args, const std::string& name);
// A finite number ("2.412e9", "2412e6"); UsageError naming the option otherwise.
double option_number(const std::string& text, const std::string& option);

}  // namespace tarvio::cli
