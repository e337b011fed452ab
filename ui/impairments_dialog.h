// The impairments dialog: an entry per field of the `Impairments` record
// (noise, carrier, clock, IQ, DC, phase noise, PA, clipping, seed), each
// with the field's unit in its label and its meaning and range as tool tip.
// Entry rules, read from the record's field list: a number out of range is
// clamped to the nearer limit, "Inf" (or "-Inf" for the DC offsets) switches
// the impairment off, text that is not a number keeps the previous value; a
// whole-number field is rounded; the CFO also stays below half the
// waveform's sample rate and the noise bandwidth at or above 1/200 of it. The phase-noise entry takes the (offset
// Hz, dBc/Hz) pairs separated by blanks or commas; a profile that is not
// pairs in rising order keeps the previous one. Each entry is written back
// as stored. "All Off" switches everything off (the seed stays).
#pragma once

#include <functional>
#include <string>

#include "records/impairments.h"
#include "ui/commands.h"
#include "ui/dialog.h"

namespace tarvio::ui {

class ImpairmentsDialog : public Dialog {
 public:
  using Done = std::function<void(const std::string& answer, const Impairments& impairments)>;
  ImpairmentsDialog();
  // `sample_rate` (Hz) gives the phase-noise profile's integrated error.
  void open(const Impairments& start, double sample_rate, Done done);
  void InitializeFigure();
  std::vector<Value> command(const std::string& name, const Args& args);
  const Impairments& working() const { return working_; }

 private:
  void redraw_controls() override;
  Impairments working_;
  double sample_rate_ = 20e6;
  CommandSet commands_;
};

// The main window's note of the impairments in force: "Impairments on: "
// and the names of those switched on, or empty when none is.
std::string impairments_status(const Impairments& m);

}  // namespace tarvio::ui
