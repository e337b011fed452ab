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

#include "files/export_file_reader.h"
#include "files/packet_walk.h"
#include "files/stored_waveform.h"
#include "hosts/cli/cli_command.h"
#include "records/record_value.h"
#include "records/state.h"
#include "runtime/input_file.h"
#include "runtime/matfile.h"
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
    "  --sample-rate HZ   the sample rate, for files that do not carry it (raw, special save)\n"
    "  --family F         ofdm or dsss, when the sample rate allows both\n"
    "  --mirrored         the waveform was made with a mirrored spectrum\n"
    "  --threads N        receivers working in parallel (default: the processor count)\n"
    "\n"
    "Exit code 0 when every packet decodes with a good FCS (packets whose parameter set sends no FCS:\n"
    "with the parameter set's PSDU) and passes the limits, 1 otherwise.\n";

struct Source {
  CVec samples;
  double sampleRate = 0;
  std::optional<Parameters> parameters;
  bool mirrored = false;
  double carrierHz = 0;  // SigGenSettings.Frequency where the file carries it
  std::string what;      // kind of file, for the header line
};

bool ends_with(const std::string& s, const std::string& e) {
  return s.size() >= e.size() && s.compare(s.size() - e.size(), e.size(), e) == 0;
}

std::vector<char> read_file(const std::string& path) {
  check_input_file(path);  // a folder opens as a stream and fails only at the first read
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open '" + path + "'");
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void load_mat(const std::string& path, Source& s) {
  const MatVars vars = mat_read(path);
  auto find = [&](const std::string& name) -> const Value* {
    for (const auto& v : vars)
      if (v.first == name) return &v.second;
    return nullptr;
  };
  const Value* w = find("waveform");
  if (!w) w = find("wave");
  if (!w) w = find("samples");
  if (!w) throw std::runtime_error("'" + path + "' holds no waveform (variables waveform, wave or samples)");
  if (w->kind() == Value::Kind::Real && w->cols() == 2 && w->rows() > 2) {
    const std::vector<double> re = w->to_reals();  // N x 2: I, Q
    const size_t n = w->rows();
    for (size_t i = 0; i < n; ++i) s.samples.emplace_back(re[i], re[n + i]);
  } else {
    s.samples = w->to_complex();
  }
  if (const Value* r = find("sampleRate")) s.sampleRate = r->to_double();
  if (const Value* p = find("parameters")) {
    try {
      s.parameters = record_from_value<Parameters>(*p, "parameters");
    } catch (const std::exception&) {
      // An incomplete parameter set: the format and oversampling are still of use.
      Parameters q;
      const Record& rec = p->record();
      if (const Value* f = rec.find("format")) q.format = f->to_double();
      if (const Value* f = rec.find("OverSampling")) q.OverSampling = f->to_double();
      if (const Value* f = rec.find("MirrorSpectrum")) q.MirrorSpectrum = f->to_double();
      if (const Value* f = rec.find("generationMode")) q.generationMode = f->to_double();
      q.numberOfPackets = -1;  // marks the set as incomplete
      s.parameters = q;
    }
  }
  if (const Value* g = find("SigGenSettings")) {
    if (g->kind() == Value::Kind::Record)
      if (const Value* f = g->record().find("Frequency")) s.carrierHz = f->to_double();
  }
  s.what = find("parameters") ? "dump" : "MAT waveform";
}

void load_sigmf(const std::string& path, Source& s) {
  std::string base = path;
  for (const char* e : {".sigmf-meta", ".sigmf-data", ".sigmf"})
    if (ends_with(base, e)) base = base.substr(0, base.size() - std::string(e).size());
  const SigmfMeta meta = read_sigmf_meta(base + ".sigmf-meta");
  const std::string& type = meta.type;
  if (type != "cf32_le")
    throw std::runtime_error("the SigMF recording '" + base + ".sigmf-meta' holds " +
                             (type.empty() ? std::string("no core:datatype") : "samples of type " + type) +
                             "; cf32_le is supported");
  if (meta.rate > 0) s.sampleRate = meta.rate;
  const std::vector<char> data = read_file(base + ".sigmf-data");
  const size_t n = data.size() / 8;
  s.samples.resize(n);
  for (size_t i = 0; i < n; ++i) {
    float v[2];
    for (int c = 0; c < 2; ++c) {
      uint32_t u = 0;
      for (int b = 0; b < 4; ++b) u |= static_cast<uint32_t>(static_cast<uint8_t>(data[8 * i + 4 * c + b])) << (8 * b);
      std::memcpy(&v[c], &u, 4);
    }
    s.samples[i] = cplx(v[0], v[1]);
  }
  s.what = "SigMF recording";
}

void load_export(const std::string& path, Source& s) {
  ExportFileReader r(path);
  const size_t n = r.header().sample_count;
  s.sampleRate = r.header().sample_rate;
  s.samples.resize(n);
  const size_t block = 1 << 16;
  std::vector<int16_t> i(block), q(block);
  std::vector<int32_t> ri(block), rq(block);
  for (size_t first = 0; first < n; first += block) {
    const size_t m = std::min(block, n - first);
    r.read(first, m, i.data(), q.data(), ri.data(), rq.data(), nullptr);
    for (size_t k = 0; k < m; ++k)
      s.samples[first + k] = cplx(ExportFileReader::restore(i[k], ri[k]), ExportFileReader::restore(q[k], rq[k]));
  }
  s.what = "export file";
}

// Raw file: I, Q interleaved, offset-binary 16-bit words, high byte first.
void load_raw(const std::string& path, Source& s) {
  const std::vector<char> d = read_file(path);
  const size_t n = d.size() / 4;
  s.samples.resize(n);
  auto word = [&](size_t at) {
    const unsigned v = static_cast<unsigned>(static_cast<uint8_t>(d[at])) << 8 | static_cast<uint8_t>(d[at + 1]);
    return (static_cast<double>(v) - 32768.0) / 32767.0;
  };
  for (size_t k = 0; k < n; ++k) s.samples[k] = cplx(word(4 * k), word(4 * k + 2));
  s.what = "raw file";
}

Source load(const std::string& path) {
  Source s;
  if (ends_with(path, ".mat")) {
    load_mat(path, s);
  } else if (ends_with(path, ".sigmf-meta") || ends_with(path, ".sigmf-data") || ends_with(path, ".sigmf")) {
    load_sigmf(path, s);
  } else {
    check_input_file(path);
    std::ifstream in(path, std::ios::binary);
    char magic[8] = {};
    in.read(magic, 8);
    if (!in && !std::filesystem::exists(path)) throw std::runtime_error("cannot open '" + path + "'");
    if (std::string(magic, 8) == "TVWFXPRT")
      load_export(path, s);
    else
      load_raw(path, s);
  }
  return s;
}

unsigned default_threads() { return std::clamp(std::thread::hardware_concurrency(), 1u, 4u); }

int print(const std::vector<verify::PacketCheck>& checks, bool json, const std::string& title,
          const std::string& note = "") {
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
  return sum.all_pass() ? kExitOk : kExitFailure;
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
      const std::string v = value();
      char* end = nullptr;
      sampleRate = std::strtod(v.c_str(), &end);
      if (!end || *end || !(sampleRate > 0)) throw UsageError("--sample-rate " + v + ": a positive number of Hz");
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
  Source s = load(file);
  if (sampleRate > 0) s.sampleRate = sampleRate;
  if (s.parameters) {
    const Parameters& p = *s.parameters;
    if (!family) family = p.format == 1 ? Family::Ofdm : Family::Dsss;
    if (!(sampleRate > 0) && p.OverSampling > 0) s.sampleRate = (p.format == 1 ? 20e6 : 11e6) * p.OverSampling;
    s.mirrored = p.MirrorSpectrum == 1;
    if (p.generationMode != 1) {
      std::cerr << "'" << file << "' holds an unframed waveform: without preamble and header it cannot be decoded\n";
      return kExitFailure;
    }
  }
  if (mirrored) s.mirrored = true;
  if (!(s.sampleRate > 0))
    throw UsageError("'" + file + "' does not carry its sample rate: give it with --sample-rate HZ");
  if (!family) {
    const auto f = verify::families_for_rate(s.sampleRate);
    if (f.empty())
      throw UsageError("a sample rate of " + std::to_string(s.sampleRate) +
                       " Hz is neither 20 MHz nor 11 MHz times an oversampling factor: give --family");
    family = f.front();
  }
  if (s.mirrored)
    for (cplx& v : s.samples) v = std::conj(v);

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
  const std::vector<verify::PacketCheck> checks = verify::verify_waveform(
      s.samples.data(), s.samples.size(), s.sampleRate, *family, want, threads, progress_line("bursts"));
  const std::string title = file + ": " + s.what + ", " + std::to_string(s.samples.size()) + " samples, " +
                            describe_rate(*family, s.sampleRate) + (s.mirrored ? ", mirrored" : "");
  // A waveform made with a mirrored spectrum (MirrorSpectrum 1, which the
  // unattended run sets at every OFDM rate) decodes only when mirrored
  // back: when nothing decodes, the mirrored samples are tried, and the
  // report says so if they decode (the verdict stays a failure).
  std::string note;
  if (!s.mirrored && verify::summarize(checks).decoded == 0) {
    for (cplx& v : s.samples) v = std::conj(v);
    const auto mirrored_checks =
        verify::verify_waveform(s.samples.data(), s.samples.size(), s.sampleRate, *family, want, threads, {});
    if (verify::summarize(mirrored_checks).decoded > 0)
      note =
          "the packets decode with the spectrum mirrored: the waveform was made with MirrorSpectrum 1 (as "
          "tarvio-unattended makes every OFDM waveform); verify it with --mirrored";
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
