// tarvio.calculate: the calculation of a parameter set on a thread of its
// own, with records of its own, off the interpreter's lock; its samples go,
// packet by packet as they are made, into the memory that the numpy array
// then owns (no packet file is written and read back).
#include <pybind11/stl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "control/calculate_command.h"
#include "control/calculation_watch.h"
#include "control/parameter_checks.h"
#include "instrument/packet_file.h"
#include "python/binding.h"

namespace tarvio::py {

namespace {

// The samples of the calculation, appended packet by packet as the
// calculation writes them; malloc'ed, so that a large block grows in place
// (the allocator remaps it) and numpy takes it over without a copy.
struct Buffer {
  void* data = nullptr;
  size_t size = 0, capacity = 0;  // in samples
  bool single = false;            // complex64, else complex128
  ~Buffer() { std::free(data); }

  size_t bytes_per_sample() const { return single ? sizeof(std::complex<float>) : sizeof(cplx); }
  void reserve(size_t n) {
    if (n <= capacity) return;
    void* p = std::realloc(data, std::max<size_t>(n, 1) * bytes_per_sample());
    if (!p) throw std::bad_alloc();
    data = p;
    capacity = n;
  }
  void shrink() {
    if (capacity <= size || size == 0) return;
    if (void* p = std::realloc(data, size * bytes_per_sample())) {
      data = p;
      capacity = size;
    }
  }
  void append(const cplx* x, size_t n) {
    if (size + n > capacity) reserve(std::max(size + n, capacity + capacity / 2));
    if (single) {
      auto* out = static_cast<std::complex<float>*>(data) + size;
      for (size_t j = 0; j < n; ++j) out[j] = std::complex<float>(float(x[j].real()), float(x[j].imag()));
    } else {
      std::memcpy(static_cast<cplx*>(data) + size, x, n * sizeof(cplx));
    }
    size += n;
  }
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
  buffer.single = single;
  watch.on_packet = [&buffer](const cplx* x, size_t n) { buffer.append(x, n); };
  // The samples are kept here: a packet file would only be read back.
  watch.host_only = true;
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
    // The size estimate of all packets: the memory is taken once when it
    // is right (pages cost nothing until they are written).
    if (st.parameters.ProjectedLength > 0 && st.parameters.ProjectedLength <= 1e9)
      buffer.reserve(size_t(st.parameters.ProjectedLength));
    ok = CalculateCommand();
    if (!ok) return;
    samples = log.samples();
    if (buffer.size != samples)
      throw std::runtime_error("the calculation handed on " + std::to_string(buffer.size) +
                               " samples, its packets hold " + std::to_string(samples));
    buffer.shrink();
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
