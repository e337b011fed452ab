// SigMF data and metadata files streamed from the packet file.
#include "files/sigmf_output.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <type_traits>
#include <vector>

#include "runtime/output_file.h"

namespace tarvio {

namespace {

void put_f32le(uint8_t* p, float x) {
  const uint32_t v = std::bit_cast<uint32_t>(x);
  for (int k = 0; k < 4; ++k) p[k] = uint8_t(v >> (8 * k));
}

constexpr uint8_t kBurstMarkerBit = 1u << 1;  // marker row 2

nlohmann::ordered_json number(double x) {
  if (std::isinf(x)) return x > 0 ? "Inf" : "-Inf";
  return x;
}

// A record's fields by name, in field-list order.
template <class R>
nlohmann::ordered_json fields_json(const R& r) {
  nlohmann::ordered_json out = nlohmann::ordered_json::object();
  for_each_field(r, [&](const char* name, const auto& member) {
    using M = std::decay_t<decltype(member)>;
    if constexpr (std::is_same_v<M, double>) {
      out[name] = number(member);
    } else if constexpr (std::is_same_v<M, std::vector<double>>) {
      nlohmann::ordered_json row = nlohmann::ordered_json::array();
      for (double x : member) row.push_back(number(x));
      out[name] = row;
    } else {
      out[name] = fields_json(member);
    }
  });
  return out;
}

}  // namespace

void write_sigmf(const PacketSource& src, const std::string& base, double sample_rate, double frequency,
                 const Impairments& impairments) {
  nlohmann::ordered_json annotations = nlohmann::ordered_json::array();
  OutputFile data(base + ".sigmf-data");
  std::vector<uint8_t> bytes;
  size_t run_start = 0;
  bool in_run = false;
  auto close_run = [&](size_t end) {
    if (in_run)
      annotations.push_back(
          {{"core:sample_start", run_start}, {"core:sample_count", end - run_start}, {"core:label", "burst"}});
    in_run = false;
  };
  walk_packets(src, [&](const double* i, const double* q, const uint8_t* m, size_t n, size_t first) {
    if (first % src.pkt_size == 0) close_run(first);  // bursts never span packets
    bytes.resize(8 * n);
    for (size_t k = 0; k < n; ++k) {
      put_f32le(&bytes[8 * k], float(i[k]));
      put_f32le(&bytes[8 * k + 4], float(q[k]));
      const bool on = (m[k] & kBurstMarkerBit) != 0;
      if (on && !in_run) {
        in_run = true;
        run_start = first + k;
      } else if (!on && in_run) {
        close_run(first + k);
      }
    }
    data.write(bytes.data(), bytes.size());
  });
  close_run(src.total());

  char rate[64];
  std::snprintf(rate, sizeof rate, "%.10g", sample_rate);
  nlohmann::ordered_json meta = {
      {"global",
       {{"core:datatype", "cf32_le"},
        {"core:sample_rate", sample_rate},
        {"core:version", "1.0.0"},
        {"core:num_channels", 1},
        {"core:description", "IEEE 802.11 test waveform, " + std::to_string(src.num_pkts) + " packet(s) of " +
                                 std::to_string(src.pkt_size) + " samples at " + rate +
                                 " samples/s, complex float32 little-endian (cf32_le)"},
        {"core:recorder", "Tarvio"}}},
      {"captures", nlohmann::ordered_json::array({{{"core:sample_start", 0}, {"core:frequency", frequency}}})},
      {"annotations", annotations}};
  if (any_impairment(impairments)) {
    meta["global"]["core:extensions"] =
        nlohmann::ordered_json::array({{{"name", "tarvio"}, {"version", "1.0.0"}, {"optional", true}}});
    meta["global"]["tarvio:impairments"] = fields_json(impairments);
  }
  OutputFile meta_file(base + ".sigmf-meta");
  meta_file.write(meta.dump(2) + "\n");
  // Both files are complete before either replaces an older one.
  data.close();
  meta_file.close();
  data.commit();
  meta_file.commit();
}

}  // namespace tarvio
