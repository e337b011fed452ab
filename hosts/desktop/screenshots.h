// Pictures of every window of the desktop program for review: the splash
// screen, the main window in DSSS and OFDM mode and during a calculation,
// every dialog, and every analysis display on a calculated waveform.
#pragma once

#include <QString>
#include <QStringList>

namespace tarvio::desktop {

class DesktopApp;

// Drives the started application through its windows and writes one PNG
// file per window into `dir` (created when missing). Returns the files
// written; throws std::runtime_error naming a file that could not be.
QStringList write_screenshots(DesktopApp& app, const QString& dir);

}  // namespace tarvio::desktop
