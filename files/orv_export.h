// The library side of the waveform export: builds the seven-value settings
// header for the export plug-in and calls it with the samples in memory or
// with the packet temporary file of the last calculation.
#pragma once

#include <string>
#include <vector>

#include "records/records.h"
#include "runtime/types.h"

namespace tarvio {

// Texts passed to the plug-in: the payload-encoding option (the plain
// layout of docs/export-file.md needs none) and the comment stored in the
// file's header record.
inline constexpr const char* kExportOption = "";
inline constexpr const char* kExportComment = "Tarvio 802.11 WLAN";

// Frequency, sample rate, filter bandwidth (2100000 for BBfilter 1, 40000000
// for 2, else 0), scaling, modulator attenuation (-2 when automatic),
// marker polarity, RF-blanking marker (2 x RFblanking). Throws
// std::runtime_error when SamplingRate has not been set yet.
std::vector<double> export_settings_header(const SigGenSettings& settings);

struct ExportStatus {
  double status = 0;        // 0 on success
  std::string description;  // "Succeeded"
};

// Writes the export file. With appInfo.ApplicationFunction "dot11g_GUI_c"
// the packets of the packet temporary file are written (file name, packet
// size and count from the program-wide parameters) with `markers` as the
// markers of every packet; otherwise iq and markers themselves. The
// plug-in's error is thrown as std::runtime_error with its message.
ExportStatus Orv_Export(const std::string& file_name, const CVec& iq, const std::vector<std::vector<double>>& markers,
                        const SigGenSettings& settings, const AppInfo& appInfo);

// The packet-file form directly (what the export command uses after a
// calculation). Markers: one row per marker, one column per packet sample.
ExportStatus export_packet_file(const std::string& file_name, const std::vector<std::vector<double>>& markers,
                                const SigGenSettings& settings);

// Marker rows of the program-wide markers as the plug-in takes them.
std::vector<std::vector<double>> marker_rows(const Markers& m);

}  // namespace tarvio
