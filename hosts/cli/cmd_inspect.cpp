// tarvio-cli inspect: prints a waveform export file's header record and
// counts, and can write its samples and markers back to a MAT file.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "files/export_file_reader.h"
#include "hosts/cli/cli_args.h"
#include "hosts/cli/cli_command.h"
#include "runtime/matfile.h"

namespace tarvio::cli {
namespace {

// A text field of the file as it may be shown on a terminal: printable
// ASCII as it is, the quote and backslash escaped, every other byte as \xNN,
// so a file cannot move the cursor or change the terminal's state.
std::string escaped(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c >= 0x20 && c < 0x7f) {
      out += char(c);
    } else {
      char b[8];
      std::snprintf(b, sizeof b, "\\x%02X", c);
      out += b;
    }
  }
  return out;
}

void print_header(const std::string& path, const ExportFileHeader& h) {
  std::printf("file               %s\n", path.c_str());
  std::printf("layout version     %u (header %u bytes)\n", h.version, h.header_size);
  std::printf("samples            %llu\n", static_cast<unsigned long long>(h.sample_count));
  std::printf("marker rows        %u (bytes carry rows 1-4)\n", h.marker_rows);
  std::printf("residual mode      %d\n", h.residual_mode);
  std::printf("SampleRate         %.10g Hz\n", h.sample_rate);
  std::printf("Frequency          %.10g Hz\n", h.frequency);
  std::printf("Scaling            %.10g %%\n", h.scaling);
  std::printf("Bandwidth          %.10g Hz\n", h.bandwidth);
  std::printf("ModAtten           %.10g dB%s\n", h.mod_atten, h.mod_atten == -2 ? " (automatic)" : "");
  std::printf("RFBlankMarker      %d\n", h.rf_blank_marker);
  std::printf("MarkerPolarityMask 0x%04X\n", h.marker_polarity_mask);
  std::printf("Reserved1..5       %.10g %d %d %d %d\n", h.reserved1, h.reserved2, h.reserved3, h.reserved4,
              h.reserved5);
  std::printf("Option             \"%s\"\n", escaped(h.option).c_str());
  std::printf("Comment            \"%s\"\n", escaped(h.comment).c_str());
}

// Walks the file's samples in blocks of 64 Ki: f(first, count) after
// `read` has filled the buffers it was given.
template <class F>
void walk_blocks(uint64_t n, F&& f) {
  constexpr size_t kBlock = 1 << 16;
  for (uint64_t first = 0; first < n; first += kBlock) f(first, size_t(std::min<uint64_t>(kBlock, n - first)));
}

int run_inspect(const std::vector<std::string>& args) {
  ParsedArgs pa = parse_args(args, {"--out"});
  if (pa.positional.size() != 1) throw UsageError("name one export file");
  const std::string path = pa.positional[0];
  ExportFileReader reader(path);
  const ExportFileHeader& h = reader.header();
  const uint64_t n = h.sample_count;
  constexpr size_t kBlock = 1 << 16;
  std::vector<int16_t> vi(kBlock);
  std::vector<int32_t> ri(kBlock);
  std::vector<uint8_t> mb(kBlock);
  std::vector<double> values(4 * kBlock);

  // Marker counts: samples with each of the four marker bits set, counted
  // while the markers are read (for the file, or just for the counts).
  size_t counts[4] = {0, 0, 0, 0};
  auto markers = [&](int, const MatStream::Put& put) {
    walk_blocks(n, [&](uint64_t first, size_t m) {
      reader.read(first, m, nullptr, nullptr, nullptr, nullptr, mb.data());
      for (size_t k = 0; k < m; ++k)
        for (int r = 0; r < 4; ++r) {
          const bool on = (mb[k] >> r) & 1;
          counts[r] += on;
          values[4 * k + size_t(r)] = on;
        }
      if (put) put(values.data(), 4 * m);
    });
  };
  const bool save = pa.has("--out");
  if (save) {
    // Samples and markers go from the file straight into the MAT file, a
    // block at a time: I (part 0) and Q (part 1) with their residuals.
    MatWriter w(pa.get("--out"));
    MatStream samples;
    samples.rows = n ? 1 : 0;
    samples.cols = size_t(n);
    samples.complex = true;
    samples.fill = [&](int part, const MatStream::Put& put) {
      walk_blocks(n, [&](uint64_t first, size_t m) {
        if (part == 0)
          reader.read(first, m, vi.data(), nullptr, ri.data(), nullptr, nullptr);
        else
          reader.read(first, m, nullptr, vi.data(), nullptr, ri.data(), nullptr);
        for (size_t k = 0; k < m; ++k) values[k] = ExportFileReader::restore(vi[k], ri[k]);
        put(values.data(), m);
      });
    };
    w.add("samples", samples);
    MatStream marker_rows;
    marker_rows.rows = n ? 4 : 0;
    marker_rows.cols = size_t(n);
    marker_rows.fill = markers;
    w.add("markers", marker_rows);
    w.add("sampleRate", Value(h.sample_rate));
    w.commit();
  } else {
    markers(0, nullptr);
  }
  print_header(path, h);
  std::printf("marker samples set %zu %zu %zu %zu (rows 1-4)\n", counts[0], counts[1], counts[2], counts[3]);
  if (save) std::printf("written            %s (samples, markers, sampleRate)\n", pa.get("--out").c_str());
  return kExitOk;
}

}  // namespace

TARVIO_CLI_COMMAND({"inspect", "print a waveform export file's header and counts",
                    "usage: tarvio-cli inspect FILE [--out FILE.mat]\n"
                    "\n"
                    "Reads a waveform export file, checks its size against its header record\n"
                    "and prints the header fields, the sample count and how many samples carry\n"
                    "each of the four markers. With --out, writes `samples` (complex row, scaled\n"
                    "so that the peak component is 1, residuals included), `markers` (4 x N,\n"
                    "0/1) and `sampleRate` to FILE.mat.\n",
                    &run_inspect});

}  // namespace tarvio::cli
