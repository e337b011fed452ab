// The other waveform outputs: the raw 16-bit file (byte values from the
// documented scaling rule), the Save Wave MAT file, the special save in its
// three forms, exportVector, the SigMF recording, and an outside reader
// (Python with numpy and scipy) decoding the raw, export and Save Wave files.
#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>

#include "files/mat_outputs.h"
#include "files/raw_waveform.h"
#include "files/waveform_outputs.h"
#include "packet_fixture.h"
#include "runtime/matfile.h"
#include "runtime/registry.h"
#include "runtime/report.h"

namespace tarvio::testing_files {
namespace {

using OutputsTest = PacketFixture;

std::vector<uint16_t> words_of(const std::string& path) {
  const auto b = bytes_of(path);
  std::vector<uint16_t> w(b.size() / 2);
  for (size_t k = 0; k < w.size(); ++k) w[k] = uint16_t(b[2 * k] << 8 | b[2 * k + 1]);
  return w;
}

struct RawCase {
  const char* name;
  CVec wave;
  std::vector<uint16_t> words;  // I1 Q1 I2 Q2 ...
};
void PrintTo(const RawCase& c, std::ostream* os) { *os << c.name; }

class RawFileTest : public ::testing::TestWithParam<RawCase> {};

TEST_P(RawFileTest, WordsFollowTheScalingRule) {
  const auto dir =
      fs::temp_directory_path() / (std::string("tarvio_raw_") + std::to_string(::getpid()) + "_" + GetParam().name);
  const std::string path = dir.string();
  ASSERT_TRUE(SaveBriscaWaveform(GetParam().wave, path));
  EXPECT_EQ(words_of(path), GetParam().words);
  fs::remove(path);
}

INSTANTIATE_TEST_SUITE_P(Cases, RawFileTest,
                         ::testing::Values(
                             // Peak 0.25 -> 32768 + 32766 = 65534 (FF FE); zero -> 32768 (80 00); -0.25 -> 2.
                             RawCase{"peak", {{0.25, 0.0}, {-0.25, 0.125}}, {0xFFFE, 0x8000, 0x0002, 0x8000 + 16383}},
                             // Every component of magnitude 2: not scaled, rounded as is.
                             RawCase{"equal", {{2, -2}, {-2, 2}}, {32770, 32766, 32766, 32770}},
                             // Halves round away from zero after scaling by 32766 / 1.
                             RawCase{"halves", {{1, 0.5 / 32766}, {-1.5 / 32766, 0}}, {65534, 32769, 32766, 32768}}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(RawFile, FirstBytesAreHighByteFirst) {
  const std::string path = (fs::temp_directory_path() / ("tarvio_raw_bytes_" + std::to_string(::getpid()))).string();
  ASSERT_TRUE(SaveBriscaWaveform({{0.25, 0.0}}, path, "any model", 1));
  EXPECT_EQ(bytes_of(path), (std::vector<uint8_t>{0xFF, 0xFE, 0x80, 0x00}));
  fs::remove(path);
}

TEST(RawFile, UnwritableFileReturnsZeroAndLeavesNothing) {
  EXPECT_FALSE(SaveBriscaWaveform({{0.1, 0.1}}, "/nonexistent-folder/x.bin"));
}

TEST_F(OutputsTest, RegisteredSaveBriscaWaveformReturnsOneOrZero) {
  const Value wave = Value::complex_row({{0.25, 0}, {0, -0.25}});
  EXPECT_EQ(Registry::instance().call("saveBriscaWaveform", {wave, Value::text(file("op.bin"))}, 1)[0].to_double(), 1);
  EXPECT_EQ(bytes_of(file("op.bin")), (std::vector<uint8_t>{0xFF, 0xFE, 0x80, 0x00, 0x80, 0x00, 0x00, 0x02}));
  const Value half = Registry::instance().call(
      "saveBriscaWaveform", {wave, Value::text(file("half.bin")), Value::text("KOR-C"), Value(0.5)}, 1)[0];
  EXPECT_EQ(half.to_double(), 1);
  EXPECT_EQ(bytes_of(file("half.bin"))[0], 0xBF);  // 32768 + 32766 * 0.5 = 49151 = 0xBFFF
  EXPECT_EQ(
      Registry::instance().call("saveBriscaWaveform", {wave, Value::text("/nonexistent-folder/x")}, 1)[0].to_double(),
      0);
}

TEST_F(OutputsTest, StreamedRawFileEqualsTheInMemoryOneOverAllPackets) {
  WriteRawWaveform(file("stream.bin"));
  ASSERT_TRUE(SaveBriscaWaveform(reference_, file("memory.bin")));
  EXPECT_EQ(bytes_of(file("stream.bin")), bytes_of(file("memory.bin")));
  EXPECT_EQ(bytes_of(file("stream.bin")).size(), 4 * kPkt * kPackets);
}

TEST_F(OutputsTest, SaveWaveHoldsSamplePointsRateAndWave) {
  WriteSaveWave(file("wave.mat"));
  const MatVars vars = mat_read(file("wave.mat"));
  ASSERT_EQ(vars.size(), 3u);
  EXPECT_EQ(vars[0].first, "samplePoints");
  EXPECT_EQ(vars[0].second.rows(), kPkt * kPackets);
  EXPECT_EQ(vars[0].second.cols(), 2u);
  EXPECT_EQ(vars[1].first, "sampleRate");
  EXPECT_EQ(vars[1].second.to_double(), 44e6);
  EXPECT_EQ(vars[2].first, "wave");
  EXPECT_EQ(vars[2].second.to_complex(), reference_);
  const std::vector<double> pts = vars[0].second.to_reals();
  for (size_t k = 0; k < reference_.size(); ++k) {
    ASSERT_EQ(pts[k], reference_[k].real());
    ASSERT_EQ(pts[reference_.size() + k], reference_[k].imag());
  }
}

TEST_F(OutputsTest, SaveWaveCommandReportsErrorsWithTheFileName) {
  auto rec = std::make_shared<RecordingReporter>();
  auto old = set_reporter(rec);
  EXPECT_FALSE(SaveWaveCommand("/nonexistent-folder/w.mat"));
  set_reporter(old);
  ASSERT_EQ(rec->messages.size(), 1u);
  EXPECT_EQ(rec->messages[0].title, "Error Saving /nonexistent-folder/w.mat");
  EXPECT_TRUE(rec->messages[0].modal);
}

struct SpecialCase {
  const char* answer;
  size_t rows, cols;  // shape of `samples`; 0 x 0: no MAT file
  bool complex;
};
void PrintTo(const SpecialCase& c, std::ostream* os) { *os << c.answer; }

class SpecialSaveTest : public PacketFixture, public ::testing::WithParamInterface<SpecialCase> {};

TEST_P(SpecialSaveTest, AnswerPicksTheFormat) {
  const SpecialCase& c = GetParam();
  const std::string path = file("special");
  const bool written = SpecialSave(path, c.answer);
  const std::string a = c.answer;
  if (a == "Cancel") {
    EXPECT_FALSE(written);
    EXPECT_EQ(entries(), fixture_entries());
  } else if (a == "Brisca") {
    EXPECT_TRUE(written);
    EXPECT_EQ(bytes_of(path).size(), 4 * kPkt);  // the last packet's waveform
  } else {
    EXPECT_TRUE(written);
    const Value v = mat_read_var(path, "samples");
    EXPECT_EQ(v.rows(), c.rows);
    EXPECT_EQ(v.cols(), c.cols);
    EXPECT_EQ(v.kind() == Value::Kind::Complex, c.complex);
  }
}

INSTANTIATE_TEST_SUITE_P(Answers, SpecialSaveTest,
                         ::testing::Values(SpecialCase{"ASCII", 120, 2, false}, SpecialCase{"MAT", 120, 1, true},
                                           SpecialCase{"Brisca", 0, 0, false}, SpecialCase{"Cancel", 0, 0, false}),
                         [](const auto& p) { return std::string(p.param.answer); });

TEST_F(OutputsTest, SpecialSaveBriscaFailureShowsErrorSaving) {
  auto rec = std::make_shared<RecordingReporter>();
  auto old = set_reporter(rec);
  EXPECT_FALSE(SpecialSave("/nonexistent-folder/s.bin", "Brisca"));
  set_reporter(old);
  ASSERT_EQ(rec->messages.size(), 1u);
  EXPECT_EQ(rec->messages[0].text.rfind("Error Saving /nonexistent-folder/s.bin", 0), 0u) << rec->messages[0].text;
}

TEST_F(OutputsTest, ExportVectorNamesTheFileAfterTheRate) {
  const std::string path = exportVector(dir_.string());
  EXPECT_EQ(fs::path(path).filename(), "new_5.5");
  const MatVars vars = mat_read(path);
  ASSERT_EQ(vars.size(), 3u);
  EXPECT_EQ(vars[0].first, "parameters");
  EXPECT_EQ(vars[1].second.to_complex(), state().waveform);
  EXPECT_EQ(vars[2].second.rows(), 2u);
}

TEST_F(OutputsTest, SigmfMetaAndDataDescribeEveryPacket) {
  const std::string base = file("rec");
  WriteSigmf(base);
  EXPECT_EQ(entries(), with_fixture({"rec.sigmf-data", "rec.sigmf-meta"}));
  const auto data = bytes_of(base + ".sigmf-data");
  ASSERT_EQ(data.size(), 8 * kPkt * kPackets);
  for (size_t k = 0; k < reference_.size(); ++k) {
    uint32_t bi = 0, bq = 0;
    for (int b = 3; b >= 0; --b) {
      bi = bi << 8 | data[8 * k + size_t(b)];
      bq = bq << 8 | data[8 * k + 4 + size_t(b)];
    }
    ASSERT_EQ(std::bit_cast<float>(bi), float(reference_[k].real()));
    ASSERT_EQ(std::bit_cast<float>(bq), float(reference_[k].imag()));
  }
  const auto text = bytes_of(base + ".sigmf-meta");
  const nlohmann::json meta = nlohmann::json::parse(text.begin(), text.end());
  EXPECT_EQ(meta["global"]["core:datatype"], "cf32_le");
  EXPECT_EQ(meta["global"]["core:sample_rate"], 44e6);
  EXPECT_EQ(meta["global"]["core:version"], "1.0.0");
  const std::string desc = meta["global"]["core:description"];
  EXPECT_NE(desc.find("44000000"), std::string::npos) << desc;
  EXPECT_NE(desc.find("cf32_le"), std::string::npos) << desc;
  ASSERT_EQ(meta["captures"].size(), 1u);
  EXPECT_EQ(meta["captures"][0]["core:sample_start"], 0);
  EXPECT_EQ(meta["captures"][0]["core:frequency"], 2.412e9);
  ASSERT_EQ(meta["annotations"].size(), kPackets);
  for (size_t p = 0; p < kPackets; ++p) {
    EXPECT_EQ(meta["annotations"][p]["core:sample_start"], p * kPkt + kBurstStart);
    EXPECT_EQ(meta["annotations"][p]["core:sample_count"], kBurstEnd - kBurstStart);
  }
}

TEST_F(OutputsTest, OutputsNeedACalculatedWaveform) {
  state().parameters.multiFrame.pktSize = 0;
  EXPECT_THROW(WriteRawWaveform(file("x.bin")), std::runtime_error);
  EXPECT_THROW(WriteSigmf(file("x")), std::runtime_error);
  EXPECT_THROW(WriteExportFile(file("x.wfm")), std::runtime_error);
  EXPECT_EQ(entries(), fixture_entries());
}

TEST_F(OutputsTest, PythonDecodesRawExportAndSaveWaveFromTheirLayouts) {
  ASSERT_TRUE(fs::exists("/usr/bin/python3"));
  {
    std::ofstream ref(file("ref.f64"), std::ios::binary);
    for (const cplx& c : reference_)
      for (double x : {c.real(), c.imag()}) {
        const uint64_t b = std::bit_cast<uint64_t>(x);
        for (int k = 0; k < 8; ++k) ref.put(char(uint8_t(b >> (8 * k))));
      }
  }
  WriteRawWaveform(file("raw.bin"));
  WriteExportFile(file("exp.wfm"));
  WriteSaveWave(file("wave.mat"));
  const std::string cmd = "/usr/bin/python3 " + std::string(TARVIO_SOURCE_DIR) + "/tests/files/read_outputs.py " +
                          file("ref.f64") + " " + file("raw.bin") + " " + file("exp.wfm") + " " + file("wave.mat") +
                          " > " + file("py.txt") + " 2>&1";
  const int rc = std::system(cmd.c_str());
  const auto out = bytes_of(file("py.txt"));
  EXPECT_EQ(rc, 0) << std::string(out.begin(), out.end());
  EXPECT_NE(std::string(out.begin(), out.end()).find("ok"), std::string::npos);
}

TEST_F(OutputsTest, OctaveLoadsTheSaveWaveFile) {
  if (std::system("command -v octave > /dev/null 2>&1") != 0) GTEST_SKIP() << "octave is not installed";
  WriteSaveWave(file("wave.mat"));
  const std::string cmd =
      "cd " + dir_.string() +
      " && octave --no-gui --norc --quiet --eval \"load('wave.mat'); "
      "assert(size(samplePoints), [360 2]); assert(sampleRate, 44e6); "
      "assert(numel(wave), 360); assert(real(wave(:)), samplePoints(:,1)); disp('ok')\" > oct.txt 2>&1";
  const int rc = std::system(cmd.c_str());
  const auto out = bytes_of(file("oct.txt"));
  EXPECT_EQ(rc, 0) << std::string(out.begin(), out.end());
}

}  // namespace
}  // namespace tarvio::testing_files
