// The data-rate list and what choosing one of its entries does to the
// parameter set.
#include <array>
#include <cmath>
#include <stdexcept>
#include <string>

#include "control/param_set_ops.h"
#include "control/windowless_redraw.h"
#include "records/state.h"
#include "records/window_hooks.h"
#include "runtime/registry.h"

namespace tarvio {

namespace {

// Position, rate, format and the OFDM code rate and sub-carrier mapping
// (BPSK 1, QPSK 2, 16-QAM 3, 64-QAM 4) of the IEEE 802.11a rates (17.3.2.2).
constexpr std::array<DataRateEntry, 14> kRates{{
    {1, 2, 0, 0},
    {2, 2, 0, 0},
    {5.5, 2, 0, 0},
    {6, 1, 0.5, 1},
    {9, 1, 0.75, 1},
    {11, 2, 0, 0},
    {12, 1, 0.5, 2},
    {18, 1, 0.75, 2},
    {22, 3, 0, 0},
    {24, 1, 0.5, 3},
    {33, 3, 0, 0},
    {36, 1, 0.75, 3},
    {48, 1, 2.0 / 3.0, 4},
    {54, 1, 0.75, 4},
}};

}  // namespace

const DataRateEntry& data_rate_entry(int position) {
  if (position < 1 || position > 14)
    throw std::out_of_range("data-rate list position " + std::to_string(position) + " is not one of 1..14");
  return kRates[position - 1];
}

int data_rate_position(double dataRate) {
  for (size_t i = 0; i < kRates.size(); ++i)
    if (kRates[i].dataRate == dataRate) return static_cast<int>(i) + 1;
  return 0;
}

void UpdateDataRate(Parameters& p, SigGenSettings& sg, int position, double pbcc33Choice,
                    const std::optional<double>& dontSetSampleRate) {
  const DataRateEntry& e = data_rate_entry(position);
  const double oldFormat = p.format;
  p.dataRate = e.dataRate;
  p.format = e.format;
  if (e.format == 1) {
    p.encoderRate = e.encoderRate;
    p.modulation = e.modulation;
  }
  if (position == 1) p.preambleType = 0;
  if (position == 11) UpdateOversampleRate(p, sg, 3 * pbcc33Choice, dontSetSampleRate);
  if (p.format != oldFormat && (oldFormat == 1 || p.format == 1) && e.dataRate != 33) {
    SetScaling(p, sg);
    SetOverSampling(p);
  }
}

void UpdateDataRate(int position) {
  const auto& choice = window_hooks().pbcc33SampleRateChoice;
  UpdateDataRate(state().parameters, state().sigGenSettings, position, choice ? choice() : 1.0,
                 state().dontSetSampleRate);
  // The window redraws its controls (and with them the records); without a
  // window the records get the same changes directly.
  if (window_hooks().redrawFormatParameters)
    window_hooks().redrawFormatParameters();
  else
    redraw_format_records(state().parameters, state().sigGenSettings, state().dontSetSampleRate);
}

TARVIO_OP(
    "UpdateDataRate", 1, 0,
    [](const Args& in, int) -> std::vector<Value> {
      const double pos = arg_required(in, 0, "UpdateDataRate").to_double();
      if (pos != std::floor(pos))
        throw std::invalid_argument("UpdateDataRate: the position must be a whole number 1..14");
      UpdateDataRate(static_cast<int>(pos));
      return {};
    },
    "UpdateDataRate(position): applies entry 1..14 of the data-rate list");

}  // namespace tarvio
