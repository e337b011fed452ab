// The OFDM receiver of the verification (IEEE 802.11 clause 17, 6 to 54
// Mbit/s): timing and frequency offset from the training fields (coarse
// from the short, fine from the long), channel estimate from the long
// training field, pilot phase and sampling-clock drift tracking, soft
// demapping, deinterleaving, Viterbi decoding with the three puncturings,
// descrambling with the seed recovered from the SERVICE field, the SIGNAL
// parity, and the PSDU with its FCS. It works at the waveform's own rate,
// 20 MHz times a whole oversampling factor, taking the 64 used DFT bins.
// EVM and the impairment figures are measured against the points the
// decoded (or a known) PSDU maps to, encoded again, after the carrier,
// clock and pilot phase corrections a transmitter test allows.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "runtime/types.h"
#include "verify/burst_impairments.h"
#include "verify/fft.h"
#include "verify/measurements.h"
#include "verify/packet_points.h"
#include "verify/viterbi.h"

namespace tarvio::verify {

struct OfdmPacket {
  bool found = false;         // long training field located
  size_t ltfStart = 0;        // first sample of the first long training symbol
  size_t start = 0, end = 0;  // the burst, from the short training field to the last symbol
  double cfoHz = 0;           // carrier frequency offset estimated from the long training field
  bool signalOk = false;      // known RATE, parity and zero tail
  bool parityOk = false;
  double rateMbps = 0;
  unsigned length = 0;  // LENGTH in octets
  unsigned service = 0;
  size_t symbols = 0;  // DATA symbols
  Bits psdu;
  bool fcsOk = false;
  double evmDb = 0, evmPercent = 0;  // RMS over the data sub-carriers of every DATA symbol
  double evmLimitDb = 0;
  // Mean power per sub-carrier -26..26 (DC included, 53 values) from the
  // long training field, in dB relative to the mean over -16..16.
  std::array<double, 53> flatnessDb{};
  bool flatnessOk = true;
  double flatnessWorstDb = 0;       // largest deviation beyond its limit (<= 0 when within)
  double dcLeakageDb = 0;           // DC bin power relative to the mean sub-carrier power
  std::vector<int> unusedCarriers;  // sub-carriers that carry nothing (masked by the generator)
  BurstImpairments impairments;     // carrier and clock offsets, IQ imbalance, DC, SNR
  RampTimes ramps;                  // power-on and power-down, reported only (no limit)
  bool knownReference = false;      // EVM against a known PSDU (the decoded one failed its FCS)
  PacketPoints points;              // the EVM's points, kept only when asked for (keep_points)
  std::string error;                // why decoding stopped, empty when it went through
};

// RMS EVM limit in dB of IEEE 802.11 17.3.9.7 per data rate.
double ofdm_evm_limit_db(double rate_mbps);

class OfdmReceiver {
 public:
  // oversampling: samples per 50 ns (whole number, 1 or more).
  explicit OfdmReceiver(int oversampling);
  int oversampling() const { return os_; }
  // Keep each packet's EVM points (for the analysis views); off by default.
  void keep_points(bool on) { keepPoints_ = on; }
  // Finds and decodes the first packet whose burst starts at or after
  // `from` in x[0..n) (search up to `searchEnd`, default the whole row).
  // `known` (may be null): the PSDU the packet should carry; when the
  // decoded one fails its FCS and `known` has the announced length, EVM and
  // the impairment figures are measured against it.
  OfdmPacket receive(const cplx* x, size_t n, size_t from, size_t searchEnd = static_cast<size_t>(-1),
                     const Bits* known = nullptr);
  // Hands a packet's PSDU back once it has been checked: the next packet's
  // is built in its storage.
  void recycle(Bits&& psdu) {
    if (psdu.capacity() > spare_.capacity()) spare_ = std::move(psdu);
  }

 private:
  double coarse_cfo(const cplx* x, size_t n, size_t from, size_t searchEnd) const;
  bool find_ltf(const cplx* x, size_t n, size_t from, size_t searchEnd, size_t& ltf);
  void reference_points(const uint8_t* scrambled, size_t steps, int nbpsc, int den, size_t symbols);
  void measure(OfdmPacket& r, const std::array<cplx, 53>& y1, const std::array<cplx, 53>& y2,
               const std::array<float, 53>& weight, const std::array<cplx, 53>& equaliser);
  void spectrum(const cplx* x, size_t at, double phase0, std::array<cplx, 53>& out);

  int os_;
  size_t N_;               // DFT size, 64 * os
  Fft fft_;                // 64 points, os rows
  CVec twiddle_;           // per row r and sub-carrier c: e^(-j 2 pi r c / N)
  CVec lts_;               // one long training symbol at the oversampled rate (64 * os samples)
  CVec ltsRef_;            // the same turned by the coarse carrier offset, for the search
  double coarseStep_ = 0;  // radians per sample, from the short training field
  ViterbiK7 viterbi_;
  std::vector<float> soft_, coded_;
  CVec raw_;                                  // the 53 sub-carriers of every DATA symbol, before equalising
  CVec rot_;                                  // the common phase correction of every DATA symbol
  CVec ideal_;                                // the point sent on every data sub-carrier, from the PSDU encoded again
  std::vector<double> slope_;                 // phase slope per sub-carrier taken off each DATA symbol (timing drift)
  std::vector<uint8_t> recoded_, scrambled_;  // coded bits encoded again; the scrambled data bits
  std::vector<double> u_, theta_, ts_, tau_;  // per DATA symbol: time and measured slope, for the clock fit
  Bits decoded_;
  Bits spare_;             // storage for the next PSDU
  double cfoStep_ = 0;     // radians per sample
  bool derotate_ = false;  // an offset to take off
  CVec ramp_;              // e^(-j cfoStep k), k = 0 .. N-1

  bool keepPoints_ = false;  // each packet keeps its EVM points (keep_points)
};

}  // namespace tarvio::verify
