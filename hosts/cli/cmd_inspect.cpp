// tarvio-cli inspect: prints a waveform export file's header record and
// counts, and can write its samples and markers back to a MAT file.
#include <cstdio>
#include <string>
#include <vector>

#include "files/export_file_reader.h"
#include "hosts/cli/cli_args.h"
#include "hosts/cli/cli_command.h"
#include "runtime/matfile.h"

namespace tarvio::cli {
namespace {

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
  std::printf("Option             \"%s\"\n", h.option.c_str());
  std::printf("Comment            \"%s\"\n", h.comment.c_str());
}

int run_inspect(const std::vector<std::string>& args) {
  ParsedArgs pa = parse_args(args, {"--out"});
  if (pa.positional.size() != 1) throw UsageError("name one export file");
  const std::string path = pa.positional[0];
  ExportFileReader reader(path);
  const ExportFileHeader& h = reader.header();

  // Marker counts: samples with each of the four marker bits set.
  const size_t n = size_t(h.sample_count);
  size_t counts[4] = {0, 0, 0, 0};
  const bool save = pa.has("--out");
  std::vector<cplx> samples(save ? n : 0);
  std::vector<double> markers(save ? 4 * n : 0);
  constexpr size_t kBlock = 1 << 16;
  std::vector<int16_t> vi(kBlock), vq(kBlock);
  std::vector<int32_t> ri(kBlock), rq(kBlock);
  std::vector<uint8_t> mb(kBlock);
  for (size_t first = 0; first < n; first += kBlock) {
    const size_t m = std::min(kBlock, n - first);
    reader.read(first, m, vi.data(), vq.data(), save ? ri.data() : nullptr, save ? rq.data() : nullptr, mb.data());
    for (size_t k = 0; k < m; ++k) {
      for (int r = 0; r < 4; ++r) {
        const bool on = (mb[k] >> r) & 1;
        counts[r] += on;
        if (save) markers[(first + k) * 4 + size_t(r)] = on;
      }
      if (save)
        samples[first + k] = cplx(ExportFileReader::restore(vi[k], ri[k]), ExportFileReader::restore(vq[k], rq[k]));
    }
  }
  print_header(path, h);
  std::printf("marker samples set %zu %zu %zu %zu (rows 1-4)\n", counts[0], counts[1], counts[2], counts[3]);
  if (save) {
    mat_write(pa.get("--out"), {{"samples", Value::complex_row(std::move(samples))},
                                {"markers", Value::real(n ? 4 : 0, n, std::move(markers))},
                                {"sampleRate", Value(h.sample_rate)}});
    std::printf("written            %s (samples, markers, sampleRate)\n", pa.get("--out").c_str());
  }
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
