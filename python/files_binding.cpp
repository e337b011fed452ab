// The waveform files of a Waveform held by Python, written by the library's
// own writers (export file, raw file, Save Wave file, SigMF recording, the
// dump MAT file of tarvio-cli calc --dump), and tarvio.read of any of them.
#include <pybind11/stl.h>

#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>

#include "files/export_file_reader.h"
#include "files/waveform_outputs.h"
#include "hosts/cli/calc_entries.h"
#include "python/staged_waveform.h"
#include "records/record_value.h"
#include "runtime/matfile.h"

namespace tarvio::py {

namespace {

bool ends_with(const std::string& s, const std::string& e) {
  return s.size() >= e.size() && s.compare(s.size() - e.size(), e.size(), e) == 0;
}

WaveformArrays arrays(const pyb::array& samples, const pyb::object& markers, size_t packet_len, double rate) {
  WaveformArrays w;
  w.samples = samples;
  w.markers = markers;
  w.packet_len = packet_len;
  w.sample_rate = rate;
  return w;
}

void write_staged(const Records& rec, const pyb::array& samples, const pyb::object& markers, size_t packet_len,
                  double rate, const std::string& kind, const std::string& path) {
  State st = rec.state;
  with_staged(st, arrays(samples, markers, packet_len, rate), [&] {
    if (kind == "export")
      WriteExportFile(path);
    else if (kind == "raw")
      WriteRawWaveform(path);
    else if (kind == "save_wave")
      WriteSaveWave(path);
    else if (kind == "sigmf")
      WriteSigmf(cli::sigmf_base(path));
    else
      throw std::invalid_argument("no waveform file kind '" + kind + "'");
  });
}

// The dump layout: waveform, markers, parameters, SigGenSettings,
// sampleRate, streamed from the arrays in place.
void save_mat(const Records& rec, const pyb::array& samples, const pyb::object& markers, double rate,
              const std::string& path) {
  if (samples.ndim() != 1 || samples.dtype().kind() != 'c' || !(samples.flags() & pyb::array::c_style))
    throw std::invalid_argument("the samples must be a contiguous one-dimensional complex array");
  const size_t n = size_t(samples.shape(0));
  const bool single = samples.itemsize() == 8;
  const void* data = samples.data();
  const uint8_t* marks = nullptr;
  if (!markers.is_none()) {
    const auto m = markers.cast<pyb::array_t<uint8_t, pyb::array::c_style>>();
    if (m.ndim() != 2 || m.shape(0) != 2 || size_t(m.shape(1)) != n)
      throw std::invalid_argument("the markers must be 2 x " + std::to_string(n));
    marks = m.data();
  }
  const pyb::object keep = markers;
  pyb::gil_scoped_release release;
  MatWriter w(path);
  MatStream wave;
  wave.rows = n ? 1 : 0;
  wave.cols = n;
  wave.complex = true;
  wave.fill = [&](int part, const MatStream::Put& put) {
    std::vector<double> block(65536);
    for (size_t first = 0; first < n; first += block.size()) {
      const size_t m = std::min(block.size(), n - first);
      for (size_t j = 0; j < m; ++j) {
        const size_t k = 2 * (first + j) + size_t(part);
        block[j] = single ? double(static_cast<const float*>(data)[k]) : static_cast<const double*>(data)[k];
      }
      put(block.data(), m);
    }
  };
  w.add("waveform", wave);
  MatStream mk;
  mk.rows = n ? 2 : 0;
  mk.cols = n;
  mk.fill = [&](int, const MatStream::Put& put) {
    std::vector<double> block(65536);
    for (size_t first = 0; first < n; first += block.size() / 2) {
      const size_t m = std::min(block.size() / 2, n - first);
      for (size_t j = 0; j < m; ++j) {
        block[2 * j] = marks ? marks[first + j] : 0;
        block[2 * j + 1] = marks ? marks[n + first + j] : 0;
      }
      put(block.data(), 2 * m);
    }
  };
  w.add("markers", mk);
  w.add("parameters", to_value(rec.state.parameters));
  w.add("SigGenSettings", to_value(rec.state.sigGenSettings));
  w.add("sampleRate", Value(rate));
  w.commit();
}

// What tarvio.read hands to Python.
struct ReadWaveform {
  CVec samples;
  std::vector<uint8_t> markers;  // 2 x samples, row by row; empty when the file has none
  double sample_rate = 0;
  std::shared_ptr<Records> records;
  std::string kind;
};

std::vector<char> file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open '" + path + "'");
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void read_mat(const std::string& path, ReadWaveform& r) {
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
    r.samples.resize(n);
    for (size_t i = 0; i < n; ++i) r.samples[i] = cplx(re[i], re[n + i]);
  } else {
    r.samples = w->to_complex();
  }
  const size_t n = r.samples.size();
  if (const Value* m = find("markers"); m && m->rows() == 2 && m->cols() == n) {
    const std::vector<double> v = m->to_reals();  // column major: row 1, row 2 of each sample
    r.markers.resize(2 * n);
    for (size_t i = 0; i < n; ++i) {
      r.markers[i] = v[2 * i] != 0;
      r.markers[n + i] = v[2 * i + 1] != 0;
    }
  }
  if (const Value* s = find("sampleRate")) r.sample_rate = s->to_double();
  const Value* p = find("parameters");
  const Value* g = find("SigGenSettings");
  if (p) {
    auto rec = std::make_shared<Records>();
    rec->state.parameters = record_from_value<Parameters>(*p, "parameters");
    if (g) rec->state.sigGenSettings = record_from_value<SigGenSettings>(*g, "SigGenSettings");
    r.records = rec;
  }
  r.kind = p ? "dump" : "MAT waveform";
}

void read_sigmf(const std::string& path, ReadWaveform& r) {
  const std::string base = cli::sigmf_base(path);
  const std::vector<char> meta = file_bytes(base + ".sigmf-meta");
  nlohmann::json j;
  try {
    j = nlohmann::json::parse(meta.begin(), meta.end());
  } catch (const std::exception& e) {
    throw std::runtime_error("the SigMF metadata '" + base + ".sigmf-meta' cannot be read: " + e.what());
  }
  const auto g = j.value("global", nlohmann::json::object());
  const std::string type = g.value("core:datatype", "");
  if (type != "cf32_le") throw std::runtime_error("SigMF data type '" + type + "' is not supported (cf32_le is)");
  r.sample_rate = g.value("core:sample_rate", 0.0);
  const std::vector<char> data = file_bytes(base + ".sigmf-data");
  const size_t n = data.size() / 8;
  r.samples.resize(n);
  for (size_t i = 0; i < n; ++i) {
    float v[2];
    for (int c = 0; c < 2; ++c) {
      uint32_t u = 0;
      for (int b = 0; b < 4; ++b) u |= uint32_t(uint8_t(data[8 * i + 4 * c + b])) << (8 * b);
      std::memcpy(&v[c], &u, 4);
    }
    r.samples[i] = cplx(v[0], v[1]);
  }
  // The bursts are annotated: marker 2 over each, as the download sends it.
  r.markers.assign(2 * n, 0);
  for (const auto& a : j.value("annotations", nlohmann::json::array())) {
    if (a.value("core:label", "") != "burst") continue;
    const uint64_t first = a.value("core:sample_start", uint64_t(0)), count = a.value("core:sample_count", uint64_t(0));
    for (uint64_t k = first; k < first + count && k < n; ++k) r.markers[n + k] = 1;
  }
  r.kind = "SigMF recording";
}

void read_export(const std::string& path, ReadWaveform& r) {
  ExportFileReader f(path);
  const size_t n = f.header().sample_count;
  r.sample_rate = f.header().sample_rate;
  r.samples.resize(n);
  r.markers.resize(2 * n);
  const size_t block = 1 << 16;
  std::vector<int16_t> i(block), q(block);
  std::vector<int32_t> ri(block), rq(block);
  std::vector<uint8_t> m(block);
  for (size_t first = 0; first < n; first += block) {
    const size_t c = std::min(block, n - first);
    f.read(first, c, i.data(), q.data(), ri.data(), rq.data(), m.data());
    for (size_t k = 0; k < c; ++k) {
      r.samples[first + k] = cplx(ExportFileReader::restore(i[k], ri[k]), ExportFileReader::restore(q[k], rq[k]));
      r.markers[first + k] = m[k] & 1u;
      r.markers[n + first + k] = (m[k] >> 1) & 1u;
    }
  }
  r.kind = "export file";
}

// Raw file: I, Q interleaved, offset-binary 16-bit words, high byte first.
void read_raw(const std::string& path, ReadWaveform& r) {
  const std::vector<char> d = file_bytes(path);
  if (d.size() % 4 != 0)
    throw std::runtime_error("'" + path + "' is not a raw sample file: its " + std::to_string(d.size()) +
                             " bytes are not whole samples of 4 bytes");
  const size_t n = d.size() / 4;
  r.samples.resize(n);
  auto word = [&](size_t at) {
    const unsigned v = unsigned(uint8_t(d[at])) << 8 | uint8_t(d[at + 1]);
    return (double(v) - 32768.0) / 32767.0;
  };
  for (size_t k = 0; k < n; ++k) r.samples[k] = cplx(word(4 * k), word(4 * k + 2));
  r.kind = "raw file";
}

pyb::dict read(const std::string& path) {
  auto r = std::make_shared<ReadWaveform>();
  {
    pyb::gil_scoped_release release;
    if (ends_with(path, ".mat")) {
      read_mat(path, *r);
    } else if (ends_with(path, ".sigmf-meta") || ends_with(path, ".sigmf-data") || ends_with(path, ".sigmf")) {
      read_sigmf(path, *r);
    } else {
      std::ifstream in(path, std::ios::binary);
      if (!in) throw std::runtime_error("cannot open '" + path + "'");
      char magic[8] = {};
      in.read(magic, 8);
      if (in && std::string(magic, 8) == "TVWFXPRT")
        read_export(path, *r);
      else
        read_raw(path, *r);
    }
  }
  pyb::dict out;
  // The samples stay where the reader put them; the array keeps the reader's
  // result alive.
  auto* holder = new std::shared_ptr<ReadWaveform>(r);
  pyb::capsule owner(holder, [](void* p) { delete static_cast<std::shared_ptr<ReadWaveform>*>(p); });
  out["samples"] =
      pyb::array_t<std::complex<double>>(std::vector<ssize_t>{ssize_t(r->samples.size())}, r->samples.data(), owner);
  if (!r->markers.empty())
    out["markers"] =
        pyb::array_t<uint8_t>(std::vector<ssize_t>{2, ssize_t(r->samples.size())}, r->markers.data(), owner);
  else
    out["markers"] = pyb::none();
  out["sample_rate"] = r->sample_rate > 0 ? pyb::object(pyb::float_(r->sample_rate)) : pyb::none();
  out["records"] = r->records ? pyb::cast(r->records) : pyb::none();
  out["kind"] = r->kind;
  return out;
}

}  // namespace

void bind_files(pyb::module_& m) {
  m.def("_write", &write_staged, pyb::arg("records"), pyb::arg("samples"), pyb::arg("markers"), pyb::arg("packet_len"),
        pyb::arg("sample_rate"), pyb::arg("kind"), pyb::arg("path"),
        "Writes a waveform file of a kind: export, raw, save_wave, sigmf (internal).");
  m.def("_save_mat", &save_mat, pyb::arg("records"), pyb::arg("samples"), pyb::arg("markers"), pyb::arg("sample_rate"),
        pyb::arg("path"), "Writes the dump MAT file (internal).");
  m.def("_read", &read, pyb::arg("path"), "Reads any waveform file (internal).");
}

}  // namespace tarvio::py
