// Reading a file or capture for its analysis views.
#include "analyze/capture_views.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "analyze/analyzer.h"
#include "analyze/capture_source.h"

namespace tarvio::analyze {

namespace {

bool is_mat(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return ext == ".mat";
}

}  // namespace

verify::FileViews capture_views(const std::string& path, double sample_rate, unsigned threads) {
  if (is_mat(path)) return verify::file_views(path, sample_rate, std::nullopt, threads);
  std::optional<CaptureSource> src;
  try {
    src.emplace(path, sample_rate, SampleFormat::Auto);
  } catch (const verify::MissingSampleRate&) {
    throw verify::MissingSampleRate("'" + path + "' does not carry its sample rate");
  }
  AnalyzeOptions o;
  o.threads = std::max(1u, threads);
  o.carrierHz = src->carrier_hz();
  o.keepViews = true;
  const Analysis a = analyze_capture(*src, o);
  verify::FileViews out;
  out.sampleRate = src->sample_rate();
  char rate[64];
  std::snprintf(rate, sizeof rate, "capture at %g MHz", out.sampleRate / 1e6);
  out.title = std::filesystem::path(path).filename().string() + ": " + src->kind() + ", " + rate;
  for (const AnalyzedPacket& p : a.packets) {
    verify::PacketView v = p.view ? *p.view : verify::packet_summary(p.check);
    v.index = p.check.index;
    out.packets.push_back(verify::packet_summary(p.check));
    out.full.push_back(std::move(v));
    out.checks.push_back(p.check);
  }
  if (!a.packets.empty()) out.family = a.packets.front().check.family;
  if (out.packets.empty()) out.note = "no packet found";
  return out;
}

}  // namespace tarvio::analyze
