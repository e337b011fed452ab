// The main window's menu bar as KV_AddMenu builds it.
#pragma once

#include <string>
#include <vector>

#include "ui/menu.h"

namespace tarvio::ui {

// File, Plot, Configuration, Special (hidden as a whole) and Help. The
// Configuration menu has the baseband generator submenu with its three
// memory options only on the platform "c".
std::vector<MenuItem> KV_AddMenu(const std::string& platform);

// The tags of the memory option items, first to third.
inline constexpr const char* kMemoryOptionTags[] = {"menuConfigBBG1Opt1", "menuConfigBBG1Opt2", "menuConfigBBG1Opt602"};

// Plot > CCDF of Bursts Only: while checked, the CCDF display counts the
// samples of the bursts alone (the idle gaps left out); off at first, the
// CCDF then counts every sample.
inline constexpr const char* kCcdfGatedTag = "menuPlotCCDFGated";

}  // namespace tarvio::ui
