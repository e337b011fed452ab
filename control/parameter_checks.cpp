// Derived fields and the checks of a parameter set against the generators.
#include "control/parameter_checks.h"

#include <cmath>

#include "control/windowless_redraw.h"
#include "records/field_catalog.h"
#include "runtime/number_text.h"

namespace tarvio {

namespace {

// The description of a top-level field of the parameter set.
FieldInfo info_of(const Parameters& p, const char* field) {
  FieldInfo found;
  for_each_field(p, [&](const char* name, const auto&, const FieldInfo& info) {
    if (std::string(name) == field) found = info;
  });
  return found;
}

[[noreturn]] void refuse(const Parameters& p, const std::string& name, const char* field, double value,
                         const std::string& reason) {
  throw FieldError(refusal_text(name + "." + field, Num2Str(value), reason, info_of(p, field)));
}

bool is_one_of(double x, std::initializer_list<double> values) {
  for (double v : values)
    if (x == v) return true;
  return false;
}

// The rules that tie a field to the format and to other fields.
void check_between_fields(const Parameters& p, const std::string& name) {
  const std::string fmt = "format " + Num2Str(p.format);
  if (p.format == 2 && !is_one_of(p.dataRate, {1, 2, 5.5, 11}))
    refuse(p, name, "dataRate", p.dataRate, "format 2 takes 1, 2, 5.5 or 11 Mbit/s; --rate sets both");
  if (p.format == 3 && !is_one_of(p.dataRate, {22, 33}))
    refuse(p, name, "dataRate", p.dataRate, "format 3 takes 22 or 33 Mbit/s; --rate sets both");
  if (p.format != 1 && p.preambleType > 1)
    refuse(p, name, "preambleType", p.preambleType, fmt + " takes 0 (long) or 1 (short)");
  if (p.format == 1 && (p.OverSampling != std::floor(p.OverSampling) || p.OverSampling > 100))
    refuse(p, name, "OverSampling", p.OverSampling, "format 1 takes a whole number from 1 to 100");
  if (p.format == 3 && p.dataRate == 33 && std::fmod(2 * p.OverSampling, 3) != 0)
    refuse(p, name, "OverSampling", p.OverSampling,
           "at 33 Mbit/s the 16.5 MHz symbols need a multiple of 1.5 (1.5, 3, 4.5, ...)");
  if (p.format == 1 && p.idleSamples != std::floor(p.idleSamples))
    refuse(p, name, "idleSamples", p.idleSamples, "format 1 takes a whole number of samples");
  if (p.format == 1 && p.WindowingLength > 64 * p.OverSampling)
    refuse(p, name, "WindowingLength", p.WindowingLength,
           "it must fit one 64 x OverSampling = " + Num2Str(64 * p.OverSampling) + "-sample symbol");
  if ((p.dataSourceType == 5 || p.dataSourceType == 6) && p.dataLength < 1)
    refuse(p, name, "dataLength", p.dataLength, "a PN payload needs at least 1 byte");
  if (p.dataSourceType == 7 && p.dataSourceBitstream.empty())
    refuse(p, name, "dataSourceType", p.dataSourceType, "no user data file is loaded (dataSourceBitstream is empty)");
  if (p.dataSourceBitstream.size() % 8 != 0)
    throw FieldError(name + ".dataSourceBitstream holds " + std::to_string(p.dataSourceBitstream.size()) +
                     " bits, not a whole number of octets");
  if (p.MACheader.Contents.BitStream.size() % 8 != 0)
    throw FieldError(name + ".MACheader.Contents.BitStream holds " +
                     std::to_string(p.MACheader.Contents.BitStream.size()) + " bits, not a whole number of octets");
  // Without a filter the chips are upsampled as single impulses; at a
  // fractional oversampling every other chip falls between two output
  // samples and is dropped, which leaves no decodable burst.
  if (p.format != 1 && p.FilterType == 0 && p.OverSampling != std::floor(p.OverSampling))
    refuse(p, name, "FilterType", p.FilterType,
           "without a filter the oversampling must be a whole number: at " + Num2Str(p.OverSampling) +
               " every other chip would be lost; choose a filter or a whole OverSampling");
  if (p.FilterType == 4 && p.filterCoeffs.empty())
    refuse(p, name, "FilterType", p.FilterType, "the user filter (filterCoeffs) is empty");
  const MacHeader& h = p.MACheader.Contents;
  const std::pair<const char*, const MacField*> header_fields[] = {
      {"FrameCntrl", &h.FrameCntrl}, {"DurationID", &h.DurationID}, {"SeqCntrl", &h.SeqCntrl},
      {"Address1", &h.Address1},     {"Address2", &h.Address2},     {"Address3", &h.Address3},
      {"Address4", &h.Address4}};
  for (const auto& [field, f] : header_fields)
    if (f->Contents >= std::ldexp(1.0, static_cast<int>(8 * f->Size)))
      throw FieldError(name + ".MACheader.Contents." + field + ".Contents = " + Num2Str(f->Contents) +
                       " is not allowed (it does not fit its Size of " + Num2Str(f->Size) +
                       " bytes); it takes whole number 0 to 2^(8 x Size) - 1");
}

// The payload of one packet against maxDataLen.
void check_payload(const Parameters& p, const std::string& name) {
  const std::string why = p.format == 1 ? "the 12-bit OFDM LENGTH field holds 4095 bytes, " +
                                              Num2Str(p.totalLength - p.dataLength) +
                                              " of them MAC header and FCS: maxDataLen is " + Num2Str(p.maxDataLen)
                                        : "maxDataLen is " + Num2Str(p.maxDataLen);
  if (p.dataLength > p.maxDataLen) refuse(p, name, "dataLength", p.dataLength, "it is above the limit: " + why);
  if (p.dataSourceType == 7 && p.dataSourceBitstream.size() > 8 * std::max(0.0, p.maxDataLen))
    throw FieldError(name + ".dataSourceBitstream holds " + std::to_string(p.dataSourceBitstream.size() / 8) +
                     " bytes, more than a packet takes (" + why + ")");
}

}  // namespace

void recompute_derived(Parameters& p) {
  p.MACheader.Length = static_cast<double>(p.MACheader.Contents.BitStream.size()) / 8;
  p.maxDataLen =
      p.format == 1 ? 4095 - (p.MACheader.Length * p.MACheader.Active + p.MACfcs.Length * p.MACfcs.Active) : 2312;
  update_lengths(p);
}

void check_impairments(const Impairments& m, const std::string& name) {
  check_fields(m, name);
  const std::vector<double>& pn = m.PhaseNoise;
  const std::string field = name + ".PhaseNoise";
  std::string takes;
  for_each_field(m, [&](const char* n, const auto&, const FieldInfo& info) {
    if (std::string(n) == "PhaseNoise") takes = std::string("; it takes ") + info.values;
  });
  if (pn.empty()) return;
  if (pn.size() % 2 != 0 || pn.size() < 4)
    throw FieldError(field + " holds " + std::to_string(pn.size()) +
                     " values, not (offset, level) pairs, at least two" + takes);
  for (size_t k = 0; k < pn.size(); k += 2) {
    const std::string at = field + "(" + std::to_string(k + 1) + ")";
    if (!(pn[k] > 0))
      throw FieldError(refusal_text(at, Num2Str(pn[k]), "an offset must be above 0 Hz", FieldInfo{}) + takes);
    if (k > 0 && !(pn[k] > pn[k - 2]))
      throw FieldError(refusal_text(at, Num2Str(pn[k]),
                                    "the offsets must rise: it follows " + Num2Str(pn[k - 2]) + " Hz", FieldInfo{}) +
                       takes);
    if (pn[k + 1] > 0)
      throw FieldError(refusal_text(field + "(" + std::to_string(k + 2) + ")", Num2Str(pn[k + 1]),
                                    "a level must be at most 0 dBc/Hz", FieldInfo{}) +
                       takes);
  }
}

void check_and_derive(Parameters& p, const std::string& name) {
  check_fields(p, name);
  check_between_fields(p, name);
  recompute_derived(p);
  check_payload(p, name);
}

}  // namespace tarvio
