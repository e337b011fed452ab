// Deep comparison of two records, as the stale-waveform guard uses it to
// tell whether the parameter set changed since the last calculation.
#pragma once

#include "runtime/value.h"

namespace tarvio {

// 1 when a and b are records with the same number of fields and, field by
// field in order: the names are the same; and the values are both empty, or
// both records that compare equal, or both numeric with the same dimensions
// and equal elements (real, integer and logical values compare by number; a
// complex value equals a real one when its imaginary parts are zero), or both
// texts that are equal (case-sensitive), or both lists of the same length
// whose items compare by the same rules. Anything else is 0, as is any pair
// that is not two records. Field order matters. NaN compares equal to NaN in
// the same place, so a record always equals its own copy.
bool CompareStruct(const Value& a, const Value& b);

}  // namespace tarvio
