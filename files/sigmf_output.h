// SigMF recordings (https://sigmf.org, core namespace 1.0.0) of the packet
// file: base.sigmf-data holds every sample as cf32_le (I then Q, each an
// IEEE-754 float32, little-endian); base.sigmf-meta describes it in JSON
// with one capture at sample 0 and one annotation per burst, a burst being
// a run of samples with marker 2 set inside one packet. When impairments are
// on, the global object also holds "tarvio:impairments": every field of the
// Impairments record by name (Inf and -Inf, the "off" values, as the texts
// "Inf" and "-Inf"), with the "tarvio" extension declared in core:extensions.
#pragma once

#include <string>

#include "files/packet_walk.h"
#include "records/impairments.h"

namespace tarvio {

// Streams the packets into base.sigmf-data and writes base.sigmf-meta.
// sample_rate in Hz, frequency (carrier) in Hz. Throws std::runtime_error;
// neither file is left behind half-written.
void write_sigmf(const PacketSource& src, const std::string& base, double sample_rate, double frequency,
                 const Impairments& impairments = {});

}  // namespace tarvio
