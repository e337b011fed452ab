// KORPlay_c and KORPlay, and their registered operations.
#include "instrument/kor_play.h"

#include <exception>

#include "instrument/kor_download.h"
#include "records/record_value.h"
#include "records/state.h"
#include "records/window_hooks.h"
#include "runtime/number_text.h"
#include "runtime/registry.h"
#include "runtime/report.h"

namespace tarvio {

namespace {

const char kQuote = '"';

// Entries 1 to 5 of both lists.
void common_head(std::vector<std::string>& c, const std::string& FileName, const SigGenSettings& s) {
  c.push_back(" :source:rad:arb:state off");
  c.push_back(std::string(" :source:rad:arb:wav ") + kQuote + "arbi:" + FileName + kQuote + " ");
  c.push_back(" :source:freq:fix " + Num2Str(s.Frequency) + "Hz");
  c.push_back(" :source:power:level:immediate:amplitude " + Num2Str(s.Amplitude) + "dbm");
  if (s.SamplingRate) c.push_back(" :source:rad:arb:clock:srate " + Num2Str(*s.SamplingRate) + "Hz");
}

// Entries 11 to 15.
void common_tail(std::vector<std::string>& c, const SigGenSettings& s) {
  c.push_back(std::string(" :source:rad:arb:marker:rfblank ") + (s.RFblanking == 1 ? "on" : "off"));
  c.push_back(std::string(" :source:rad:arb:marker:polarity ") + (s.MarkerPolarity == 0 ? "Pos" : "Neg"));
  c.push_back(std::string(" :source:rad:arb:clock:ref ") + (s.ArbRefSource == 0 ? "int" : "ext"));
  c.push_back(" :source:rad:arb:state on");
  c.push_back(" :output:state on");
}

// The second comma-separated field of an identification reply, if any.
std::optional<std::string> model_field(const std::string& idn) {
  auto c1 = idn.find(',');
  if (c1 == std::string::npos) return std::nullopt;
  auto c2 = idn.find(',', c1 + 1);
  return idn.substr(c1 + 1, c2 == std::string::npos ? std::string::npos : c2 - c1 - 1);
}

std::string quoted(const std::string& s) {
  const size_t kMax = 60;
  return "'" + (s.size() > kMax ? s.substr(0, kMax) + "..." : s) + "'";
}

// A title goes inside a quoted command parameter: a double quote or a
// control character would end it early or start another command.
std::optional<HwResult> refuse_title(const std::string& FileName) {
  for (unsigned char c : FileName)
    if (c < 0x20 || c == 0x7f || c == '"')
      return HwResult{1, "The waveform title " + quoted(FileName) +
                             " holds a double quote or a control character; nothing was sent."};
  return std::nullopt;
}

}  // namespace

std::vector<std::string> korplay_c_commands(const std::string& FileName, const SigGenSettings& s, bool isKOR) {
  std::vector<std::string> c;
  common_head(c, FileName, s);
  std::string filter = s.BBfilter == 1 ? (isKOR ? "2.1MHz" : "40MHz") : s.BBfilter == 2 ? "40MHz" : "Through";
  c.push_back(" :source:dm:bbfilter " + filter);
  c.push_back(" :source:rad:ARB:rscaling " + Num2Str(s.Scaling));
  c.push_back(":source:DM:IQAT:AUTO off");
  c.push_back(s.ModAttenAuto != 0 ? ":source:DM:IQAT:AUTO on" : ":source:DM:IQAT " + Num2Str(s.ModAtten));
  c.push_back(std::string(" :pow:alc:state ") + (s.ALC == 0 ? "off" : "on"));
  common_tail(c, s);
  c.push_back(" :OUTPUT:MOD ON");
  if (isKOR) c.push_back(" :radio:arb:hcrest on");
  return c;
}

std::vector<std::string> korplay_commands(const std::string& FileName, const SigGenSettings& s,
                                          std::optional<double> recon_filter) {
  std::vector<std::string> c;
  common_head(c, FileName, s);
  double r = recon_filter.value_or(0);
  c.push_back(std::string(" :source:rad:arb:rfilter ") + (r == 1   ? "250.0khz"
                                                          : r == 2 ? "2.5Mhz"
                                                          : r == 3 ? "8Mhz"
                                                                   : "through"));
  common_tail(c, s);
  return c;
}

HwResult KORPlay_c(const std::string& FileName, const SigGenSettings& setting, const Configuration& config) {
  if (auto refused = refuse_title(FileName)) return *refused;
  SigGenSettings& global = state().sigGenSettings;
  std::vector<std::string> problems;

  HwResult idn = guarded([&] { return hwQuery(config, "*IDN?"); });
  std::optional<std::string> model = idn.status == 0 ? model_field(idn.response) : std::nullopt;
  if (idn.status == 0 && !model) {
    std::string what = "The instrument's identification " + quoted(idn.response) +
                       " has no model field; the baseband filter setting is left unchanged.";
    report_warning("Instrument Identification", what, false);
    problems.push_back(what);
  }
  const bool isKOR = model && model->find("KXQ7R2") != std::string::npos;
  if (model && !isKOR && setting.BBfilter == 1) global.BBfilter = 2;

  HwResult last_send;
  for (const std::string& cmd : korplay_c_commands(FileName, setting, isKOR))
    last_send = guarded([&] { return hwSend(config, cmd); });

  HwResult last_query;
  bool readback_bad = false;
  auto read_back = [&](const char* query, double& target, const char* what) {
    last_query = guarded([&] { return hwQuery(config, query); });
    if (last_query.status != 0) return;
    if (auto v = reply_number(last_query.response)) {
      target = *v;
    } else {
      readback_bad = true;
      problems.push_back(std::string("The instrument's reply to ") + query +
                         " is not a number: " + quoted(last_query.response) + "; the " + what + " keeps its value.");
    }
  };
  read_back(":source:freq:fix?", global.Frequency, "frequency");
  read_back(":source:power:level:immediate:amplitude?", global.Amplitude, "amplitude");

  try {
    call_hook(window_hooks().redraw);
  } catch (const std::exception& e) {
    report_error("Instrument Setup", e.what());
  }
  guarded([&] { return hwReturnLocal(config); });

  HwResult result{last_query.status, last_send.response};
  if (readback_bad) {
    // A read-back that is no number: the set-up did not end as it should.
    result.status = 1;
    result.response.clear();
    for (const auto& p : problems) result.response += (result.response.empty() ? "" : "\n") + p;
  }
  return result;
}

HwResult KORPlay(const std::string& FileName, const SigGenSettings& setting, const Configuration& config,
                 std::optional<double> recon_filter) {
  if (auto refused = refuse_title(FileName)) return *refused;
  HwResult last;
  for (const std::string& cmd : korplay_commands(FileName, setting, recon_filter))
    last = guarded([&] { return hwSend(config, cmd); });
  guarded([&] { return hwReturnLocal(config); });
  return last;
}

namespace {

// The settings record of an operation call; the older platform's
// ReconFilter field is taken out and returned separately.
SigGenSettings settings_arg(const Args& in, const char* op, std::optional<double>* recon) {
  Value v = arg_required(in, 1, op);
  if (v.is_record()) {
    if (const Value* r = v.record().find("ReconFilter")) {
      if (recon) *recon = r->to_double();
      v.record().erase("ReconFilter");
    }
  }
  return record_from_value<SigGenSettings>(v, "setting");
}

TARVIO_OP(
    "KORPlay_c", 3, 2,
    [](const Args& in, int) -> std::vector<Value> {
      SigGenSettings s = settings_arg(in, "KORPlay_c", nullptr);
      Configuration c = record_from_value<Configuration>(arg_required(in, 2, "KORPlay_c"), "config");
      HwResult r = KORPlay_c(arg_required(in, 0, "KORPlay_c").str(), s, c);
      return {Value(r.status), Value(r.response)};
    },
    "[status, description] = KORPlay_c(FileName, setting, config): playback set-up with read-back");
TARVIO_OP(
    "KORPlay", 3, 2,
    [](const Args& in, int) -> std::vector<Value> {
      std::optional<double> recon;
      SigGenSettings s = settings_arg(in, "KORPlay", &recon);
      Configuration c = record_from_value<Configuration>(arg_required(in, 2, "KORPlay"), "config");
      HwResult r = KORPlay(arg_required(in, 0, "KORPlay").str(), s, c, recon);
      return {Value(r.status), Value(r.response)};
    },
    "[status, description] = KORPlay(FileName, setting, config): playback set-up of the older platform");

}  // namespace

}  // namespace tarvio
