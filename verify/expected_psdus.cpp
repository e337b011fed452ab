// The PSDUs of a parameter set's packets, for the verification.
#include "verify/expected_psdus.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "control/sequence_control.h"
#include "mac/fcs.h"
#include "mac/mac_bits.h"
#include "mac/payload.h"

namespace tarvio::verify {

namespace {

// Packs bits (first bit the least significant of its octet) into octets.
void pack_octets(const uint8_t* bits, size_t octets, uint8_t* out) {
  for (size_t o = 0; o < octets; ++o) {
    unsigned v = 0;
    for (unsigned b = 0; b < 8; ++b) v |= (bits[8 * o + b] & 1u) << b;
    out[o] = static_cast<uint8_t>(v);
  }
}

// CRC-32 of a bit row whose parts are not whole octets: the generator's own
// frame check sequence.
uint32_t whole_crc(const Bits& bits) {
  const Bits f = Dot11_CalcMACfcs(bits);
  uint32_t crc = 0;
  for (unsigned b = 0; b < 32 && b < f.size(); ++b) crc |= static_cast<uint32_t>(f[b] & 1u) << b;
  return crc;
}

}  // namespace

ExpectedPsdus::ExpectedPsdus(const Parameters& p, size_t packets) {
  framed_ = p.generationMode == 1;
  fcs_ = p.MACfcs.Active == 1 && framed_;
  data_ = ByteSwap(Dot11_GeneratePayload(p));
  MacHeader hdr = p.MACheader.Contents;
  const bool withHeader = p.MACheader.Active == 1 && framed_;
  const SeqCtrlOffsets os = calcSeqCtnrlOffsets(hdr);
  for (size_t pk = 1; pk <= packets; ++pk) {
    Bits h;
    if (withHeader)
      for (double b : hdr.BitStream) h.push_back(b != 0 ? 1 : 0);
    headers_.push_back(std::move(h));
    const double k = static_cast<double>(pk);
    if (p.incrSeqCtrl == 1 && std::fmod(k, p.seqCtrlFreq) == 0) {
      incrementSequenceControl(hdr, os.osSeqBgn, os.osSeqEnd);
      for (size_t i = os.osFragBgn; i <= os.osFragEnd; ++i) hdr.BitStream[i] = 0;
    } else if (p.incrFragNum == 1) {
      incrementFragNum(hdr, os.osFragBgn, os.osFragEnd);
    }
  }
  std::vector<uint8_t> octets(data_.size() / 8);
  pack_octets(data_.data(), octets.size(), octets.data());
  dataCrc_ = crc32(crc32(0L, Z_NULL, 0), octets.data(), static_cast<uInt>(octets.size()));
}

bool ExpectedPsdus::fill(size_t i, Bits& out) const {
  if (i >= headers_.size()) return false;
  const Bits& h = headers_[i];
  out.resize(h.size() + data_.size());
  std::copy(h.begin(), h.end(), out.begin());
  std::copy(data_.begin(), data_.end(), out.begin() + static_cast<long>(h.size()));
  if (fcs_) {
    uint32_t crc = 0;
    uint8_t octets[64];
    if (h.size() % 8 == 0 && data_.size() % 8 == 0 && h.size() / 8 <= sizeof octets) {
      pack_octets(h.data(), h.size() / 8, octets);
      const uLong hc = crc32(crc32(0L, Z_NULL, 0), octets, static_cast<uInt>(h.size() / 8));
      crc = static_cast<uint32_t>(crc32_combine(hc, dataCrc_, static_cast<z_off_t>(data_.size() / 8)));
    } else {
      crc = whole_crc(out);
    }
    for (unsigned b = 0; b < 32; ++b) out.push_back(static_cast<uint8_t>((crc >> b) & 1u));
  }
  return true;
}

}  // namespace tarvio::verify
