// Operation registry and the count check of calls by name.
#include "runtime/registry.h"

#include <algorithm>

namespace tarvio {

Registry& Registry::instance() {
  static Registry r;
  return r;
}

void Registry::add(OpInfo op) {
  for (auto& o : ops_)
    if (o.name == op.name) {
      o = std::move(op);
      return;
    }
  ops_.push_back(std::move(op));
}

const OpInfo* Registry::find(const std::string& name) const {
  for (const auto& o : ops_)
    if (o.name == name) return &o;
  return nullptr;
}

std::vector<std::string> Registry::names() const {
  std::vector<std::string> n;
  for (const auto& o : ops_) n.push_back(o.name);
  std::sort(n.begin(), n.end());
  return n;
}

static std::string plural(int n, const char* what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); }

std::vector<Value> Registry::call(const std::string& name, const Args& in, int nout) const {
  const OpInfo* op = find(name);
  if (!op) throw std::runtime_error("Undefined operation '" + name + "'.");
  if (static_cast<int>(in.size()) > op->max_in)
    throw CountError(name + ": too many input arguments (" + std::to_string(in.size()) + " given; " + name +
                     " declares " + plural(op->max_in, "input") + ").");
  if (nout > op->max_out && !(nout == 1 && op->max_out == 0))
    throw CountError(name + ": too many output arguments (" + std::to_string(nout) + " wanted; " + name + " declares " +
                     plural(op->max_out, "output") + ").");
  std::vector<Value> out = op->body(in, nout);
  size_t want = static_cast<size_t>(std::min(std::max(nout, op->max_out > 0 ? 1 : 0), op->max_out));
  if (out.size() < want)
    throw std::runtime_error(name + ": output " + std::to_string(out.size() + 1) + " was not assigned.");
  out.resize(want);
  return out;
}

OpRegistrar::OpRegistrar(std::string name, int max_in, int max_out, OpBody body, std::string help) {
  Registry::instance().add(OpInfo{std::move(name), max_in, max_out, std::move(body), std::move(help)});
}

OpRegistrar::OpRegistrar(VariableLists, std::string name, int max_in, int max_out, OpBody body, std::string help) {
  OpInfo op{std::move(name), max_in, max_out, std::move(body), std::move(help)};
  op.variable = true;
  Registry::instance().add(std::move(op));
}

const Value& arg_required(const Args& in, size_t i, const std::string& op) {
  if (i >= in.size()) throw std::runtime_error(op + ": input " + std::to_string(i + 1) + " is required.");
  return in[i];
}

}  // namespace tarvio
