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
  bool decoded = false;  // header and FCS good
  int psduEqual = -1;    // 1 equal to the parameter set's, 0 different, -1 not known
  MaskResult mask;
  bool pass = false;
  std::vector<std::string> failures;  // why it did not pass
  std::vector<std::string> warnings;  // passed, but an IEEE 802.11 receiver would not take it
};

// The PSDU without its FCS that packet `index` should carry; false when
// not known.
using ExpectedPsdu = std::function<bool(size_t index, Bits& out)>;

class Verifier {
 public:
  Verifier(double sample_rate, Family family);
  Family family() const { return family_; }
  double sample_rate() const { return fs_; }
  void set_expected(ExpectedPsdu e) { expected_ = std::move(e); }
  // Decodes every packet found in x[0..n), which starts at sample `offset`
  // of the waveform; packet numbers continue from `first_index`. Returns
  // the number of packets appended.
  size_t scan(const cplx* x, size_t n, size_t offset, size_t first_index, std::vector<PacketCheck>& out);

 private:
  void judge(PacketCheck& c, const cplx* x);
  double fs_;
  Family family_;
  std::unique_ptr<OfdmReceiver> ofdm_;
  std::unique_ptr<DsssReceiver> dsss_;
  SpectrumMask mask_;
  ExpectedPsdu expected_;
  Bits want_;
};

// Reads packet k of a source into x (called from several threads for
// different k).
using PacketReader = std::function<void(size_t k, CVec& x)>;

// Checks `count` packets, one burst each, on `threads` threads; every
// packet gets one PacketCheck (a packet without a burst is a failure).
// `progress` (may be empty) is called from the calling thread with the
// number of packets done.
std::vector<PacketCheck> verify_packets(size_t count, const PacketReader& read, double sample_rate, Family family,
                                        const ExpectedPsdu& expected, unsigned threads,
                                        const std::function<void(size_t)>& progress = {});

}  // namespace tarvio::verify
