// Records of the calling thread's own: a host that runs several
// calculations at once (the Python module's threads) gives each thread a
// State of its own, so that none of them sees or changes another's records.
// Threads that install none use the one program-wide instance, as before.
#pragma once

#include "records/state.h"

namespace tarvio {

// Makes `s` what state() returns on the calling thread (null: the
// program-wide instance again); returns the State it replaces (null for the
// program-wide one). The caller keeps `s` alive while it is installed.
State* use_thread_state(State* s);

}  // namespace tarvio
