// Reading export files, MAT files and SigMF recordings into a packet file.
#include "files/stored_waveform.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <vector>

#include "files/export_file_reader.h"
#include "instrument/packet_file.h"
#include "plugin/export_layout.h"
#include "runtime/input_file.h"
#include "runtime/matfile.h"

namespace tarvio {

namespace {

constexpr size_t kBlock = 65536;
constexpr uint8_t kMarker2 = 1u << 1;

bool ends_with(const std::string& s, const std::string& e) {
  return s.size() >= e.size() && s.compare(s.size() - e.size(), e.size(), e) == 0;
}

// Writes one packet of a known length block by block: the I values at the
// start of the file, the Q values after all I values, the marker bytes in
// the side file.
class OnePacketWriter {
 public:
  // Refuses more than max_samples before anything is written.
  OnePacketWriter(const std::string& path, size_t n, size_t max_samples, const std::string& source)
      : path_(path), n_(n) {
    if (n > max_samples)
      throw WaveformTooLarge("'" + source + "' holds " + std::to_string(n) + " samples, more than the " +
                             std::to_string(max_samples) + " the signal generator's sample memory holds");
    packet_file::clear(path);
    iq_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    mk_ = ::open(packet_file::marker_path(path).c_str(), O_WRONLY | O_CLOEXEC);
    if (iq_ < 0 || mk_ < 0) fail("cannot open");
  }
  ~OnePacketWriter() {
    if (iq_ >= 0) ::close(iq_);
    if (mk_ >= 0) ::close(mk_);
  }
  OnePacketWriter(const OnePacketWriter&) = delete;
  OnePacketWriter& operator=(const OnePacketWriter&) = delete;

  void write(size_t first, size_t count, const double* i, const double* q, const uint8_t* m) {
    bytes_.resize(8 * count);
    packet_file::encode_values(i, count, bytes_.data());
    put(iq_, 8 * first);
    packet_file::encode_values(q, count, bytes_.data());
    put(iq_, 8 * (n_ + first));
    bytes_.assign(m, m + count);
    put(mk_, first);
  }
  void close() {
    if (::close(iq_) != 0 || ::close(mk_) != 0) {
      iq_ = mk_ = -1;
      fail("cannot write");
    }
    iq_ = mk_ = -1;
  }

 private:
  [[noreturn]] void fail(const char* what) {
    throw std::runtime_error(std::string(what) + " the packet file '" + path_ + "': " + std::strerror(errno));
  }
  void put(int fd, uint64_t offset) {
    size_t done = 0;
    while (done < bytes_.size()) {
      const ssize_t w = ::pwrite(fd, bytes_.data() + done, bytes_.size() - done, off_t(offset + done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) fail("cannot write");
      done += size_t(w);
    }
  }
  std::string path_;
  size_t n_;
  int iq_ = -1, mk_ = -1;
  std::vector<uint8_t> bytes_;
};

StoredWaveform copy_export(const std::string& path, const std::string& packet_path, size_t max_samples) {
  ExportFileReader r(path);
  const size_t n = size_t(r.header().sample_count);
  if (n == 0) throw std::runtime_error("the export file '" + path + "' holds no samples");
  OnePacketWriter w(packet_path, n, max_samples, path);
  std::vector<int16_t> vi(kBlock), vq(kBlock);
  std::vector<int32_t> ri(kBlock), rq(kBlock);
  std::vector<double> i(kBlock), q(kBlock);
  std::vector<uint8_t> m(kBlock);
  for (size_t first = 0; first < n; first += kBlock) {
    const size_t c = std::min(kBlock, n - first);
    r.read(first, c, vi.data(), vq.data(), ri.data(), rq.data(), m.data());
    for (size_t k = 0; k < c; ++k) i[k] = vi[k] + ri[k] / 2147483647.0, q[k] = vq[k] + rq[k] / 2147483647.0;
    w.write(first, c, i.data(), q.data(), m.data());
  }
  w.close();
  // The 16-bit words are truncated toward zero; with its residual each value
  // is the sample again, on the scale where the peak component is 32767. The
  // transfer rounds it as it rounds a calculated waveform, so the instrument
  // receives what a direct download of the same calculation sends (the
  // words alone would be up to one step short, toward zero).
  return {"export file", n, r.header().sample_rate, 32767, true};
}

// The samples of a MAT variable: a complex row or column, a real N x 2
// matrix of I and Q columns, or a real row or column of I values.
void mat_samples(const Value& v, const std::string& what, std::vector<double>& i, std::vector<double>& q) {
  if (!v.is_numeric() || v.is_empty()) throw std::runtime_error(what + " is not a numeric waveform");
  const size_t rows = v.rows(), cols = v.cols(), n = v.numel();
  const bool complex = v.kind() == Value::Kind::Complex;
  if (!complex && cols == 2 && rows != 1) {
    i.assign(v.re().begin(), v.re().begin() + std::ptrdiff_t(rows));
    q.assign(v.re().begin() + std::ptrdiff_t(rows), v.re().end());
    return;
  }
  if (rows != 1 && cols != 1)
    throw std::runtime_error(what + " is a " + std::to_string(rows) + " x " + std::to_string(cols) +
                             " matrix, not a row of samples");
  i.assign(v.re().begin(), v.re().end());
  q = v.im().empty() ? std::vector<double>(n, 0.0) : std::vector<double>(v.im().begin(), v.im().end());
}

StoredWaveform copy_mat(const std::string& path, const std::string& packet_path, size_t max_samples) {
  const MatVars vars = mat_read(path);
  auto find = [&](const char* name) -> const Value* {
    for (const auto& [n, v] : vars)
      if (n == name) return &v;
    return nullptr;
  };
  const char* used = nullptr;
  for (const char* name : {"waveform", "wave", "samples", "samplePoints"})
    if (find(name)) {
      used = name;
      break;
    }
  if (!used)
    throw std::runtime_error("the MAT file '" + path +
                             "' holds no waveform (a variable waveform, wave, samples or samplePoints)");
  std::vector<double> i, q;
  mat_samples(*find(used), "the variable '" + std::string(used) + "' of '" + path + "'", i, q);
  const size_t n = i.size();
  std::vector<uint8_t> m(n, kMarker2);
  bool file_markers = false;
  if (const Value* mk = find("markers"); mk && !mk->is_empty()) {
    if (!mk->is_numeric() || mk->cols() != n || mk->rows() > packet_file::kMaxMarkerRows)
      throw std::runtime_error("the markers of '" + path + "' are not up to 8 rows of " + std::to_string(n) +
                               " columns");
    const size_t rows = mk->rows();
    for (size_t k = 0; k < n; ++k) {
      uint8_t b = 0;
      for (size_t r = 0; r < rows; ++r)
        if (mk->re()[k * rows + r] != 0) b |= uint8_t(1u << r);
      m[k] = b;
    }
    file_markers = true;
  }
  double rate = 0;
  if (const Value* sr = find("sampleRate"); sr && sr->is_numeric() && sr->numel() == 1) rate = sr->to_double();
  OnePacketWriter w(packet_path, n, max_samples, path);
  w.write(0, n, i.data(), q.data(), m.data());
  w.close();
  return {"MAT file", n, rate, packet_file::peak_of(i.data(), q.data(), n), file_markers};
}

// The JSON library's text without its "[json.exception.NAME.N] " tag.
std::string json_text(const std::exception& e) {
  const std::string t = e.what();
  const auto close = t.find("] ");
  return t.rfind("[json.exception.", 0) == 0 && close != std::string::npos ? t.substr(close + 2) : t;
}

}  // namespace

SigmfMeta read_sigmf_meta(const std::string& meta_path) {
  check_input_file(meta_path);
  const std::string in_file = "the SigMF metadata '" + meta_path + "'";
  std::ifstream in(meta_path, std::ios::binary);
  if (!in) throw std::runtime_error(meta_path + ": " + std::strerror(errno));
  nlohmann::json meta;
  try {
    meta = nlohmann::json::parse(in);
  } catch (const nlohmann::json::parse_error& e) {
    throw std::runtime_error(in_file + " is not valid JSON: " + json_text(e));
  } catch (const std::exception& e) {  // a read error of the stream
    throw std::runtime_error("cannot read " + in_file + ": " + e.what());
  }
  auto wrong = [&](const std::string& what) { return std::runtime_error(in_file + ": " + what); };
  if (!meta.is_object()) throw wrong("the top level is not a JSON object");
  SigmfMeta m;
  if (meta.contains("global")) {
    const nlohmann::json& global = meta["global"];
    if (!global.is_object()) throw wrong("\"global\" is not an object");
    if (global.contains("core:datatype")) {
      if (!global["core:datatype"].is_string()) throw wrong("\"core:datatype\" is not a text");
      m.type = global["core:datatype"].get<std::string>();
    }
    if (global.contains("core:sample_rate")) {
      if (!global["core:sample_rate"].is_number()) throw wrong("\"core:sample_rate\" is not a number");
      m.rate = global["core:sample_rate"].get<double>();
    }
    if (global.contains("core:description") && global["core:description"].is_string())
      m.description = global["core:description"].get<std::string>();
  }
  if (meta.contains("annotations")) {
    const nlohmann::json& list = meta["annotations"];
    if (!list.is_array()) throw wrong("\"annotations\" is not a list");
    for (size_t k = 0; k < list.size(); ++k) {
      const nlohmann::json& a = list[k];
      const std::string which = "annotation " + std::to_string(k + 1);
      if (!a.is_object()) throw wrong(which + " is not an object");
      if (!a.contains("core:label") || !a["core:label"].is_string() || a["core:label"] != "burst") continue;
      uint64_t at[2] = {0, 0};
      const char* keys[2] = {"core:sample_start", "core:sample_count"};
      for (int j = 0; j < 2; ++j) {
        if (!a.contains(keys[j])) continue;
        if (!a[keys[j]].is_number_unsigned())
          throw wrong(which + ": \"" + keys[j] + "\" is not a whole number of samples");
        at[j] = a[keys[j]].get<uint64_t>();
      }
      m.bursts.emplace_back(at[0], at[1]);
    }
  }
  return m;
}

namespace {

StoredWaveform copy_sigmf(const std::string& base, const std::string& packet_path, size_t max_samples) {
  const std::string meta_path = base + ".sigmf-meta", data_path = base + ".sigmf-data";
  const SigmfMeta meta = read_sigmf_meta(meta_path);
  const std::string& type = meta.type;
  const std::string& path = base;
  size_t bytes;
  if (type == "cf32_le")
    bytes = 8;
  else if (type == "cf64_le")
    bytes = 16;
  else if (type == "ci16_le")
    bytes = 4;
  else
    throw std::runtime_error("the SigMF recording '" + meta_path + "' holds " +
                             (type.empty() ? std::string("no core:datatype") : "samples of type " + type) +
                             "; cf32_le, cf64_le and ci16_le can be played");
  const double rate = meta.rate;
  check_input_file(data_path);
  std::ifstream data(data_path, std::ios::binary);
  if (!data) throw std::runtime_error("cannot open the SigMF data file '" + data_path + "'");
  data.seekg(0, std::ios::end);
  const auto size = static_cast<uint64_t>(data.tellg());
  data.seekg(0);
  if (size == 0 || size % bytes != 0)
    throw std::runtime_error("the SigMF data file '" + data_path + "' holds " + std::to_string(size) +
                             " bytes, not a whole number of " + type + " samples");
  const size_t n = size_t(size / bytes);
  // Marker 2 over the annotated bursts, else over the whole waveform.
  OnePacketWriter w(packet_path, n, max_samples, path);
  const bool bursts = !meta.bursts.empty();
  std::vector<uint8_t> m(n, bursts ? 0 : kMarker2);
  for (const auto& [start, count] : meta.bursts)
    if (start < n)
      std::fill(m.begin() + std::ptrdiff_t(start),
                m.begin() + std::ptrdiff_t(std::min<uint64_t>(n, start + std::min<uint64_t>(count, n))), kMarker2);
  std::vector<uint8_t> raw(kBlock * bytes);
  std::vector<double> i(kBlock), q(kBlock);
  double peak = 0;
  auto le = [](const uint8_t* p, int nbytes) {
    uint64_t v = 0;
    for (int k = nbytes - 1; k >= 0; --k) v = (v << 8) | p[k];
    return v;
  };
  for (size_t first = 0; first < n; first += kBlock) {
    const size_t c = std::min(kBlock, n - first);
    if (!data.read(reinterpret_cast<char*>(raw.data()), std::streamsize(c * bytes)))
      throw std::runtime_error("cannot read the SigMF data file '" + data_path + "'");
    for (size_t k = 0; k < c; ++k) {
      const uint8_t* p = &raw[k * bytes];
      if (bytes == 8) {
        i[k] = std::bit_cast<float>(uint32_t(le(p, 4))), q[k] = std::bit_cast<float>(uint32_t(le(p + 4, 4)));
      } else if (bytes == 16) {
        i[k] = std::bit_cast<double>(le(p, 8)), q[k] = std::bit_cast<double>(le(p + 8, 8));
      } else {
        i[k] = int16_t(uint16_t(le(p, 2))), q[k] = int16_t(uint16_t(le(p + 2, 2)));
      }
    }
    peak = std::max(peak, packet_file::peak_of(i.data(), q.data(), c));
    w.write(first, c, i.data(), q.data(), m.data() + first);
  }
  w.close();
  return {"SigMF recording", n, rate, peak, bursts};
}

}  // namespace

StoredWaveform copy_stored_waveform(const std::string& path, const std::string& packet_path, size_t max_samples) {
  for (const char* ext : {".sigmf-meta", ".sigmf-data", ".sigmf"})
    if (ends_with(path, ext))
      return copy_sigmf(path.substr(0, path.size() - std::strlen(ext)), packet_path, max_samples);
  // A folder opens as a stream and fails only at the first read: the
  // reason is found first.
  if (const std::string problem = input_file_problem(path); !problem.empty()) {
    if (input_file_problem(path + ".sigmf-meta").empty()) return copy_sigmf(path, packet_path, max_samples);
    throw std::runtime_error(path + ": " + problem);
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(path + ": " + std::strerror(errno));
  char head[128] = {};
  in.read(head, sizeof head);
  if (in.gcount() >= 8 && std::memcmp(head, exportfile::kMagic, sizeof exportfile::kMagic) == 0)
    return copy_export(path, packet_path, max_samples);
  if (in.gcount() >= 116 && std::memcmp(head, "MATLAB ", 7) == 0) return copy_mat(path, packet_path, max_samples);
  throw std::runtime_error("'" + path + "' is not a waveform export file, a MAT file or a SigMF recording");
}

}  // namespace tarvio
