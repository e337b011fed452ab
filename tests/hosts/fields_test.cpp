// The field reference: every field described, every default inside its own
// rule, docs/parameters.md current with the field list, and the questions a
// newcomer asks answered by tarvio-cli fields.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "hosts/cli/field_reference.h"
#include "hosts/cli_run.h"
#include "records/state.h"

using namespace tarvio;
using namespace tarvio::testing;

namespace {

TEST(FieldReference, EveryFieldIsDescribedAndItsDefaultKeepsItsRule) {
  for (const auto& r : cli::reference_records()) {
    for (const FieldEntry& e : r.fields) {
      EXPECT_NE(std::string(e.info.meaning), "") << r.name << "." << e.path;
      const bool free_text = e.value.is_text() && !e.info.rule.texts;
      if (!e.is_record && !e.info.derived && !free_text) {
        EXPECT_NE(std::string(e.info.values), "") << r.name << "." << e.path;
      }
    }
  }
  // The defaults themselves (a calculation's starting point) pass every rule.
  const auto records = cli::reference_records();
  EXPECT_NO_THROW(check_fields(state().parameters, "parameters"));
  EXPECT_NO_THROW(check_fields(state().sigGenSettings, "SigGenSettings"));
  EXPECT_NO_THROW(check_fields(state().configuration, "configuration"));
}

TEST(FieldReference, DocsParametersIsCurrent) {
  std::ifstream in(std::string(TARVIO_SOURCE_DIR) + "/docs/parameters.md");
  std::stringstream ss;
  ss << in.rdbuf();
  const CliResult r = run_cli({"fields", "--markdown"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(r.out == ss.str()) << "docs/parameters.md differs from the field list: run scripts/gen-docs";
}

TEST(FieldReference, NewcomerQuestions) {
  struct Case {
    const char* query;
    std::vector<const char*> answer;
  } cases[] = {
      {"PN9", {"parameters.dataSourceType = 1", "5 = PN9"}},
      {"FilterType", {"parameters.FilterType = 1", "2 = root raised cosine, FilterFactor = roll-off alpha"}},
      {"OverSampling", {"parameters.OverSampling = 4", "format 1: whole number 1 to 100"}},
      {"configuration.RS232", {"configuration.RS232.handshake = \"Xon/Xoff\"", "\"RTS/CTS\" (hardware)"}},
  };
  for (const Case& c : cases) {
    const CliResult r = run_cli({"fields", c.query});
    EXPECT_EQ(r.code, 0) << c.query << "\n" << r.err;
    for (const char* part : c.answer) EXPECT_TRUE(has(r.out, part)) << c.query << " lacks " << part << "\n" << r.out;
  }
  const CliResult none = run_cli({"fields", "no-such-thing"});
  EXPECT_EQ(none.code, 1);
  EXPECT_TRUE(has(none.err, "no field matches 'no-such-thing'")) << none.err;
}

}  // namespace
