// The packet file of a waveform held by Python.
#include "python/staged_waveform.h"

#include <atomic>
#include <complex>

#include "instrument/packet_file.h"
#include "instrument/packet_writer.h"

namespace tarvio::py {

void with_staged(State& st, const WaveformArrays& w, const std::function<void()>& use,
                 const std::function<void()>& interrupted) {
  const pyb::array& s = w.samples;
  if (s.ndim() != 1 || (s.dtype().kind() != 'c'))
    throw std::invalid_argument("the samples must be a one-dimensional complex array");
  if (!(s.flags() & pyb::array::c_style)) throw std::invalid_argument("the samples must be contiguous");
  const bool single = s.itemsize() == 8;
  const size_t n = size_t(s.shape(0));
  if (n == 0) throw std::invalid_argument("the waveform has no samples");
  const uint8_t* marks = nullptr;
  pyb::array_t<uint8_t, pyb::array::c_style> ma;
  if (!w.markers.is_none()) {
    ma = w.markers.cast<pyb::array_t<uint8_t, pyb::array::c_style>>();
    if (ma.ndim() != 2 || ma.shape(0) != 2 || size_t(ma.shape(1)) != n)
      throw std::invalid_argument("the markers must be an array of 2 x " + std::to_string(n));
    marks = ma.data();
  }
  const size_t len = w.packet_len > 0 && n % w.packet_len == 0 ? w.packet_len : n;
  const size_t count = n / len;
  const void* data = s.data();
  const std::string path = call_packet_file("staged");
  Parameters& p = st.parameters;
  PacketLog log;
  CallMessages msgs;
  std::atomic<bool> cancel{false};
  run_released(
      st, log, msgs,
      [&] {
        struct Discard {
          std::string path;
          ~Discard() { packet_file::discard(path); }
        } discard{path};
        packet_file::clear(path);
        double peak = 0;
        Markers m;
        {
          packet_file::Writer writer(path);
          CVec widened(single ? len : 0);
          for (size_t k = 0; k < count; ++k) {
            if (cancel.load()) throw std::runtime_error("interrupted");
            const cplx* x = static_cast<const cplx*>(data) + k * len;
            if (single) {
              const auto* f = static_cast<const std::complex<float>*>(data) + k * len;
              for (size_t j = 0; j < len; ++j) widened[j] = cplx(f[j].real(), f[j].imag());
              x = widened.data();
            }
            if (marks) {
              m.row1.assign(marks + k * len, marks + (k + 1) * len);
              m.row2.assign(marks + n + k * len, marks + n + (k + 1) * len);
            } else {
              m.row1.assign(len, 0);
              m.row2.assign(len, 0);
            }
            peak = std::max(peak, writer.append(x, len, m));
          }
          writer.close();
        }
        p.multiFrame.tmpFileName = path;
        p.multiFrame.pktSize = double(len);
        p.multiFrame.max = peak;
        p.numberOfPackets = double(count);
        st.markers = std::move(m);
        st.waveform.clear();
        st.appInfo.ApplicationFunction = "dot11g_GUI_c";
        if (w.sample_rate > 0) st.sigGenSettings.SamplingRate = w.sample_rate;
        use();
      },
      {}, [&] {
        cancel = true;
        if (interrupted) interrupted();
      });
  const std::string e = msgs.errors();
  if (!e.empty()) throw std::runtime_error(e);
}

}  // namespace tarvio::py
