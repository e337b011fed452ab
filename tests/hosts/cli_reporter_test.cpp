// The progress lines of tarvio-cli: the library's status texts read as
// progress of calculation, transfer and file writing, and the line with
// packets, samples, elapsed time and time left.
#include "hosts/cli/cli_reporter.h"

#include <gtest/gtest.h>

namespace tarvio::cli {
namespace {

TEST(CliProgress, StatusTextsReadAsProgress) {
  struct Case {
    const char* status;
    double elapsed;
    const char* line;
  } cases[] = {
      // 10 packets of 1000 samples, 10000 projected.
      {"Creating frame 1 ...", 0, "Calculating: packet 1 of 10, 0 of 10000 samples, 0:00 elapsed"},
      {"Creating frame 6 ...", 10, "Calculating: packet 6 of 10, 5000 of 10000 samples, 0:10 elapsed, about 0:10 left"},
      {"Transferring waveform: 25% (12.5 of 50.0 MB)", 30,
       "Transferring: 25%, packet 3 of 10, 2500 of 10000 samples, 0:30 elapsed, about 1:30 left"},
      {"Writing samples 4000 of 10000", 3725,
       "Writing: packet 4 of 10, 4000 of 10000 samples, 1:02:05 elapsed, "
       "about 1:33:08 left"},
  };
  for (const Case& c : cases) {
    ProgressState p;
    ASSERT_TRUE(parse_status(c.status, 10, 1000, 10000, p)) << c.status;
    p.elapsed_s = c.elapsed;
    EXPECT_EQ(progress_text(p), c.line);
  }
  ProgressState p;
  EXPECT_FALSE(parse_status("Apply multipoint reflection", 10, 1000, 10000, p));
}

TEST(CliProgress, WindowTextsOnOneLine) {
  EXPECT_EQ(
      message_line({MessageKind::Error, "Calculation Error!",
                    "Calculation of this waveform is not \npossible because the filter size is to large. ", true}),
      "Calculation Error!: Calculation of this waveform is not possible because the filter size is to large.");
}

}  // namespace
}  // namespace tarvio::cli
