// The control table of the main window: every control by tag with its kind,
// caption, layout group and the list entries the window description
// supplies. A view lays the window out from this table alone.
#pragma once

#include <vector>

#include "ui/window.h"

namespace tarvio::ui {

std::vector<ControlSpec> main_window_table();

// The data-rate list: the 14 rates in the order of the data-rate positions
// and a 15th entry shown when the OFDM modulation and code rate form no rate.
inline constexpr int kInvalidRateEntry = 15;

}  // namespace tarvio::ui
