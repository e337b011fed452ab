// The parameter set as the generators can use it: the fields derived from
// the others are recomputed from the stored values, and every value is
// checked against what a generator can make, field by field (the rules of
// the field list, records/records.h) and between fields (the data rate of
// the format, the oversampling of the format, the payload against
// maxDataLen, ...). Used after every load and every change by name, so that
// the calculation's own size checks see the real waveform.
#pragma once

#include <string>

#include "records/impairments.h"
#include "records/records.h"

namespace tarvio {

// MACheader.Length (the header bit row's octets), maxDataLen (4095 minus the
// active MAC header and FCS bytes for format 1, else 2312), totalLength and
// ProjectedLength from the other fields. Unlike the window's data-length
// entry it never changes dataLength.
void recompute_derived(Parameters& p);

// Checks every field's own rule, then the rules between fields, then
// recomputes the derived fields and checks the payload against maxDataLen.
// Throws FieldError naming the first field that breaks a rule (as
// `name`.field), its value and the values it takes; `p` keeps its values
// then except the derived ones.
void check_and_derive(Parameters& p, const std::string& name = "parameters");

// Checks every field of the impairments against its rule and the
// phase-noise profile's form (whole pairs, at least two, offsets above 0 in
// rising order, levels -200 to 0 dBc/Hz). Throws FieldError naming the field
// (as `name`.field), its value and the values it takes.
void check_impairments(const Impairments& m, const std::string& name = "Impairments");

}  // namespace tarvio
