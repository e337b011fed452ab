// The unattended set-up from WLAN_varsB.mat and WLAN_varsB.txt.
#include "control/set_wlan_vars.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>

#include "control/param_set_ops.h"
#include "control/parameter_checks.h"
#include "control/parameter_files.h"
#include "mac/mac_header.h"
#include "records/state.h"
#include "runtime/number_text.h"
#include "runtime/registry.h"

namespace tarvio {

namespace {

// Number of values the list must hold.
constexpr size_t kNumbers = 17;

double field_value(double v, double size) {
  const double max = std::ldexp(1.0, static_cast<int>(8 * size)) - 1;
  if (std::isnan(v)) return 0;
  return std::max(0.0, std::min(max, round_half_away(v)));
}

}  // namespace

MacHeader wlan_vars_header(const std::vector<double>& s) {
  if (s.size() < kNumbers) throw std::invalid_argument("the MAC header needs numbers 4 to 17 of the list");
  MacHeader h;  // widths 2, 2, 2 and 6 bytes, bit stream of 240 zeros
  MacField* fields[] = {&h.FrameCntrl, &h.DurationID, &h.SeqCntrl, &h.Address1, &h.Address2, &h.Address3, &h.Address4};
  for (size_t k = 0; k < 7; ++k) {
    fields[k]->Contents = field_value(s[3 + k], fields[k]->Size);
    fields[k]->Active = s[10 + k];
  }
  RecalcBitStream(h);
  return h;
}

void SetWLAN_vars() {
  const std::vector<double> s = LoadVars();
  if (s.size() < kNumbers)
    throw std::runtime_error("WLAN_varsB.txt holds " + Num2Str(double(s.size())) +
                             " numbers; 17 are needed (data rate, carrier in GHz, data length, seven MAC header "
                             "values and their seven switches). Nothing was changed.");
  const int position = data_rate_position(s[0]);
  if (position == 0)
    throw std::runtime_error("WLAN_varsB.txt: the data rate " + Num2Str(s[0]) +
                             " Mbit/s is not one of 1 2 5.5 6 9 11 12 18 22 24 33 36 48 54. Nothing was changed.");
  const MacHeader header = wlan_vars_header(s);
  State& st = state();
  // What the steps below change, so that a refusal at the end leaves the
  // state as it was.
  const Parameters parameters_before = st.parameters;
  const SigGenSettings settings_before = st.sigGenSettings;
  const Configuration configuration_before = st.configuration;
  const MacHeader header_before = st.MAChdr;
  const std::optional<double> dont_set_before = st.dontSetSampleRate;
  if (!LoadParameters("WLAN_varsB.mat"))
    throw std::runtime_error("WLAN_varsB.mat could not be loaded (see the message shown). Nothing was changed.");

  Parameters& p = st.parameters;
  try {
    SetFaceless();
    st.MAChdr = header;
    p.MACheader.Contents = header;
    p.MACheader.Length = static_cast<double>(header.BitStream.size()) / 8;
    p.dataRate = s[0];
    UpdateDataRate(position);
    p.dataLength = s[2];
    st.sigGenSettings.Frequency = s[1] * 1000000000;
    // A data length the rate's frame cannot carry (above maxDataLen) or any
    // other value no generator can make is refused here rather than giving
    // a broken waveform at the calculation.
    check_and_derive(p);
  } catch (const std::exception& e) {
    st.parameters = parameters_before;
    st.sigGenSettings = settings_before;
    st.configuration = configuration_before;
    st.MAChdr = header_before;
    st.dontSetSampleRate = dont_set_before;
    throw std::runtime_error(std::string("WLAN_varsB: ") + e.what() + ". Nothing was changed.");
  }
}

TARVIO_OP(
    "SetWLAN_vars", 0, 0,
    [](const Args&, int) -> std::vector<Value> {
      SetWLAN_vars();
      return {};
    },
    "SetWLAN_vars(): loads WLAN_varsB.mat and applies the numbers of WLAN_varsB.txt (unattended set-up)");

}  // namespace tarvio
