// Integer conversion of the connection record's interface numbers.
#include "records/formatconfig.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>

#include "records/record_value.h"
#include "runtime/registry.h"

namespace tarvio {

namespace {

int32_t to_int32(double x) {
  if (std::isnan(x)) return 0;
  const double r = round_half_away(x);
  if (r >= std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (r <= std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(r);
}

void convert(Record& rec, const char* group, std::initializer_list<const char*> names) {
  Value* g = rec.find(group);
  if (!g || !g->is_record()) return;
  for (const char* name : names) {
    Value* f = g->record().find(name);
    if (!f) continue;
    if (!f->is_numeric() || f->kind() == Value::Kind::Complex)
      throw std::invalid_argument(std::string("Formatconfig: field '") + group + "." + name +
                                  "' must be a real number, got " + f->kind_name());
    std::vector<int32_t> ints;
    ints.reserve(f->numel());
    for (double x : f->re()) ints.push_back(to_int32(x));
    *f = Value::int32(f->rows(), f->cols(), std::move(ints));
  }
}

}  // namespace

Value Formatconfig(const Value& config) {
  if (!config.is_record())
    throw std::invalid_argument(std::string("Formatconfig: expected a record, got ") + config.kind_name());
  Value out = config;
  Record& rec = out.record();
  convert(rec, "GPIB", {"board", "primary", "secondary"});
  convert(rec, "RS232", {"port", "baudrate"});
  convert(rec, "TCPIP", {"board"});
  return out;
}

Value Formatconfig(const Configuration& config) { return Formatconfig(to_value(config)); }

TARVIO_OP(
    "Formatconfig", 1, 1,
    [](const Args& in, int) -> std::vector<Value> { return {Formatconfig(arg_required(in, 0, "Formatconfig"))}; },
    "config_out = Formatconfig(config): interface numbers as 32-bit integers");

}  // namespace tarvio
