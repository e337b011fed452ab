// Operation registry: every exported operation is registered under its name
// with its declared numbers of inputs and outputs, and can be called by name
// with dynamic values. Calls with too many inputs or outputs fail before the
// body runs, with an error naming the operation and the declared number.
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/value.h"

namespace tarvio {

using Args = std::vector<Value>;
// An operation body: the inputs given and the number of outputs wanted; it
// returns at least that many results (more are dropped).
using OpBody = std::function<std::vector<Value>(const Args& in, int nout)>;

struct OpInfo {
  std::string name;
  int max_in = 0;   // declared number of inputs
  int max_out = 0;  // declared number of outputs
  OpBody body;
  std::string help;  // one line: what it does and its arguments
  // The input or output list is variable (a command name and its arguments,
  // an optional record): the library boundary adds the calling forms that
  // take explicit counts.
  bool variable = false;
};

// Raised when a call exceeds the declared counts.
class CountError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Registry {
 public:
  static Registry& instance();
  void add(OpInfo op);  // a second registration of a name replaces the first
  const OpInfo* find(const std::string& name) const;
  std::vector<std::string> names() const;
  // Checks counts, runs the body, and returns exactly max(nout, 1) results
  // when the body yields them (an operation with no outputs returns none).
  std::vector<Value> call(const std::string& name, const Args& in, int nout = 1) const;

 private:
  std::vector<OpInfo> ops_;
};

// Registers an operation at load time; use one static instance per operation
// (the core library is shared, so its static registrars always run).
struct VariableLists {};
inline constexpr VariableLists kVariableLists{};
struct OpRegistrar {
  OpRegistrar(std::string name, int max_in, int max_out, OpBody body, std::string help = "");
  OpRegistrar(VariableLists, std::string name, int max_in, int max_out, OpBody body, std::string help = "");
};

// Argument helpers for registered bodies: a trailing argument that is absent
// (or given as the empty matrix) takes its default.
inline bool has_arg(const Args& in, size_t i) { return i < in.size() && !(in[i].is_numeric() && in[i].is_empty()); }
inline double arg_double(const Args& in, size_t i, double def) { return has_arg(in, i) ? in[i].to_double() : def; }
inline std::string arg_text(const Args& in, size_t i, const std::string& def) {
  return has_arg(in, i) ? in[i].str() : def;
}
const Value& arg_required(const Args& in, size_t i, const std::string& op);

}  // namespace tarvio

#define TARVIO_CONCAT_(a, b) a##b
#define TARVIO_CONCAT(a, b) TARVIO_CONCAT_(a, b)
// TARVIO_OP("Name", max_in, max_out, body [, help]) inside a .cpp file.
#define TARVIO_OP(...) static const ::tarvio::OpRegistrar TARVIO_CONCAT(tarvio_op_, __LINE__)(__VA_ARGS__)
// The same for an operation whose input or output list is variable.
#define TARVIO_OP_VARARGS(...) \
  static const ::tarvio::OpRegistrar TARVIO_CONCAT(tarvio_op_, __LINE__)(::tarvio::kVariableLists, __VA_ARGS__)
