// tarvio.calculate: the calculation of a parameter set on a thread of its
// own, with records of its own, off the interpreter's lock; its samples are
// read from the packet file straight into the memory that the numpy array
// then owns, and the packet file is removed whatever happens.
#include <fcntl.h>
#include <pybind11/stl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "control/calculate_command.h"
#include "control/calculation_watch.h"
#include "control/parameter_checks.h"
#include "instrument/packet_file.h"
#include "python/binding.h"

namespace tarvio::py {

namespace {

// Samples read from the file per block.
constexpr size_t kBlock = 65536;

// Reads `bytes` at `offset`, whole.
void read_at(int fd, uint8_t* dst, size_t bytes, uint64_t offset, const std::string& path) {
  while (bytes > 0) {
    const ssize_t n = ::pread(fd, dst, bytes, off_t(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      throw std::runtime_error("The packet file " + path + " is shorter than the calculation wrote" +
                               (n < 0 ? std::string(": ") + std::strerror(errno) : std::string()));
    dst += n;
    bytes -= size_t(n);
    offset += uint64_t(n);
  }
}

// The samples of every packet of the log into `out` (complex values of T),
// in one pass over the file; stops with CalculationCancelled when asked.
template <class T>
void read_samples(const PacketLog& log, std::complex<T>* out, const std::atomic<bool>& cancel) {
  const int fd = ::open(log.file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("Cannot open the packet file " + log.file + ": " + std::strerror(errno));
  struct Close {
    int fd;
    ~Close() { ::close(fd); }
  } close_fd{fd};
  std::vector<uint8_t> bytes(8 * kBlock);
  std::vector<double> re(kBlock), im(kBlock);
  uint64_t packet_at = 0;
  size_t at = 0;
  for (const PacketRun& r : log.runs) {
    const size_t n = r.markers.size();
    for (size_t k = 0; k < r.count; ++k) {
      if (cancel.load(std::memory_order_relaxed)) throw CalculationCancelled();
      for (size_t done = 0; done < n;) {
        const size_t m = std::min(kBlock, n - done);
        read_at(fd, bytes.data(), 8 * m, packet_at + 8 * done, log.file);
        packet_file::decode_values(bytes.data(), m, re.data());
        read_at(fd, bytes.data(), 8 * m, packet_at + 8 * (n + done), log.file);
        packet_file::decode_values(bytes.data(), m, im.data());
        for (size_t j = 0; j < m; ++j) out[at + j] = std::complex<T>(T(re[j]), T(im[j]));
        at += m;
        done += m;
      }
      packet_at += packet_file::kBytesPerSample * n;
    }
  }
}

// Memory taken with malloc, handed to numpy without a copy.
struct Buffer {
  void* data = nullptr;
  ~Buffer() { std::free(data); }
};

pyb::array take_buffer(Buffer& b, size_t n, bool single) {
  void* data = b.data;
  b.data = nullptr;
  pyb::capsule owner(data, [](void* p) { std::free(p); });
  const std::vector<ssize_t> shape{ssize_t(n)};
  if (single) return pyb::array_t<std::complex<float>>(shape, static_cast<std::complex<float>*>(data), owner);
  return pyb::array_t<std::complex<double>>(shape, static_cast<std::complex<double>*>(data), owner);
}

pyb::dict calculate(const std::shared_ptr<Records>& params, const pyb::object& progress, bool single) {
  auto result = std::make_shared<Records>(*params);
  State& st = result->state;
  st.parameters.multiFrame.tmpFileName = call_packet_file("packets");
  PacketLog log;
  CallMessages msgs;
  CalculationWatch watch;
  Buffer buffer;
  bool ok = false;
  size_t samples = 0;

  auto work = [&] {
    CalculationWatch* old = watch_calculations(&watch);
    struct Restore {
      CalculationWatch* w;
      std::string file;
      ~Restore() {
        watch_calculations(w);
        packet_file::discard(file);
      }
    } restore{old, st.parameters.multiFrame.tmpFileName};
    check_and_derive(st.parameters);
    ok = CalculateCommand();
    if (!ok) return;
    samples = log.samples();
    const size_t bytes = std::max<size_t>(1, samples) * (single ? sizeof(std::complex<float>) : sizeof(cplx));
    buffer.data = std::malloc(bytes);
    if (!buffer.data) throw std::bad_alloc();
    if (single)
      read_samples(log, static_cast<std::complex<float>*>(buffer.data), watch.cancel);
    else
      read_samples(log, static_cast<cplx*>(buffer.data), watch.cancel);
  };
  double reported = -1;
  auto poll = [&] {
    if (progress.is_none()) return;
    const double done = watch.packets_done.load(), total = watch.packets.load();
    if (total > 0 && done != reported) {
      reported = done;
      progress(done, total);
    }
  };
  run_released(st, log, msgs, work, poll, [&] { watch.cancel = true; });
  if (!ok) {
    std::string why = msgs.errors();
    if (why.empty())
      for (const std::string& w : msgs.warnings()) why += (why.empty() ? "" : "\n") + w;
    throw std::runtime_error(why.empty() ? "the calculation stopped" : why);
  }
  if (!progress.is_none() && watch.packets.load() != reported) progress(watch.packets.load(), watch.packets.load());

  pyb::dict out;
  out["samples"] = take_buffer(buffer, samples, single);
  pyb::list runs;
  pyb::array_t<int64_t> packets({ssize_t(log.packets()), ssize_t(2)});
  auto pk = packets.mutable_unchecked<2>();
  size_t at = 0, row = 0;
  for (const PacketRun& r : log.runs) {
    const size_t n = r.markers.size();
    pyb::array_t<uint8_t> m({ssize_t(2), ssize_t(n)});
    std::copy(r.markers.row1.begin(), r.markers.row1.end(), m.mutable_data());
    std::copy(r.markers.row2.begin(), r.markers.row2.end(), m.mutable_data() + n);
    runs.append(pyb::make_tuple(m, r.count));
    for (size_t k = 0; k < r.count; ++k, ++row, at += n) {
      pk(row, 0) = int64_t(at);
      pk(row, 1) = int64_t(at + n);
    }
  }
  out["marker_runs"] = runs;
  out["packets"] = packets;
  out["sample_rate"] = records_sample_rate(st);
  out["peak"] = st.parameters.multiFrame.max;
  out["warnings"] = pyb::cast(msgs.warnings());
  st.parameters.multiFrame.tmpFileName.clear();
  out["records"] = result;
  return out;
}

}  // namespace

void bind_calculate(pyb::module_& m) {
  m.def("_calculate", &calculate, pyb::arg("records"), pyb::arg("progress") = pyb::none(), pyb::arg("single") = false,
        "Calculates the waveform of the records (internal): samples, marker runs, packets, sample rate.");
}

}  // namespace tarvio::py
