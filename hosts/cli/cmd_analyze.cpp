// tarvio-cli analyze FILE: finds every burst of a capture of any sample
// rate (a SigMF recording, a raw I/Q file, a MAT or export file), tells its
// family from the signal, decodes it with the built-in receivers without a
// parameter set and judges it against the transmitter limits, adding the
// frequency tolerances. Prints one line per packet (or burst of neither
// family) and a summary. Exit 0 only when every burst is a packet that
// passed.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <thread>

#include "analyze/analysis_report.h"
#include "analyze/analyzer.h"
#include "files/waveform_file.h"
#include "hosts/cli/cli_args.h"
#include "hosts/cli/cli_command.h"
#include "records/record_value.h"
#include "runtime/input_file.h"
#include "runtime/matfile.h"
#include "verify/expected_psdus.h"
#include "verify/report.h"

namespace tarvio::cli {

namespace {

using verify::Family;

const char* kUsage =
    "usage: tarvio-cli analyze FILE [--sample-rate HZ] [--center-offset HZ] [--format cs16|cf32|raw]\n"
    "                          [--family ofdm|dsss|auto] [--carrier HZ] [--json] [--evm-rows]\n"
    "                          [--threads N] [--payload-file F | --params P.mat]\n"
    "\n"
    "Analyses a captured IEEE 802.11 signal: finds every burst against the noise floor, tells\n"
    "OFDM from DSSS by the signal itself, resamples it to the receiver's rate, decodes it\n"
    "without a parameter set and checks it against the transmitter limits: header check, FCS,\n"
    "EVM (rms, per symbol and sub-carrier for OFDM, per 1000-chip block for DSSS), spectral\n"
    "flatness, spectrum mask, carrier leakage, ramp times (DSSS limit 2 us; OFDM has none and\n"
    "is reported only), and the carrier and symbol-clock frequency tolerances (+-20 ppm OFDM,\n"
    "+-25 ppm DSSS). The capture is read a block at a time, so captures of any length fit in\n"
    "memory.\n"
    "\n"
    "FILE is a SigMF recording (BASE.sigmf-meta or BASE.sigmf-data, cf32_le or ci16_le), a raw\n"
    "file of interleaved I/Q samples (give --format and --sample-rate), or a MAT or export file.\n"
    "\n"
    "  --sample-rate HZ    the capture's sample rate, for files that do not carry it;\n"
    "                      1 MHz to 5.5 THz\n"
    "  --center-offset HZ  the signal's centre relative to the capture's centre frequency\n"
    "  --format F          raw files: cs16 (16-bit signed, little endian), cf32 (32-bit float,\n"
    "                      little endian) or raw (our offset-binary 16-bit raw file, the default)\n"
    "  --family F          ofdm, dsss or auto (default: told from each burst)\n"
    "  --carrier HZ        the channel's carrier frequency, for the tolerances in ppm (default:\n"
    "                      the highest channel of the family's bands, the most lenient)\n"
    "  --json              print the results as JSON (with every EVM row)\n"
    "  --evm-rows          print each packet's EVM per symbol and sub-carrier (OFDM) or per\n"
    "                      1000-chip block (DSSS), not only their range\n"
    "  --threads N         bursts decoded in parallel (default: the processor count)\n"
    "  --payload-file F    the PSDU the packets carry (octets, with or without the FCS): bit\n"
    "                      errors are counted against it\n"
    "  --params P.mat      a --dump file: bit errors are counted against the PSDU of its\n"
    "                      parameter set's packets (the nearest of them, up to 4096)\n"
    "\n"
    "Bursts of neither family and bursts cut by the capture's ends are reported as such and fail.\n"
    "Exit code 0 when every burst is a packet that decodes and passes the limits, 1 otherwise.\n";

std::string num(const char* f, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, f, v);
  return buf;
}

double parse_hz(const std::string& option, const std::string& text, bool signed_ok) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || !end || *end || !std::isfinite(v) || (!signed_ok && v <= 0))
    throw UsageError(option + " " + text + ": a number of Hz, e.g. " + (signed_ok ? "-5e6" : "2412e6"));
  return v;
}

std::string level(double db) { return analyze::level_text(db); }

int run_analyze(const std::vector<std::string>& args) {
  std::string file, payloadFile, paramsFile;
  bool json = false, rows = false;
  double sampleRate = 0;
  analyze::SampleFormat format = analyze::SampleFormat::Auto;
  analyze::AnalyzeOptions o;
  o.threads = std::clamp(std::thread::hardware_concurrency(), 1u, 64u);
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) throw UsageError(a + " needs a value");
      return args[++i];
    };
    if (a == "--json") {
      json = true;
    } else if (a == "--evm-rows") {
      rows = true;
    } else if (a == "--sample-rate") {
      sampleRate = parse_sample_rate(a, value());
    } else if (a == "--center-offset") {
      o.centerOffsetHz = parse_hz(a, value(), true);
    } else if (a == "--carrier") {
      o.carrierHz = parse_hz(a, value(), false);
    } else if (a == "--format") {
      try {
        format = analyze::parse_sample_format(value());
      } catch (const std::invalid_argument& e) {
        throw UsageError(e.what());
      }
    } else if (a == "--family") {
      const std::string v = value();
      if (v == "ofdm")
        o.family = Family::Ofdm;
      else if (v == "dsss")
        o.family = Family::Dsss;
      else if (v != "auto")
        throw UsageError("--family " + v + ": ofdm, dsss or auto");
    } else if (a == "--threads") {
      const std::string v = value();
      const int t = std::atoi(v.c_str());
      if (t < 1 || t > 64) throw UsageError("--threads " + v + ": 1 to 64");
      o.threads = static_cast<unsigned>(t);
    } else if (a == "--payload-file") {
      payloadFile = value();
    } else if (a == "--params") {
      paramsFile = value();
    } else if (a.rfind("--", 0) == 0) {
      throw UsageError("unknown option " + a);
    } else if (file.empty()) {
      file = a;
    } else {
      throw UsageError("only one file can be analysed, got '" + file + "' and '" + a + "'");
    }
  }
  if (file.empty()) throw UsageError("no file given");
  if (!payloadFile.empty()) {
    check_input_file(payloadFile);
    std::ifstream in(payloadFile, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The longest PSDU is 4095 octets (65535 for DSSS by its LENGTH field).
    if (bytes.empty() || bytes.size() > 65535)
      throw std::runtime_error("the payload file '" + payloadFile + "' holds " + std::to_string(bytes.size()) +
                               " octets; a PSDU has 1 to 65535");
    o.payloads.push_back(analyze::payload_bits(bytes));
  }
  if (!paramsFile.empty()) {
    // The PSDUs of every packet of the parameter set (a --dump file's
    // `parameters`); each decoded packet is compared with the nearest.
    check_input_file(paramsFile);
    const Parameters p = record_from_value<Parameters>(mat_read_var(paramsFile, "parameters"), "parameters");
    const size_t count = static_cast<size_t>(std::clamp(p.numberOfPackets, 1.0, 4096.0));
    const verify::ExpectedPsdus expected(p, count);
    Bits b;
    for (size_t k = 0; k < count && expected.fill(k, b); ++k) o.payloads.push_back(b);
    if (o.payloads.empty()) throw std::runtime_error("'" + paramsFile + "': its parameter set makes no PSDU");
  }
  const analyze::CaptureSource src(file, sampleRate, format);
  const std::string rateWhy = capture_rate_problem(src.sample_rate());
  if (!rateWhy.empty())
    throw std::runtime_error("'" + file + "': a sample rate of " + num("%g", src.sample_rate()) + " Hz is " + rateWhy);
  if (std::abs(o.centerOffsetHz) >= src.sample_rate() / 2)
    throw UsageError("--center-offset " + num("%g", o.centerOffsetHz) + ": outside the capture's band of +-" +
                     num("%g", src.sample_rate() / 2) + " Hz");
  if (o.carrierHz == 0) o.carrierHz = src.carrier_hz();
  std::function<void(size_t, size_t)> progress;
  if (isatty(2) == 1)
    progress = [](size_t done, size_t total) {
      std::fprintf(stderr, "\rscanned %.0f %%\x1b[K", 100.0 * static_cast<double>(done) / static_cast<double>(total));
      if (done == total) std::fputs("\r\x1b[K", stderr);
      std::fflush(stderr);
    };
  const analyze::Analysis an = analyze::analyze_capture(src, o, progress);

  std::vector<verify::PacketCheck> checks;
  for (const auto& p : an.packets) checks.push_back(p.check);
  const verify::Summary sum = verify::summarize(checks);
  const std::string note = analyze::analysis_note(an);
  const bool pass = analyze::analysis_pass(an);
  const double seconds = static_cast<double>(an.samples) / an.sampleRate;
  if (json) {
    const nlohmann::json j = analyze::analysis_json(an, o, file, src.kind());
    std::cout << j.dump(2) << "\n";
  } else {
    std::cout << file << ": " << src.kind() << ", " << an.samples << " samples (" << num("%.6f", seconds) << " s) at "
              << num("%g", an.sampleRate / 1e6) << " MHz; noise floor " << level(an.scan.floorDb)
              << ", bursts at " << level(an.scan.peakDb) << "; " << an.scan.bursts.size() << " bursts\n";
    for (const auto& p : an.packets) {
      std::string line = verify::packet_line(p.check);
      const size_t nl = line.find('\n');
      std::string extra = num("  at %.6f s", p.seconds);
      if (!p.foreign) extra += num(", decoded at %g MHz", p.rxRate / 1e6);
      line.insert(nl == std::string::npos ? line.size() : nl, extra);
      std::cout << line << "\n";
      if (const std::string r = analyze::ramps_text(p.check); !r.empty()) std::cout << r << "\n";
      if (const std::string e = analyze::evm_rows_text(p.evm, rows); !e.empty()) std::cout << e << "\n";
      if (p.bitErrors >= 0)
        std::cout << "    bit errors: " << p.bitErrors << " of " << p.bitsCompared << " bits against the payload\n";
    }
    std::cout << (checks.empty() ? std::string("no packet found") : verify::summary_text(sum)) << "\n";
    if (!note.empty()) std::cout << "note: " << note << "\n";
  }
  return pass ? kExitOk : kExitFailure;
}

}  // namespace

TARVIO_CLI_COMMAND({"analyze", "find, decode and check the IEEE 802.11 packets of a captured signal", kUsage,
                    &run_analyze});

}  // namespace tarvio::cli
