// KORPlay_c and KORPlay, and their registered operations.
#include "instrument/kor_play.h"

#include <cerrno>
#include <cstdlib>
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

// The leading number of an error-queue entry ("-222,\"Data out of range\"",
// "+0,\"No error\""), if the reply starts with one.
std::optional<long> error_code(const std::string& reply) {
  const char* p = reply.c_str();
  while (*p == ' ') ++p;
  char* end = nullptr;
  errno = 0;
  const long code = std::strtol(p, &end, 10);
  if (end == p || errno != 0 || (*end != ',' && *end != '\0' && *end != ' ')) return std::nullopt;
  return code;
}

// The instrument's own verdict on what it was sent: its error queue, read
// with :SYSTem:ERRor? until it answers 0 (at most 32 entries, more than an
// instrument keeps). Up to `clipped_read_back` "data out of range" entries
// (-222) are expected: the instrument clipped a frequency or level to its
// limit and the read-back has taken the value it uses. Any other entry, or a
// queue that cannot be read, adds a problem; returns whether one was added.
bool check_error_queue(const Configuration& config, int clipped_read_back, std::vector<std::string>& problems) {
  std::vector<std::string> errors;
  for (int k = 0; k < 32; ++k) {
    const HwResult r = guarded([&] { return hwQuery(config, ":SYSTem:ERRor?"); });
    if (r.status != 0) {
      problems.push_back("The instrument's error queue could not be read: " + r.response);
      return true;
    }
    const std::optional<long> code = error_code(r.response);
    if (!code) {
      problems.push_back("The instrument's reply to :SYSTem:ERRor? is not an error entry: " + quoted(r.response));
      return true;
    }
    if (*code == 0) break;
    if (*code == -222 && clipped_read_back > 0) {
      --clipped_read_back;
      continue;
    }
    errors.push_back(r.response);
  }
  if (errors.empty()) return false;
  std::string text = "The instrument reported errors after the set-up:";
  for (const auto& e : errors) text += "\n" + e;
  problems.push_back(text);
  return true;
}

// The result of a set-up: the given one, or status 1 with the problems.
HwResult with_problems(HwResult r, const std::vector<std::string>& problems) {
  if (problems.empty()) return r;
  r.status = 1;
  r.response.clear();
  for (const auto& p : problems) r.response += (r.response.empty() ? "" : "\n") + p;
  return r;
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
  // A read-back other than what was sent: the instrument held the value at
  // its limit, which it also notes in its error queue.
  int clipped = 0;
  auto read_back = [&](const char* query, double& target, const char* what, double sent) {
    last_query = guarded([&] { return hwQuery(config, query); });
    if (last_query.status != 0) return;
    if (auto v = reply_number(last_query.response)) {
      target = *v;
      clipped += *v != sent;
    } else {
      readback_bad = true;
      problems.push_back(std::string("The instrument's reply to ") + query +
                         " is not a number: " + quoted(last_query.response) + "; the " + what + " keeps its value.");
    }
  };
  read_back(":source:freq:fix?", global.Frequency, "frequency", setting.Frequency);
  read_back(":source:power:level:immediate:amplitude?", global.Amplitude, "amplitude", setting.Amplitude);

  try {
    call_hook(window_hooks().redraw);
  } catch (const std::exception& e) {
    report_error("Instrument Setup", e.what());
  }
  // Errors the instrument queued (a value it clipped or refused) mean the
  // set-up did not do what was asked, even though every command went out.
  // (Not when the instrument stopped answering: the queries' failure says it.)
  const bool queue_bad = last_query.status == 0 && check_error_queue(config, clipped, problems);
  guarded([&] { return hwReturnLocal(config); });

  // The status of the last query and the text of the last command sent; a
  // failed query gives its own text, which says why (a send's text is empty).
  HwResult result{last_query.status, last_query.status != 0 ? last_query.response : last_send.response};
  // A read-back that is no number, or errors in the queue: the set-up did
  // not end as it should.
  if (readback_bad || queue_bad) return with_problems(result, problems);
  return result;
}

HwResult KORPlay(const std::string& FileName, const SigGenSettings& setting, const Configuration& config,
                 std::optional<double> recon_filter) {
  if (auto refused = refuse_title(FileName)) return *refused;
  HwResult last;
  for (const std::string& cmd : korplay_commands(FileName, setting, recon_filter))
    last = guarded([&] { return hwSend(config, cmd); });
  std::vector<std::string> problems;
  if (last.status == 0) check_error_queue(config, 0, problems);
  guarded([&] { return hwReturnLocal(config); });
  return with_problems(last, problems);
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
