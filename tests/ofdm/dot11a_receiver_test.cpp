// Decodes generated 802.11a packets with an independent receiver written from
// IEEE 802.11a-1999 clause 17 (receiver/ofdm_rx.py): every rate, oversampling
// 1, 2 and 4, unfiltered and root-raised-cosine filtered, two scrambler seeds,
// short and long packets with a valid FCS, and a mirrored spectrum.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>

#include "dsp/filter_design.h"
#include "mac/fcs.h"
#include "ofdm/dot11a_frame.h"
#include "runtime/matfile.h"

namespace tarvio {
namespace {

namespace fs = std::filesystem;

struct RateRow {
  double rate, modulation, encoderRate;
};
// IEEE 802.11a Table 78: data rate, bits per subcarrier, coding rate.
const RateRow kRates[] = {{6, 1, 0.5},  {9, 1, 0.75},  {12, 2, 0.5},     {18, 2, 0.75},
                          {24, 3, 0.5}, {36, 3, 0.75}, {48, 4, 2.0 / 3}, {54, 4, 0.75}};
const double kWindowLength = 2;

struct RxCase {
  int rate_index = 0;
  double os = 1;
  double filter_type = 0;
  size_t octets = 200;  // PSDU octets including the FCS
  double seed = 93;
  double mirror = 0;
};

std::string describe(const RxCase& c) {
  std::ostringstream s;
  s << kRates[c.rate_index].rate << " Mbit/s, OS " << c.os << ", filter " << c.filter_type << ", " << c.octets
    << " octets, seed " << c.seed << ", mirror " << c.mirror;
  return s.str();
}

// Random octets (fixed seed), each sent LSB first, followed by their FCS.
Bits psdu_with_fcs(size_t octets, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_int_distribution<int> octet(0, 255);
  Bits bits;
  for (size_t i = 0; i + 4 < octets; ++i) {
    const int v = octet(gen);
    for (int b = 0; b < 8; ++b) bits.push_back(static_cast<uint8_t>((v >> b) & 1));
  }
  const Bits fcs = Dot11_CalcMACfcs(bits);
  bits.insert(bits.end(), fcs.begin(), fcs.end());
  return bits;
}

RVec all_subcarriers() {
  RVec m(53, 1.0);
  m[26] = 0;
  return m;
}

const double kFilterSymbols = 16;

RVec filter_taps(const RxCase& c) { return GenFilterCoeffs(c.filter_type, kFilterSymbols, 0.5, c.os, {}); }

Frame generate(const RxCase& c, const Bits& psdu) {
  const RateRow& r = kRates[c.rate_index];
  return Dot11a_FRAME(1, psdu, 0, r.rate, r.modulation, r.encoderRate, 1, c.seed, 1, all_subcarriers(), c.os,
                      kWindowLength, 400 * c.os, c.filter_type, 0.5, kFilterSymbols * c.os, c.mirror, 0,
                      filter_taps(c));
}

// The frame filter is applied circularly and the frame then advanced by
// floor(L/2) samples. That removes the delay of a centred filter (root raised
// cosine, delay (L-1)/2); the unit impulse of filter type 0 sits at tap 0 and
// has no delay, so there the whole burst starts floor(L/2) samples before
// marker 2 rises, its first samples wrapping to the end of the waveform.
double marker_lead(const RxCase& c) {
  const double L = static_cast<double>(filter_taps(c).size());
  const double delay = c.filter_type == 0 ? 0 : (L - 1) / 2;
  return round_half_away(std::floor(L / 2) - delay);
}

struct RxResult {
  int status = -1;  // the receiver's exit status
  std::map<std::string, std::string> info;
  Bits psdu;
  std::string log;
};

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "ofdm_rx_XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("cannot create a temporary folder");
    path_ = tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    if (!keep) fs::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }
  bool keep = false;

 private:
  fs::path path_;
};

const std::string kPython = "/usr/bin/python3";
const std::string kReceiver = std::string(TARVIO_SOURCE_DIR) + "/tests/ofdm/receiver/ofdm_rx.py";

bool python_ready() {
  static const bool ok = std::system((kPython + " -c 'import numpy, scipy.io' > /dev/null 2>&1").c_str()) == 0;
  return ok;
}

// Writes the MAT file the receiver reads, runs it and collects its results.
RxResult run_receiver(const TempDir& dir, const Frame& f, double os, const Bits& sent, double mirror_flag,
                      double lead) {
  const fs::path mat = dir.path() / "packet.mat";
  const fs::path out = dir.path() / "decoded.txt";
  const fs::path log = dir.path() / "log.txt";
  mat_write(mat.string(), {{"waveform", Value::complex_row(f.waveform)},
                           {"oversampling", Value(os)},
                           {"psdu", Value::row(sent)},
                           {"mirrorSpectrum", Value(mirror_flag)},
                           {"markers", Value::markers(f.markers)},
                           {"windowLength", Value(kWindowLength)},
                           {"markerLead", Value(lead)}});
  const std::string cmd = kPython + " " + kReceiver + " " + mat.string() + " " + out.string() + " 2> " + log.string();
  const int rc = std::system(cmd.c_str());
  RxResult res;
  res.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  std::ifstream logf(log);
  std::getline(logf, res.log);
  std::ifstream in(out);
  std::string line;
  if (std::getline(in, line)) {
    std::istringstream words(line);
    std::string w;
    while (words >> w) {
      const auto eq = w.find('=');
      if (eq != std::string::npos) res.info[w.substr(0, eq)] = w.substr(eq + 1);
    }
  }
  if (std::getline(in, line))
    for (char ch : line) res.psdu.push_back(static_cast<uint8_t>(ch == '1'));
  return res;
}

std::string seed_bits(int seed, bool reversed) {
  std::string s;
  for (int i = 6; i >= 0; --i) s += ((seed >> i) & 1) ? '1' : '0';
  return reversed ? std::string(s.rbegin(), s.rend()) : s;
}

// The receiver reports the scrambler cells x^1..x^7 it recovered from the
// SERVICE field; the seed's numeric bit order is the generator's own choice.
bool state_is_seed(const std::string& state, double seed) {
  const int s = static_cast<int>(seed);
  return state == seed_bits(s, false) || state == seed_bits(s, true);
}

void expect_decoded(const RxCase& c) {
  if (!python_ready()) GTEST_SKIP() << kPython << " lacks numpy or scipy";
  SCOPED_TRACE(describe(c));
  const Bits sent = psdu_with_fcs(c.octets, static_cast<unsigned>(c.rate_index * 7 + c.octets));
  const Frame f = generate(c, sent);
  TempDir dir;
  RxResult r = run_receiver(dir, f, c.os, sent, c.mirror, marker_lead(c));
  dir.keep = r.status != 0;
  EXPECT_EQ(r.status, 0) << r.log << " (files kept in " << dir.path() << ")";
  EXPECT_EQ(r.psdu, sent);
  EXPECT_EQ(r.info["rate"], std::to_string(static_cast<int>(kRates[c.rate_index].rate)));
  EXPECT_EQ(r.info["length"], std::to_string(c.octets));
  EXPECT_EQ(r.info["reserved"], "0");
  EXPECT_TRUE(state_is_seed(r.info["state"], c.seed)) << "recovered scrambler state " << r.info["state"];
  // A clean, unfiltered generator leaves only the receiver's decimation error.
  if (c.filter_type == 0 && r.info.count("evm_db")) {
    EXPECT_LT(std::stod(r.info["evm_db"]), -40.0);
  }
}

class Dot11aReceiver : public ::testing::TestWithParam<std::tuple<int, double, double>> {};

TEST_P(Dot11aReceiver, DecodesThePsduWithAValidFcs) {
  const auto [rate_index, os, filter] = GetParam();
  RxCase c;
  c.rate_index = rate_index;
  c.os = os;
  c.filter_type = filter;
  // Vary length and seed across the grid so that every rate meets each
  // length with each seed.
  const int os_index = os == 1 ? 0 : (os == 2 ? 1 : 2);
  const int filter_index = filter == 0 ? 0 : 1;
  c.octets = (rate_index + os_index + filter_index) % 2 ? 1500 : 200;
  c.seed = (rate_index + filter_index) % 2 ? 37 : 93;
  expect_decoded(c);
}

INSTANTIATE_TEST_SUITE_P(AllRates, Dot11aReceiver,
                         ::testing::Combine(::testing::Range(0, 8), ::testing::Values(1.0, 2.0, 4.0),
                                            ::testing::Values(0.0, 2.0)),
                         [](const auto& p) {
                           return std::to_string(static_cast<int>(kRates[std::get<0>(p.param)].rate)) + "Mbps_OS" +
                                  std::to_string(static_cast<int>(std::get<1>(p.param))) + "_filter" +
                                  std::to_string(static_cast<int>(std::get<2>(p.param)));
                         });

TEST(Dot11aReceiverMirror, MirroredSpectrumDecodesAfterConjugation) {
  RxCase c;
  c.rate_index = 5;
  c.os = 2;
  c.filter_type = 2;
  c.seed = 37;
  c.mirror = 1;
  expect_decoded(c);
}

// The receiver must be able to fail: a mirrored waveform read as unmirrored,
// and a PSDU that differs from what was sent in one bit.
TEST(Dot11aReceiverChecks, RejectsWrongSpectrumOrientationAndWrongBits) {
  if (!python_ready()) GTEST_SKIP() << kPython << " lacks numpy or scipy";
  RxCase c;
  c.rate_index = 4;
  c.os = 2;
  c.mirror = 1;
  const Bits sent = psdu_with_fcs(c.octets, 5);
  const Frame f = generate(c, sent);
  TempDir dir;
  EXPECT_NE(run_receiver(dir, f, c.os, sent, 0, marker_lead(c)).status, 0);

  Bits other = sent;
  other[100] ^= 1;
  const RxResult r = run_receiver(dir, f, c.os, other, 1, marker_lead(c));
  EXPECT_EQ(r.status, 4) << r.log;
  EXPECT_EQ(r.psdu, sent);
}

}  // namespace
}  // namespace tarvio
