// KORDownLoadWrap and its registered operation.
#include "instrument/kor_download.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "instrument/hwio.h"
#include "records/record_value.h"
#include "records/state.h"
#include "runtime/registry.h"
#include "runtime/report.h"

namespace tarvio {

double rs232_transfer_minutes(double samples, double baudrate, double segments) {
  return 32.0 * samples * 1.125 / baudrate / 60.0 * segments;
}

std::optional<double> reply_number(const std::string& reply) {
  const char* s = reply.c_str();
  while (*s == ' ' || *s == '\t') ++s;
  if (*s == '\0') return std::nullopt;
  // Only decimal numbers: no hexadecimal, no "inf"/"nan" words.
  for (const char* c = s; *c; ++c)
    if (!(std::isdigit(static_cast<unsigned char>(*c)) || std::strchr("+-.eE \t", *c))) return std::nullopt;
  char* end = nullptr;
  double v = std::strtod(s, &end);
  if (end == s) return std::nullopt;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end != '\0' || !std::isfinite(v)) return std::nullopt;
  return v;
}

HwResult KORDownLoadWrap(const CVec& IQData, const Markers& Marker, const std::string& Filename,
                         const Configuration& config, std::optional<double> num_wfm_segments) {
  const State& st = state();
  double segments = num_wfm_segments.value_or(1);
  if (segments == 0) segments = 1;
  const bool from_file = st.appInfo.ApplicationFunction == "dot11g_GUI_c";
  // The packets as the last calculation wrote them, whatever the parameter
  // set says now.
  const CalculatedPackets calc = packet_file_contents();
  const double packets = calc.packets;
  const double pkt_size = calc.pktSize;

  std::string type = config.type;
  std::transform(type.begin(), type.end(), type.begin(), [](unsigned char c) { return std::tolower(c); });
  if (type == "rs232" && segments > 0) {
    // The samples actually sent: every packet of the packet file, or the
    // samples in memory.
    double samples = from_file ? pkt_size * packets : static_cast<double>(IQData.size());
    double minutes = rs232_transfer_minutes(samples, config.RS232.baudrate, segments);
    if (minutes > 0.75) {
      char text[200];
      std::snprintf(text, sizeof text, "This download will take approximately %0.1f minutes. Do you want to continue?",
                    minutes);
      if (reporter().ask("RS-232 Download", text, {"OK", "Cancel"}, "Cancel") != "OK")
        return {-1, "Download cancelled"};
    }
  }

  HwResult q = guarded([&] { return hwQuery(config, ":SOUR:RAD:ARB:STATe?"); });
  const std::string arb_state = q.status == 0 ? q.response : "";
  guarded([&] { return hwSend(config, ":SOUR:RAD:ARB:STATe OFF"); });

  const double marker_rows = Marker.size() > 0 ? 2 : 0;
  HwResult transfer = guarded([&] {
    Value rec = transport_record(config);
    std::vector<Value> r;
    if (from_file) {
      r = hwio::call(9, {rec, Value(calc.file), Value(pkt_size), Value(packets), Value(marker_rows), Value(calc.max),
                         Value("norm"), Value(1.0), Value(Filename)});
      return to_hw_result(r, 9);
    }
    r = hwio::call(20, {rec, Value::complex_row(IQData), Marker.size() ? Value::markers(Marker) : Value(),
                        Value("norm"), Value(1.0), Value(Filename)});
    return to_hw_result(r, 20);
  });
  HwResult lf = guarded([&] { return hwSend(config, "\n"); });
  if (reply_number(arb_state) == 1.0) guarded([&] { return hwSend(config, ":SOUR:RAD:ARB:STATe ON"); });
  guarded([&] { return hwSend(config, ":OUTPUT:MOD ON"); });
  // A failed transfer is the outcome, whatever the line feed after it did.
  return transfer.status != 0 ? transfer : lf;
}

namespace {

TARVIO_OP(
    "KORDownLoadWrap", 5, 2,
    [](const Args& in, int) -> std::vector<Value> {
      CVec iq = arg_required(in, 0, "KORDownLoadWrap").to_complex();
      Markers m = arg_required(in, 1, "KORDownLoadWrap").to_markers();
      std::string name = arg_required(in, 2, "KORDownLoadWrap").str();
      Configuration c = record_from_value<Configuration>(arg_required(in, 3, "KORDownLoadWrap"), "config");
      std::optional<double> seg;
      if (has_arg(in, 4)) seg = in[4].to_double();
      HwResult r = KORDownLoadWrap(iq, m, name, c, seg);
      return {Value(r.status), Value(r.response)};
    },
    "[status, description] = KORDownLoadWrap(IQData, Marker, Filename, config [, num_wfm_segments]): waveform "
    "transfer");

}  // namespace

}  // namespace tarvio
