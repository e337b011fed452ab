// Waveform outputs of the last calculation, written from the packet
// temporary file and the program-wide records. Each throws
// std::runtime_error with a readable text when it fails and leaves no
// partial output file behind.
#pragma once

#include <string>

namespace tarvio {

void WriteExportFile(const std::string& path);   // the export plug-in's file
void WriteRawWaveform(const std::string& path);  // raw 16-bit sample file
void WriteSaveWave(const std::string& path);     // MAT file: samplePoints, sampleRate, wave
void WriteSigmf(const std::string& base);        // base.sigmf-data and base.sigmf-meta

}  // namespace tarvio
