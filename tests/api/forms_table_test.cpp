// The generated calling forms were made from every registration, with the
// declared counts and variable-list marks of the operation table.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "runtime/registry.h"

extern "C" {
struct tarvio_form_info {
  const char* name;
  int nin, nout, variable;
};
extern const struct tarvio_form_info tarvio_form_table[];
extern const int tarvio_form_count;
}

namespace tarvio {
namespace {

TEST(FormsTable, MatchesTheOperationTable) {
  std::map<std::string, const tarvio_form_info*> forms;
  for (int k = 0; k < tarvio_form_count; ++k) forms[tarvio_form_table[k].name] = &tarvio_form_table[k];
  const std::vector<std::string> names = Registry::instance().names();
  EXPECT_EQ(forms.size(), names.size());
  for (const std::string& n : names) {
    const OpInfo* op = Registry::instance().find(n);
    auto it = forms.find(n);
    ASSERT_NE(it, forms.end()) << n << " has no calling forms";
    EXPECT_EQ(it->second->nin, op->max_in) << n;
    EXPECT_EQ(it->second->nout, op->max_out) << n;
    EXPECT_EQ(it->second->variable != 0, op->variable) << n;
  }
}

}  // namespace
}  // namespace tarvio
