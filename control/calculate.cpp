// The multi-packet calculation: checks the parameter set against the filter
// and the instrument's sample memory, then builds the packets one at a time
// (MAC header, payload and FCS around the frame generator of the format,
// optional multipath fading and impairments), appends each to the packet
// temporary file and steps the sequence and fragment numbers in the header
// between packets.
#include "control/calculate.h"

#include <cmath>
#include <cstdio>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "control/calculation_watch.h"
#include "control/packet_log.h"
#include "control/packet_sink.h"
#include "control/parameter_checks.h"
#include "control/sequence_control.h"
#include "dsp/fading.h"
#include "dsp/filter_design.h"
#include "dsp/impairment_chain.h"
#include "dsss/dot11b_frame.h"
#include "dsss/dot11g_frame.h"
#include "instrument/hwio.h"
#include "mac/fcs.h"
#include "mac/mac_bits.h"
#include "mac/payload.h"
#include "ofdm/dot11a_frame.h"
#include "records/state.h"
#include "runtime/number_text.h"
#include "runtime/registry.h"
#include "runtime/report.h"

namespace tarvio {

namespace {

// Samples the instrument's baseband memory option holds.
double sample_memory_limit(const std::string& bbgType) {
  if (bbgType == "MEM-B") return 32000000;
  if (bbgType == "MEM-C") return 64000000;
  return 8000000;
}

// The header bit row always ends a run with the bits it had at the start,
// also when a called operation raises an error in between.
struct HeaderRestore {
  std::vector<double>& bits;
  std::vector<double> saved;
  explicit HeaderRestore(std::vector<double>& b) : bits(b), saved(b) {}
  ~HeaderRestore() {
    bits = saved;
    reporter().status("");
  }
};

void append_bits(Bits& out, const std::vector<double>& row) {
  for (double b : row) out.push_back(b != 0 ? 1 : 0);
}

// Runs the frame generator of the parameter set's format.
Frame generate_frame(const Parameters& p, const Bits& databits) {
  const double taps = p.FilterTaps * p.OverSampling;
  if (p.format == 1)
    return Dot11a_FRAME(p.generationMode, databits, p.serviceField, p.dataRate, p.modulation, p.encoderRate,
                        p.scramblerActive, p.scramblerInit, p.interleaverActive, p.SubCarriers, p.OverSampling,
                        p.WindowingLength, p.idleSamples, p.FilterType, p.FilterFactor, taps, p.MirrorSpectrum, 0,
                        p.filterCoeffs);
  if (p.format == 2)
    return Dot11b_FRAME(databits, p.dataRate, p.highRateMod, p.preambleType, p.clkLocked, p.scramblerActive,
                        p.encoderActive, p.generationMode, p.idleSamples, p.rampType, p.rampLength, p.OverSampling,
                        p.FilterType, p.FilterFactor, taps, p.MirrorSpectrum, p.filterCoeffs);
  return Dot11g_FRAME(databits, p.clkStruct, p.dataRate, p.highRateMod, p.preambleType, p.clkLocked, p.scramblerActive,
                      p.encoderActive, p.generationMode, p.idleSamples, p.rampType, p.rampLength, p.OverSampling,
                      p.FilterType, p.FilterFactor, taps, p.MirrorSpectrum, p.filterCoeffs);
}

// Takes over what the packets written so far leave behind: the last one as
// `waveform` and `markers`, the running peak and the packet length.
void take_result(PacketSink::Result r, State& s) {
  Parameters& p = s.parameters;
  for (size_t k = 0; k < r.pushed.size(); ++k) {
    const PacketSink::Written& w = r.pushed[k];
    // The packet length is recorded for every run, also one whose packets
    // are all idle (peak 0).
    if (w.peak > p.multiFrame.max || k == 0) {
      if (w.peak > p.multiFrame.max) p.multiFrame.max = w.peak;
      p.multiFrame.pktSize = static_cast<double>(w.samples);
    }
  }
  if (!r.pushed.empty()) {
    s.waveform = std::move(r.last.waveform);
    s.markers = std::move(r.last.markers);
  }
}

bool is_multiple(double p, double freq) { return std::fmod(p, freq) == 0; }

}  // namespace

bool Calculate() {
  State& s = state();
  Parameters& p = s.parameters;
  SigGenSettings& sg = s.sigGenSettings;

  if (!(p.OverSampling > 0) || !std::isfinite(p.OverSampling))
    throw std::invalid_argument("Calculate: OverSampling must be a positive number, got " + Num2Str(p.OverSampling));

  // Low oversampling leaves little room above the signal for the
  // instrument's reconstruction filter: keep the scaling below 70 %.
  if (p.OverSampling <= 2 && sg.Scaling >= 70) sg.Scaling = 69;

  p.filterCoeffs = GenFilterCoeffs(p.FilterType, p.FilterTaps, p.FilterFactor, p.OverSampling, p.filterCoeffs);
  const double n = static_cast<double>(p.filterCoeffs.size());
  if (std::fmod(n, p.OverSampling) != 0) {
    report_error("File Format Error", "The number of coeffients (" + Num2Str(n) +
                                          ") must be a\nmultiple of the Oversampling " +
                                          "Ratio: " + Num2Str(p.OverSampling));
    return false;
  }
  if (n > p.ProjectedLength) {
    report_error("Calculation Error!",
                 "Calculation of this waveform is not \npossible because the filter size is to large. \nPlease reduce "
                 "filter samples, oversample ratio, \nor increase the packet size. ");
    return false;
  }
  if (p.ProjectedLength > 1000000)
    report_warning("Calculation Warning!",
                   "Calculation of a signal with this Projected \nLength may take a while. \nThe status area will "
                   "update as each frame is\ncalculated.   ");
  if (p.ProjectedLength > sample_memory_limit(s.configuration.BBGtype)) {
    report_error("Size Error!", "The sample memory in your signal generator is to small to hold this waveform.", false);
    return false;
  }

  // The impairments are checked and their filters designed before the
  // packet file is touched: a refused record leaves the last waveform.
  // They run at the waveform's own sample rate (see samplePeriodUsec).
  check_impairments(s.impairments);
  const ImpairmentChain chain(s.impairments, (p.format == 1 ? 20e6 : 11e6) * p.OverSampling, sg.Frequency);
  // Noise, a turning carrier or phase noise make every packet different:
  // then no packet stands in for another.
  const bool varying = chain.varies_per_packet();

  const Bits data = ByteSwap(Dot11_GeneratePayload(p));
  const std::string file = p.multiFrame.tmpFileName;
  hwio::call(10, {Value(std::string()), Value(file)});
  p.multiFrame.max = 0;
  s.calculated = CalculatedPackets{file};  // nothing to send until the run completes
  PacketLog& log = last_packet_log();
  log.clear();
  log.file = file;

  MacHeader& hdr = p.MACheader.Contents;
  if ((p.incrSeqCtrl == 1 || p.incrFragNum == 1) && hdr.SeqCntrl.Active == 0) {
    reporter().show(
        {MessageKind::Warning, "Parameter Conflict Warning!",
         "Cannot increment Control Number \nwhen the Seq Control field of the MAC\nheader has been disabled.", false});
    return false;
  }

  const SeqCtrlOffsets os = calcSeqCtnrlOffsets(hdr);
  HeaderRestore restore(hdr.BitStream);
  const bool framed = p.generationMode == 1;
  const double packets = std::floor(p.numberOfPackets);
  // The waveform's own sample period: 20 MHz (OFDM) or 11 MHz (DSSS, ERP)
  // times the oversampling.
  const double samplePeriodUsec = 1.0 / ((p.format == 1 ? 20.0 : 11.0) * p.OverSampling);
  const bool generated = p.format == 1 || p.format == 2 || p.format == 3;
  // What the frame generators read, fixed for the run: the header and FCS
  // fields that change between packets are not among it.
  const Parameters gen = p;
  // Packet k (0-based) starts at sample k x its length: every packet of a
  // run has the same length.
  const auto make_clean = [&gen, samplePeriodUsec](const Bits& bits) {
    Frame fr = generate_frame(gen, bits);
    if (gen.FadingState != 0) {
      CVec faded;
      ApplyFading(fr.waveform, samplePeriodUsec, gen.Fading, faded);
      fr.waveform.swap(faded);
    }
    return fr;
  };
  const auto make_frame = [&make_clean, &chain](const Bits& bits, uint64_t k) {
    Frame fr = make_clean(bits);
    if (chain.active()) chain.apply(fr, k * fr.waveform.size());
    return fr;
  };
  // With impairments that differ from packet to packet, packets of equal
  // bits still share the generator's work: the first of them to be made
  // makes the clean (faded) frame once, with the impairments that do not
  // depend on the packet's place, and each lays the others on its own copy.
  struct CleanFrame {
    Bits bits;
    std::once_flag once;
    Frame frame;
  };
  std::shared_ptr<CleanFrame> clean;
  const auto impaired_copy = [&make_clean, &chain](std::shared_ptr<CleanFrame> c, uint64_t k) {
    std::call_once(c->once, [&] {
      c->frame = make_clean(c->bits);
      chain.apply_fixed(c->frame);
    });
    // Held by no one else (the driver has moved on to other bits): the
    // frame itself is this packet's, no copy needed.
    Frame fr = c.use_count() == 1 ? std::move(c->frame) : c->frame;
    chain.apply_placed(fr, k * fr.waveform.size());
    return fr;
  };
  // With more than one core, frames are made on one thread per core and
  // written on another; the first is made here, so that the FFT plans of
  // the run exist before any other thread needs them. The file is the same
  // either way.
  const unsigned cores = std::thread::hardware_concurrency();
  PacketSink sink(file, log, cores > 1 ? cores : 0);
  if (const CalculationWatch* w = current_watch(); w && w->on_packet) sink.tap(w->on_packet, w->host_only);
  Bits databits, last_bits;
  bool have_last = false;

  try {
    for (double pk = 1; pk <= packets; ++pk) {
      calculation_progress(pk - 1, packets);  // a host may stop the run here
      reporter().status("Creating frame " + Num2Str(pk) + " ...");

      databits.clear();
      if (p.MACheader.Active == 1 && framed) append_bits(databits, hdr.BitStream);
      databits.insert(databits.end(), data.begin(), data.end());
      if (p.MACfcs.Active == 1 && framed) {
        const Bits fcs = Dot11_CalcMACfcs(databits);
        p.MACfcs.Contents.assign(fcs.begin(), fcs.end());
        databits.insert(databits.end(), fcs.begin(), fcs.end());
      }

      // A packet whose bits equal the previous one's is the same waveform:
      // append the held samples again instead of regenerating them; with
      // impairments that vary, impair a copy of the held clean frame.
      const auto k = static_cast<uint64_t>(pk - 1);
      if (varying && generated) {
        if (p.FadingState != 0) reporter().status("Apply multipoint reflection");
        if (!clean || databits != clean->bits) {
          clean = std::make_shared<CleanFrame>();
          clean->bits = databits;
        }
        if (!have_last)
          sink.push(impaired_copy(clean, k));
        else
          sink.push([&impaired_copy, c = clean, k]() mutable { return impaired_copy(std::move(c), k); });
        have_last = true;
      } else if (!have_last || databits != last_bits) {
        if (p.FadingState != 0) reporter().status("Apply multipoint reflection");
        if (!generated)
          sink.push(Frame{s.waveform, s.markers});  // no generator: the held waveform
        else if (!have_last)
          sink.push(make_frame(databits, k));
        else
          sink.push([&make_frame, bits = databits, k] { return make_frame(bits, k); });
        last_bits.swap(databits);
        have_last = true;
      } else {
        sink.repeat(1);
      }

      if (p.incrSeqCtrl == 1 && is_multiple(pk, p.seqCtrlFreq)) {
        incrementSequenceControl(hdr, os.osSeqBgn, os.osSeqEnd);
        for (size_t i = os.osFragBgn; i <= os.osFragEnd; ++i) hdr.BitStream[i] = 0;
      } else if (p.incrFragNum == 1) {
        incrementFragNum(hdr, os.osFragBgn, os.osFragEnd);
      } else if (is_multiple(pk, p.seqCtrlFreq) && !(varying && generated)) {
        // Nothing changes from here on: the remaining packets are copies,
        // so that the file holds exactly numberOfPackets packets.
        sink.repeat(static_cast<size_t>(packets - pk));
        break;
      }
    }
  } catch (...) {
    // The packets made before the failure stay in the file and their
    // results are kept, as when they are written one by one.
    take_result(sink.drain(), s);
    throw;
  }
  take_result(sink.finish(), s);
  s.calculated = CalculatedPackets{file, double(log.packets()), p.multiFrame.pktSize, p.multiFrame.max};
#if defined(__GLIBC__)
  // The threads' heaps keep what they freed; hand it back, so that what
  // follows (an export, a display) starts from the memory of one packet.
  if (cores > 1) malloc_trim(0);
#endif
  calculation_progress(packets, packets);
  return true;
}

TARVIO_OP(
    "Calculate", 0, 0,
    [](const Args&, int) -> std::vector<Value> {
      Calculate();
      return {};
    },
    "Calculate(): the multi-packet calculation of the parameter set into the packet file, waveform and markers");

}  // namespace tarvio
