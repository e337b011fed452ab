// tarvio-cli verify FILE: demodulates every burst of a waveform file (a
// --dump or Save Wave MAT file, an export file, a raw file with its sample
// rate, or a SigMF recording) with the built-in receivers, checks headers,
// FCS and, where the file carries the parameter set, the PSDU; measures
// EVM, flatness, spectrum mask, carrier leakage and ramps; prints one line
// per packet and a summary. Exit 0 only when every packet passed.
#include "hosts/cli/cmd_verify.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <thread>

#include "files/packet_walk.h"
#include "files/waveform_file.h"
#include "hosts/cli/cli_args.h"
#include "hosts/cli/cli_command.h"
#include "records/record_value.h"
#include "records/state.h"
#include "verify/burst_finder.h"
#include "verify/expected_psdus.h"
#include "verify/report.h"
#include "verify/verifier.h"

namespace tarvio::cli {

namespace {

using verify::ExpectedPsdus;
using verify::Family;

const char* kUsage =
    "usage: tarvio-cli verify FILE [--json] [--sample-rate HZ] [--family ofdm|dsss] [--mirrored] [--threads N]\n"
    "\n"
    "Demodulates every burst of a waveform file with the built-in IEEE 802.11 receivers\n"
    "and checks it against the transmitter limits: header check, FCS, the PSDU (when the\n"
    "file carries the parameter set), EVM, spectral flatness, spectrum mask, carrier\n"
    "leakage and DSSS ramp times. Prints one line per packet and a summary.\n"
    "\n"
    "FILE is a --dump or Save Wave MAT file, an export file, a SigMF recording\n"
    "(BASE.sigmf-meta or BASE.sigmf-data) or a raw 16-bit sample file.\n"
    "\n"
    "  --json             print the results as JSON\n"
    "  --sample-rate HZ   the sample rate, for files that do not carry it (raw, special save);\n"
    "                     1 MHz to 5.5 THz (11 MHz x OverSampling 500000)\n"
    "  --family F         ofdm or dsss, when the sample rate allows both\n"
    "  --mirrored         the waveform was made with a mirrored spectrum\n"
    "  --threads N        receivers working in parallel (default: the processor count)\n"
    "\n"
    "A file that says how many packets of how many samples it holds (a dump, a SigMF\n"
    "recording) and holds fewer was cut: the cut packet and any after it are named and fail.\n"
    "\n"
    "Exit code 0 when every packet decodes with a good FCS (packets whose parameter set sends no FCS:\n"
    "with the parameter set's PSDU) and passes the limits, 1 otherwise.\n";

unsigned default_threads() { return std::clamp(std::thread::hardware_concurrency(), 1u, 4u); }

// `failed`: the waveform fails whatever its packets do (some are missing).
int print(const std::vector<verify::PacketCheck>& checks, bool json, const std::string& title,
          const std::string& note = "", bool failed = false) {
  const verify::Summary sum = verify::summarize(checks);
  if (json) {
    nlohmann::json j = verify::to_json(checks, sum);
    j["waveform"] = title;
    if (!note.empty()) j["note"] = note;
    std::cout << j.dump(2) << "\n";
  } else {
    std::cout << title << "\n";
    for (const auto& c : checks) std::cout << verify::packet_line(c) << "\n";
    std::cout << (checks.empty() ? std::string("no packet found") : verify::summary_text(sum)) << "\n";
    if (!note.empty()) std::cout << "note: " << note << "\n";
  }
  return sum.all_pass() && !failed ? kExitOk : kExitFailure;
}

std::string rate_text(double hz) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%g", hz);
  return buf;
}

std::string describe_rate(Family f, double fs) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%s at %g MHz", f == Family::Ofdm ? "OFDM" : "DSSS", fs / 1e6);
  return buf;
}

// Progress on a terminal's standard error: "verified D of T packets" (or
// bursts), cleared at the end.
std::function<void(size_t, size_t)> progress_line(const char* what) {
  if (isatty(2) != 1) return {};
  return [what](size_t done, size_t total) {
    if (done % 16 != 0 && done != total) return;
    std::fprintf(stderr, "\rverified %zu of %zu %s\x1b[K", done, total, what);
    if (done == total) std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
  };
}

int run_verify(const std::vector<std::string>& args) {
  std::string file;
  bool json = false, mirrored = false;
  double sampleRate = 0;
  std::optional<Family> family;
  unsigned threads = default_threads();
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) throw UsageError(a + " needs a value");
      return args[++i];
    };
    if (a == "--json") {
      json = true;
    } else if (a == "--mirrored") {
      mirrored = true;
    } else if (a == "--sample-rate") {
      sampleRate = parse_sample_rate(a, value());
    } else if (a == "--family") {
      const std::string v = value();
      if (v == "ofdm")
        family = Family::Ofdm;
      else if (v == "dsss")
        family = Family::Dsss;
      else
        throw UsageError("--family " + v + ": ofdm or dsss");
    } else if (a == "--threads") {
      const std::string v = value();
      const int t = std::atoi(v.c_str());
      if (t < 1 || t > 64) throw UsageError("--threads " + v + ": 1 to 64");
      threads = static_cast<unsigned>(t);
    } else if (a.rfind("--", 0) == 0) {
      throw UsageError("unknown option " + a);
    } else if (file.empty()) {
      file = a;
    } else {
      throw UsageError("only one file can be verified, got '" + file + "' and '" + a + "'");
    }
  }
  if (file.empty()) throw UsageError("no file given");
  WaveformFile s = read_waveform_file(file);
  if (sampleRate > 0) s.sampleRate = sampleRate;
  bool mirror = mirrored;
  if (s.parameters) {
    const Parameters& p = *s.parameters;
    if (!family) family = p.format == 1 ? Family::Ofdm : Family::Dsss;
    if (!(sampleRate > 0) && p.OverSampling > 0) {
      s.sampleRate = (p.format == 1 ? 20e6 : 11e6) * p.OverSampling;
      const std::string why = capture_rate_problem(s.sampleRate);
      if (!why.empty())
        throw std::runtime_error("'" + file + "': its parameter set's sample rate " + rate_text(s.sampleRate) +
                                 " Hz (OverSampling " + rate_text(p.OverSampling) + ") is " + why);
    }
    if (p.MirrorSpectrum == 1) mirror = true;
    if (p.generationMode != 1) {
      std::cerr << "'" << file << "' holds an unframed waveform: without preamble and header it cannot be decoded\n";
      return kExitFailure;
    }
  }
  if (!(s.sampleRate > 0))
    throw UsageError("'" + file + "' does not carry its sample rate: give it with --sample-rate HZ");
  if (!family) {
    const auto f = verify::families_for_rate(s.sampleRate);
    if (f.empty())
      throw UsageError("a sample rate of " + rate_text(s.sampleRate) +
                       " Hz is neither 20 MHz nor 11 MHz times an oversampling factor: give --family");
    family = f.front();
  }
  if (mirror)
    for (cplx& v : s.samples) v = std::conj(v);

  // A file that says how many packets of how many samples it holds and
  // holds fewer samples was cut: its whole packets are verified as the
  // loop they make, and every packet from the cut one on is reported by
  // its number.
  const size_t fileSamples = s.samples.size();
  const bool laidOut = s.packets > 0 && s.packetSamples > 0;
  const size_t wholePackets = laidOut ? std::min(s.packets, fileSamples / s.packetSamples) : 0;
  const bool cut = laidOut && fileSamples < s.packets * s.packetSamples;
  if (cut) s.samples.resize(wholePackets * s.packetSamples);

  std::optional<ExpectedPsdus> expected;
  if (s.parameters && s.parameters->numberOfPackets > 0)
    expected.emplace(*s.parameters, static_cast<size_t>(s.parameters->numberOfPackets));
  verify::Expected want;
  if (std::isfinite(s.carrierHz) && s.carrierHz > 0) want.carrierHz = s.carrierHz;
  if (expected) {
    want.psdu = [&](size_t i, Bits& out) { return expected->fill(i, out); };
    want.fcs = expected->has_fcs();
  }
  // The waveform plays in a loop: start reading in an idle part.
  const size_t turn = verify::loop_start(s.samples.data(), s.samples.size(), s.sampleRate);
  std::rotate(s.samples.begin(), s.samples.begin() + static_cast<long>(turn), s.samples.end());
  std::vector<verify::PacketCheck> checks = verify::verify_waveform(
      s.samples.data(), s.samples.size(), s.sampleRate, *family, want, threads, progress_line("bursts"));
  const std::string title = file + ": " + s.kind + ", " + std::to_string(fileSamples) + " samples, " +
                            describe_rate(*family, s.sampleRate) + (mirror ? ", mirrored" : "");
  std::string note;
  if (cut) {
    for (size_t k = wholePackets; k < s.packets; ++k) {
      verify::PacketCheck c;
      c.family = *family;
      c.index = k;
      c.start = std::min(fileSamples, k * s.packetSamples);
      c.end = std::min(fileSamples, (k + 1) * s.packetSamples);
      c.missing = c.end > c.start ? "cut: the file ends " + std::to_string(c.end - c.start) + " of its " +
                                        std::to_string(s.packetSamples) + " samples into it"
                                  : "missing: the file ends before it";
      checks.push_back(std::move(c));
    }
    note = "the file holds " + std::to_string(fileSamples) + " samples; its own account is " +
           std::to_string(s.packets) + " packets of " + std::to_string(s.packetSamples) + " samples (" +
           std::to_string(s.packets * s.packetSamples) + "): " +
           (fileSamples % s.packetSamples == 0 ? "it ends after packet " + std::to_string(wholePackets)
                                               : "it was cut inside packet " + std::to_string(wholePackets + 1));
  }
  // A waveform made with a mirrored spectrum (MirrorSpectrum 1, which the
  // unattended run sets at every OFDM rate) decodes only when mirrored
  // back: when nothing decodes, the mirrored samples are tried, and the
  // report says so if they decode (the verdict stays a failure).
  if (!mirror && !cut && verify::summarize(checks).decoded == 0) {
    for (cplx& v : s.samples) v = std::conj(v);
    const auto mirrored_checks =
        verify::verify_waveform(s.samples.data(), s.samples.size(), s.sampleRate, *family, want, threads, {});
    if (verify::summarize(mirrored_checks).decoded > 0)
      note =
          "the packets decode with the spectrum mirrored: the waveform was made with MirrorSpectrum 1 (as "
          "tarvio-unattended makes every OFDM waveform); verify it with --mirrored";
  }
  if (checks.empty() && static_cast<double>(s.samples.size()) <
                            verify::shortest_packet_seconds(*family) * s.sampleRate) {
    char why[160];
    std::snprintf(why, sizeof why, "the file holds %g us of samples at %g MHz; the shortest packet lasts %g us",
                  static_cast<double>(s.samples.size()) / s.sampleRate * 1e6, s.sampleRate / 1e6,
                  verify::shortest_packet_seconds(*family) * 1e6);
    note = note.empty() ? why : note + "; " + why;
  }
  // Fewer packets than the file's own account: some were not found.
  if (laidOut && !cut && checks.size() < s.packets) {
    const std::string missing = "the file's own account is " + std::to_string(s.packets) + " packets; " +
                                std::to_string(checks.size()) + " were found";
    return print(checks, json, title, note.empty() ? missing : note + "; " + missing, true);
  }
  return print(checks, json, title, note);
}

}  // namespace

int verify_last_calculation(bool json) {
  const State& st = state();
  const Parameters& p = st.parameters;
  if (p.generationMode != 1) {
    std::cerr << "verify: the waveform is unframed; without preamble and header it cannot be decoded\n";
    return kExitFailure;
  }
  const PacketSource src = current_packets();
  const double fs = (p.format == 1 ? 20e6 : 11e6) * p.OverSampling;
  const Family family = p.format == 1 ? Family::Ofdm : Family::Dsss;
  const ExpectedPsdus expected(p, src.num_pkts);
  const bool mirrored = p.MirrorSpectrum == 1;
  // Each thread reads whole packets through its own file handle into
  // buffers it keeps.
  struct PacketFileReader {
    packet_file::Reader file;
    std::vector<double> i, q;
    explicit PacketFileReader(const PacketSource& s) : file(s.path, s.pkt_size), i(s.pkt_size), q(s.pkt_size) {}
  };
  auto open = [&]() -> verify::PacketReader {
    auto r = std::make_shared<PacketFileReader>(src);
    return [r, mirrored](size_t k, CVec& x) {
      const size_t n = r->i.size();
      r->file.read(k, 0, n, r->i.data(), r->q.data(), nullptr);
      x.resize(n);
      const double qs = mirrored ? -1 : 1;
      for (size_t m = 0; m < n; ++m) x[m] = cplx(r->i[m], qs * r->q[m]);
    };
  };
  const auto checks = verify::verify_packets(
      src.num_pkts, open, fs, family,
      verify::Expected{[&](size_t k, Bits& out) { return expected.fill(k, out); }, expected.has_fcs(),
                       st.sigGenSettings.Frequency > 0 ? st.sigGenSettings.Frequency : 0},
      default_threads(), progress_line("packets"));
  return print(checks, json,
               "calculated waveform: " + std::to_string(src.num_pkts) + " packets, " + describe_rate(family, fs) +
                   (mirrored ? ", mirrored" : ""));
}

TARVIO_CLI_COMMAND({"verify", "demodulate and check every packet of a waveform file", kUsage, &run_verify});

}  // namespace tarvio::cli
