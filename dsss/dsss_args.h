// Argument conversions shared by the registered DSSS operations.
#pragma once

#include <stdexcept>
#include <string>

#include "runtime/registry.h"

namespace tarvio {

// A complex scalar argument (a phase reference).
inline cplx dsss_complex_scalar(const Value& v, const char* op) {
  const CVec c = v.to_complex();
  if (c.size() != 1) throw std::invalid_argument(std::string(op) + ": the phase reference must be one complex number.");
  return c[0];
}

}  // namespace tarvio
