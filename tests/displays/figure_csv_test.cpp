// CSV export of figures: column naming with units, shared x columns, empty
// cells for a shorter trace, numbers that read back exactly.
#include "displays/figure_csv.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "displays/ccdf.h"
#include "displays/iq_time.h"
#include "displays/spectrum.h"
#include "file_size_limit.h"

namespace tarvio {
namespace {

std::vector<std::string> lines(const Figure& f) {
  std::ostringstream out;
  write_figure_csv(f, out);
  std::istringstream in(out.str());
  std::vector<std::string> v;
  for (std::string l; std::getline(in, l);) v.push_back(l);
  return v;
}

TEST(FigureCsv, EveryPointUnderNamedColumns) {
  const std::vector<std::string> s = lines(spectrum_figure(CVec(4, cplx(1, 0)), 8e6, "T"));
  ASSERT_EQ(s.size(), 5u);
  EXPECT_EQ(s[0], "Frequency (MHz),LogMag (dB)");
  EXPECT_EQ(s[1].substr(0, 3), "-4,");  // -4 MHz, a zero bin near -200 dB
  EXPECT_EQ(s[3], "0,0");

  // I and Q on separate axes share the time column.
  const std::vector<std::string> iq = lines(iq_time_figure(CVec{cplx(0.1, -0.2), cplx(0.3, 0.4)}, 1e6, "T", false));
  ASSERT_EQ(iq.size(), 3u);
  EXPECT_EQ(iq[0], "Time (uS),I (mV),Q (mV)");
  EXPECT_EQ(iq[2], "1,300,400");

  // The measured CCDF curve is shorter than the reference: empty cells.
  const std::vector<std::string> c = lines(ccdf_figure(CVec(8, cplx(1, 0)), "T"));
  ASSERT_EQ(c.size(), 202u);
  EXPECT_EQ(c[0], "dB above Average,Measured (%),Gaussian real (%)");
  EXPECT_EQ(c[1].substr(0, 6), "0,100,");
  EXPECT_EQ(c[3].substr(0, 5), "0.2,,");
}

TEST(FigureCsv, TracesWithTheirOwnXValuesAndQuotedNames) {
  Figure f;
  Axes a;
  a.xlabel = "t, s";
  a.traces.push_back(uniform_trace("a", {0.1, 1.0 / 3}, 0, 1));
  a.traces.push_back(uniform_trace("b", {5}, 10, 1));
  f.axes.push_back(a);
  const std::vector<std::string> v = lines(f);
  ASSERT_EQ(v.size(), 3u);
  EXPECT_EQ(v[0], "\"t, s\",a,\"t, s\",b");
  EXPECT_EQ(v[1], "0,0.1,10,5");
  EXPECT_EQ(v[2], "1,0.3333333333333333,,");
  EXPECT_EQ(lines(Figure{}), std::vector<std::string>{""});
}

TEST(FigureCsv, AFailedWriteKeepsTheOldFileAndLeavesNothingElse) {
  namespace fs = std::filesystem;
  std::string templ = (fs::temp_directory_path() / "tarvio-csv-XXXXXX").string();
  ASSERT_NE(::mkdtemp(templ.data()), nullptr);
  const fs::path dir = templ;
  const std::string path = (dir / "f.csv").string();
  std::ofstream(path) << "old";
  std::string error;
  try {
    testing::FileSizeLimit limit(1000);  // a full disk
    write_figure_csv(ccdf_figure(CVec(64, cplx(1, 0)), "T"), path);
  } catch (const std::runtime_error& e) {
    error = e.what();
  }
  EXPECT_NE(error.find("cannot write '" + path + "': File too large"), std::string::npos) << error;
  std::ifstream in(path);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace tarvio
