// Verification of a waveform: finds the bursts, decodes every packet with
// the receiver of its family, compares the PSDU with the one the parameter
// set defines (when known), measures it, and judges it against the
// transmitter limits of IEEE 802.11. Packets of a packet file can be
// checked on several threads, each with its own receiver.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/types.h"
#include "verify/burst_finder.h"
#include "verify/dsss_receiver.h"
#include "verify/measurements.h"
#include "verify/ofdm_receiver.h"

namespace tarvio::verify {

enum class Family { Ofdm, Dsss };

// The family a sample rate allows: 20 MHz times a whole number is OFDM,
// 11 MHz times a whole or half number DSSS (OFDM first when both fit).
std::vector<Family> families_for_rate(double sample_rate);

struct PacketCheck {
  size_t index = 0;           // packet number in the waveform, from 0
  size_t start = 0, end = 0;  // the burst's samples in the whole waveform
  Family family = Family::Ofdm;
  OfdmPacket ofdm;  // the receiver's result of the family
  DsssPacket dsss;
  bool fcsSent = true;   // the PSDU ends in an FCS (false only when the parameter set says so)
  bool decoded = false;  // header and FCS good (the header, when no FCS is sent)
  int psduEqual = -1;    // 1 equal to the parameter set's, 0 different, -1 not known
  double carrierHz = 0;  // the carrier the waveform is played on, 0 when not known
  MaskResult mask;
  bool pass = false;
  std::vector<std::string> failures;  // why it did not pass
  std::vector<std::string> warnings;  // passed, but an IEEE 802.11 receiver would not take it
  size_t notFinite = 0;               // samples of the burst that are NaN or infinite
  std::string missing;                // why the packet is not (wholly) in the file, "" when it is
};

// The PSDU (with its FCS when the parameter set adds one) that packet
// `index` should carry; false when not known. Called from several threads.
using ExpectedPsdu = std::function<bool(size_t index, Bits& out)>;

// What the parameter set says of the packets, when the file carries it.
struct Expected {
  ExpectedPsdu psdu;     // may be empty
  bool fcs = true;       // the PSDUs end in an FCS (the MAC FCS can be turned off)
  double carrierHz = 0;  // the instrument's carrier frequency, 0 when not known
};

// The shortest packet of a family, in seconds: OFDM preamble, SIGNAL and
// one DATA symbol (24 us); DSSS short preamble and header (96 us). A row of
// samples shorter than that holds no packet to find.
double shortest_packet_seconds(Family family);

class Verifier {
 public:
  Verifier(double sample_rate, Family family);
  Family family() const { return family_; }
  double sample_rate() const { return fs_; }
  void set_expected(Expected e) { expected_ = std::move(e); }
  // Keep every packet's EVM points (PacketPoints) for the analysis views.
  void keep_points(bool on);
  // Decodes every packet found in x[0..n), which starts at sample `offset`
  // of the waveform; packet numbers continue from `first_index`. Returns
  // the number of packets appended.
  size_t scan(const cplx* x, size_t n, size_t offset, size_t first_index, std::vector<PacketCheck>& out);

  // scan() in steps, for work shared among verifiers: the bursts of the
  // row; the packets of one burst, decoded and measured but without their
  // number and what depends on it (they keep their PSDU for it); then
  // finish() for each in order.
  const std::vector<Burst>& bursts(const cplx* x, size_t n) { return bursts_.find(x, n, fs_); }
  size_t receive_burst(const cplx* x, size_t n, const Burst& b, std::vector<PacketCheck>& out);
  // Numbers the packet, compares its PSDU with the parameter set's,
  // completes the judgement and lets go of the PSDU.
  void finish(PacketCheck& c, size_t index);
  // Before finish(): an OFDM packet that failed its FCS is measured again
  // against the PSDU packet `index` should carry, when the parameter set
  // gives it (at a low SNR the decoded bits are no reference for the EVM).
  // x[0..n) is the row the packet was received from.
  void remeasure(PacketCheck& c, const cplx* x, size_t n, size_t index);

  // A waveform played in a loop, read from an idle point (see BurstFinder):
  // x is turned in place (through `spare`), and its bursts found.
  const std::vector<Burst>& turn_and_find(CVec& x, CVec& spare);

 private:
  void judge(PacketCheck& c, const cplx* x);
  double fs_;
  Family family_;
  std::unique_ptr<OfdmReceiver> ofdm_;
  std::unique_ptr<DsssReceiver> dsss_;
  SpectrumMask mask_;
  std::unique_ptr<SpectrumMask> fastMask_;  // DSSS: the 16.5 Mchip/s part of 33 Mbit/s bursts
  BurstFinder bursts_;
  Expected expected_;
  Bits want_;
};

// Reads packet k of a source into x.
using PacketReader = std::function<void(size_t k, CVec& x)>;
// Makes a reader for one thread, with its own file handle and buffers.
using OpenPacketReader = std::function<PacketReader()>;

// Checks `count` packets, one burst each, on `threads` threads, each with
// its own reader and receivers; every packet gets one PacketCheck (a
// packet without a burst is a failure). `progress` (may be empty) is called
// from the calling thread with the number of packets done and `count`.
std::vector<PacketCheck> verify_packets(size_t count, const OpenPacketReader& open, double sample_rate, Family family,
                                        const Expected& expected, unsigned threads,
                                        const std::function<void(size_t, size_t)>& progress = {});

// Checks every packet of the waveform x[0..n) (none when it is shorter than
// the shortest packet, at any sample rate: no receiver is made): its bursts are shared among
// `threads` threads, each with its own receivers; the result is the same,
// in the same order, for any number of threads. `progress` (may be empty)
// is called from the calling thread with the number of bursts done and
// their total. `keep_points`: every packet keeps its EVM points for the
// analysis views (the figures and verdicts are the same either way).
std::vector<PacketCheck> verify_waveform(const cplx* x, size_t n, double sample_rate, Family family,
                                         const Expected& expected, unsigned threads,
                                         const std::function<void(size_t, size_t)>& progress = {},
                                         bool keep_points = false);

}  // namespace tarvio::verify
