// The MAC header dialog (figMACconfig): one row per header field in header
// order, a check box "chk" + field name that includes or excludes the field
// and a hexadecimal text box "txt" + field name holding its value. The
// working copy is the program-wide MAChdr; every change rebuilds its bit
// stream.
#pragma once

#include <functional>

#include "records/records.h"
#include "ui/commands.h"
#include "ui/dialog.h"

namespace tarvio::ui {

class MacHeaderDialog : public Dialog {
 public:
  using Done = std::function<void(const std::string& answer, const MacHeader& header)>;
  MacHeaderDialog();
  // Opens on a copy of `start`; `done` gets the answer and the edited header.
  void open(const MacHeader& start, Done done);
  // The field names in row order.
  static const std::vector<std::string>& fields();
  // The set-up run once when the window set is built: the tool tips.
  void InitializeFigure();
  std::vector<Value> command(const std::string& name, const Args& args);

 private:
  void redraw_controls() override;
  void redraw_row(const std::string& field);
  // The field callback: the tag's first three letters say which control,
  // the rest names the field.
  void Field_Callback(const std::string& tag);
  CommandSet commands_;
};

}  // namespace tarvio::ui
