// Codes 1, 2, 3 and 5 of the transport module: ping, send, query and return
// to local, each on a connection opened for the call. Instrument failures
// come back as status 1 and a text saying what went wrong and where.
#pragma once

#include <vector>

#include "instrument/hwio/module_args.h"

namespace tarvio::hwio_module {

std::vector<Value> ping(const ArgList& a);          // code 1: (config)
std::vector<Value> send(const ArgList& a);          // code 2: (config, command)
std::vector<Value> query(const ArgList& a);         // code 3: (config, query)
std::vector<Value> return_local(const ArgList& a);  // code 5: (config)

// Result pairs.
inline std::vector<Value> ok(std::string text) { return {Value(0.0), Value(std::move(text))}; }
inline std::vector<Value> failed(std::string text) { return {Value(1.0), Value(std::move(text))}; }

}  // namespace tarvio::hwio_module
