// Reads a stored waveform whole, whatever kind of file holds it.
#include "files/waveform_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "files/export_file_reader.h"
#include "files/stored_waveform.h"
#include "records/record_value.h"
#include "runtime/input_file.h"
#include "runtime/matfile.h"

namespace tarvio {

namespace {

bool ends_with(const std::string& s, const std::string& e) {
  return s.size() >= e.size() && s.compare(s.size() - e.size(), e.size(), e) == 0;
}

std::string rate_text(double hz) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%g", hz);
  return buf;
}

std::vector<char> read_bytes(const std::string& path) {
  check_input_file(path);  // a folder opens as a stream and fails only at the first read
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open '" + path + "'");
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A rate the file itself gives: refused, naming the file and where it says so.
void check_file_rate(const std::string& path, const std::string& where, double hz) {
  const std::string why = capture_rate_problem(hz);
  if (!why.empty()) throw std::runtime_error("'" + path + "': " + where + " " + rate_text(hz) + " Hz is " + why);
}

void load_mat(const std::string& path, WaveformFile& s) {
  const std::vector<std::string> names = mat_var_names(path);
  auto has = [&](const char* n) { return std::find(names.begin(), names.end(), n) != names.end(); };
  const char* var = has("waveform") ? "waveform" : has("wave") ? "wave" : has("samples") ? "samples" : nullptr;
  if (!var)
    throw std::runtime_error("'" + path +
                             "' holds neither `waveform` (calc --dump) nor `wave` (Save Wave) nor `samples` (special "
                             "save)");
  {
    const Value w = mat_read_var(path, var);
    if (w.is_numeric() && w.kind() == Value::Kind::Real && w.cols() == 2 && w.rows() > 2) {
      const std::vector<double> re = w.to_reals();  // N x 2: I, Q
      const size_t n = w.rows();
      s.samples.resize(n);
      for (size_t i = 0; i < n; ++i) s.samples[i] = cplx(re[i], re[n + i]);
    } else if (!w.is_numeric() || (w.rows() > 1 && w.cols() > 1)) {
      throw std::runtime_error("'" + path + "': `" + var + "` must be a row or column of samples, not a " +
                               std::to_string(w.rows()) + " x " + std::to_string(w.cols()) + " " + w.kind_name());
    } else {
      s.samples = w.to_complex();
    }
  }
  if (has("sampleRate")) {
    const Value r = mat_read_var(path, "sampleRate");
    if (!r.is_numeric() || r.numel() != 1 || !(r.to_double() > 0) || !std::isfinite(r.to_double()))
      throw std::runtime_error("'" + path + "': `sampleRate` must be one positive number");
    s.sampleRate = r.to_double();
    check_file_rate(path, "`sampleRate`", s.sampleRate);
  }
  if (has("parameters")) {
    const Value p = mat_read_var(path, "parameters");
    try {
      s.parameters = record_from_value<Parameters>(p, "parameters");
    } catch (const std::exception&) {
      // An incomplete parameter set: the format and oversampling are still of use.
      Parameters q;
      if (p.kind() == Value::Kind::Record) {
        const Record& rec = p.record();
        if (const Value* f = rec.find("format")) q.format = f->to_double();
        if (const Value* f = rec.find("OverSampling")) q.OverSampling = f->to_double();
        if (const Value* f = rec.find("MirrorSpectrum")) q.MirrorSpectrum = f->to_double();
        if (const Value* f = rec.find("generationMode")) q.generationMode = f->to_double();
      }
      q.numberOfPackets = -1;  // marks the set as incomplete
      s.parameters = q;
    }
    // Every packet of a calculation has the same length: the projected
    // length is their sum.
    const Parameters& q = *s.parameters;
    if (q.numberOfPackets >= 1 && q.ProjectedLength >= q.numberOfPackets &&
        std::fmod(q.ProjectedLength, q.numberOfPackets) == 0 && q.ProjectedLength < 1e15) {
      s.packets = static_cast<size_t>(q.numberOfPackets);
      s.packetSamples = static_cast<size_t>(q.ProjectedLength) / s.packets;
    }
  }
  if (has("SigGenSettings")) {
    const Value g = mat_read_var(path, "SigGenSettings");
    if (g.kind() == Value::Kind::Record)
      if (const Value* f = g.record().find("Frequency")) s.carrierHz = f->to_double();
  }
  s.kind = has("parameters") ? "dump" : "MAT waveform";
}

void load_sigmf(const std::string& path, WaveformFile& s) {
  std::string base = path;
  for (const char* e : {".sigmf-meta", ".sigmf-data", ".sigmf"})
    if (ends_with(base, e)) base = base.substr(0, base.size() - std::strlen(e));
  const std::string meta_path = base + ".sigmf-meta";
  const SigmfMeta meta = read_sigmf_meta(meta_path);
  if (meta.type != "cf32_le")
    throw std::runtime_error("the SigMF recording '" + meta_path + "' holds " +
                             (meta.type.empty() ? std::string("no core:datatype") : "samples of type " + meta.type) +
                             "; cf32_le is supported");
  if (meta.rate != 0) {
    check_file_rate(meta_path, "core:sample_rate", meta.rate);
    s.sampleRate = meta.rate;
  }
  // Our recordings describe themselves as "..., N packet(s) of S samples at ...".
  unsigned long long packets = 0, size = 0;
  const auto at = meta.description.find(", ");
  if (at != std::string::npos &&
      std::sscanf(meta.description.c_str() + at, ", %llu packet(s) of %llu samples", &packets, &size) == 2 &&
      packets > 0 && size > 0) {
    s.packets = packets;
    s.packetSamples = size;
  }
  // A partial last sample (a cut file) is left out; the layout says what is missing.
  const std::vector<char> data = read_bytes(base + ".sigmf-data");
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
  s.kind = "SigMF recording";
}

void load_export(const std::string& path, WaveformFile& s) {
  ExportFileReader r(path);
  const size_t n = r.header().sample_count;
  if (r.header().sample_rate != 0) {
    check_file_rate(path, "the header's sample rate", r.header().sample_rate);
    s.sampleRate = r.header().sample_rate;
  }
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
  s.kind = "export file";
}

// Raw file: I, Q interleaved, offset-binary 16-bit words, high byte first.
void load_raw(const std::string& path, WaveformFile& s) {
  const std::vector<char> d = read_bytes(path);
  if (d.size() % 4 != 0)
    throw std::runtime_error("'" + path + "' is " + std::to_string(d.size()) +
                             " bytes long, not a whole number of samples (4 bytes each: 16-bit I and Q)");
  const size_t n = d.size() / 4;
  s.samples.resize(n);
  auto word = [&](size_t at) {
    const unsigned v = static_cast<unsigned>(static_cast<uint8_t>(d[at])) << 8 | static_cast<uint8_t>(d[at + 1]);
    return (static_cast<double>(v) - 32768.0) / 32767.0;
  };
  for (size_t k = 0; k < n; ++k) s.samples[k] = cplx(word(4 * k), word(4 * k + 2));
  s.kind = "raw file";
}

}  // namespace

std::string capture_rate_problem(double hz) {
  if (hz >= kMinCaptureRate && hz <= kMaxCaptureRate) return "";
  return "outside 1 MHz to 5.5 THz, the sample rates of an IEEE 802.11 capture (11 MHz x OverSampling 500000 at "
         "most)";
}

WaveformFile read_waveform_file(const std::string& path) {
  WaveformFile s;
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

}  // namespace tarvio
