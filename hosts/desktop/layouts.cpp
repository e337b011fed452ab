// The layouts of the main window and the dialogs.
#include "hosts/desktop/layouts.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>

#include "hosts/desktop/window_binding.h"

namespace tarvio::desktop {

namespace {

using Rows = std::vector<LayoutRow>;

std::map<std::string, WindowLayout> make_layouts() {
  std::map<std::string, WindowLayout> m;

  m["figMain"] = {{{
                       {"Signal",
                        {{{"rbGenFrm", "rbGenUnFrm"}},
                         {{"lblDataRate", "pdDataRate"}},
                         {{"lblModulation", "pdModulation"}},
                         {{"lblPreambleFormat", "pdPreambleFormat"}},
                         {{"lblScrambler", "pdScrambler"}},
                         {{"lblIdleInterval", "txtIdleInterval"}},
                         {{"text19", "txtOversampleRate|pdSampleRate_pbcc33"}},
                         {{"chkMirrorSpectrum"}}}},
                       {"Baseband Filter",
                        {{{"text20", "pdFilterType"}},
                         {{"lblFilterFactor", "txtFilterFactor"}},
                         {{"lblFilterTaps", "txtFilterTaps"}}}},
                   },
                   {
                       {"Payload",
                        {{{"lblDATAsourceType", "pdDATAsourceType"}},
                         {{"lblDataLength", "txtDataLength"}},
                         {{"lblTotalLength", "txtTotalLength"}},
                         {{"chkMACheader", "pbMACheaderSetup"}},
                         {{"chkMACfcs"}}}},
                       {"Packets",
                        {{{"lblNumberOfPackets", "txtNumberOfPackets"}},
                         {{"chkSeqControl"}},
                         {{"lblSeqNumFreq", "txtSeqNumFreq"}},
                         {{"chkFragNum"}},
                         {{"radiobuttonPhading", "pushbuttonphadingsetup"}}}},
                   },
                   {
                       {"Signal Generator",
                        {{{"lblChannels", "pdChannels"}},
                         {{"lblFrequency", "txtFrequency", "pdFrequencyUnit"}},
                         {{"lblAmplitude", "txtAmplitude"}},
                         {{"lblTitle", "txtTitle"}},
                         {{"", "pbAdvanced"}}}},
                       {"DSSS / CCK / PBCC",
                        {{{"chkClkLocked", "chkEncoderActive"}},
                         {{"text59", "pdPowerRamp"}},
                         {{"text60", "txtRampTime", "text61"}},
                         {{"", "pbClkStructSetup"}}}},
                       {"OFDM",
                        {{{"text72", "pdEncoder"}},
                         {{"text73", "txtScramblerInit"}},
                         {{"text74", "txtWindowLength"}},
                         {{"text75", "txtServiceField"}},
                         {{"chkInterleaverActive", "pbSubCarriers"}}}},
                   }},
                  {"pbCalculate", "pbDownload", "pbRefresh", "", "txtNumberOfSamples", "txtEvent1", "txtEvent2"},
                  {"txtStatusBar", "txtImpairments"}};

  Rows mac;
  for (const char* f : {"FrameCntrl", "DurationID", "Address1", "Address2", "Address3", "SeqCntrl", "Address4"})
    mac.push_back({{std::string("chk") + f, std::string("txt") + f}});
  m["figMACconfig"] = {{{{"Header Fields", mac}}}, {"", "pbOK", "pbCancel"}, {}};

  Rows boxes;
  for (int k = 1; k <= 10; ++k) boxes.push_back({{"checkbox" + std::to_string(k)}});
  m["figCarriers"] = {{{{"Subcarriers", boxes, "scrollbar"}, {"", {{{"lblFastEdit", "pdFastEditCarriers"}}}}},
                       {{"", {{{"axCarriers"}}}}}},
                      {"", "pbOK", "pbCancel"},
                      {}};

  Rows paths = {{{"lblPath", "lblDelay", "lblAtten", "lblPhase"}}};
  for (int k = 1; k <= 12; ++k) {
    const std::string n = std::to_string(k);
    paths.push_back({{"chkState" + n, "txtDelay" + n, "txtAtten" + n, "txtPhase" + n}});
  }
  m["figPhading"] = {{{{"Reflected Paths", paths}}}, {"", "pbOK", "pbCancel"}, {}};

  m["figClkSwitch"] = {
      {{{"Clock Switch Bits", {{{"lblTail", "txtTail"}}, {{"lblHead", "txtHead"}}, {{"lblReSync", "txtReSync"}}}}}},
      {"", "pbOK", "pbCancel"},
      {}};

  m["figAdvSettings"] = {{{{"Playback",
                            {{{"lblSamplingRate", "txtSamplingRate", "pdSamplingRateUnit"}},
                             {{"lblBBfilter", "pdBBfilter"}},
                             {{"lblScaling", "txtScaling"}},
                             {{"lblModAtten", "txtModAtten", "chkModAttenAuto"}},
                             {{"lblArbRefSource", "pdArbRefSource"}},
                             {{"lblMarkerPolarity", "pdMarkerPolarity"}},
                             {{"chkRFblanking", "chkALC"}}}}}},
                         {"", "pbOK", "pbCancel"},
                         {}};

  m["figIOConfig"] = {{{{"", {{{"lblConnection", "pdConnection"}}}},
                        {"Settings",
                         {{{"lblGpibBoard", "pdGpibBoard"}},
                          {{"lblGpibPrimary", "pdGpibPrimary"}},
                          {{"lblGpibSecondary", "pdGpibSecondary"}},
                          {{"lblSerialPort", "pdSerialPort"}},
                          {{"lblBaudRate", "pdBaudRate"}},
                          {{"lblHandshake", "pdHandshake"}},
                          {{"lblAddress", "txtAddress"}},
                          {{"lblSdrArgs", "txtSdrArgs"}},
                          {{"lblSdrFrequency", "txtSdrFrequency"}},
                          {{"lblSdrGain", "txtSdrGain"}}}},
                        {"", {{{"pbCheck", "txtStatus"}}}}}},
                      {"", "pbOK", "pbCancel"},
                      {}};

  auto pair = [](const char* field) { return LayoutRow{{std::string("lbl") + field, std::string("txt") + field}}; };
  m["figImpairments"] = {
      {{{"Noise", {pair("SNR"), pair("NoiseBandwidth"), pair("Seed")}},
        {"Carrier and Clock", {pair("CFO"), pair("PhaseOffset"), pair("ClockPpm"), {{"", "chkLockedClocks"}}}},
        {"Phase Noise", {pair("PhaseNoise"), {{"", "txtPhaseNoiseRms"}}}}},
       {{"IQ Modulator", {pair("IQGain"), pair("IQPhase"), pair("IQSkew"), pair("DCOffsetI"), pair("DCOffsetQ")}},
        {"Power Amplifier", {pair("ClipPAPR"), pair("PASaturation"), pair("PASmoothness"), pair("PAAMPM")}}}},
      {"pbAllOff", "", "pbOK", "pbCancel"},
      {}};

  Rows lines;
  for (int k = 1; k <= 11; ++k) lines.push_back({{"lblLine" + std::to_string(k)}});
  m["figAbout"] = {{{{"", {{{"txtLogo"}}}}}, {{"", lines}}}, {"", "pbOK"}, {}};
  return m;
}

std::vector<std::string> split_cell(const std::string& cell) {
  std::vector<std::string> out;
  size_t from = 0;
  for (size_t bar; (bar = cell.find('|', from)) != std::string::npos; from = bar + 1)
    out.push_back(cell.substr(from, bar - from));
  out.push_back(cell.substr(from));
  return out;
}

// Hides a group box when the model hides every control in it.
class GroupVisibility : public QObject {
 public:
  GroupVisibility(WindowBinding& b, QWidget* box, std::vector<std::string> tags)
      : QObject(box), binding_(b), box_(box), tags_(std::move(tags)) {
    connect(&b, &WindowBinding::control_changed, this, [this](const QString&) { update(); });
    update();
  }

 private:
  void update() {
    bool any = false;
    for (const std::string& t : tags_) any = any || binding_.control_visible(t);
    box_->setHidden(!any);
  }
  WindowBinding& binding_;
  QWidget* box_;
  std::vector<std::string> tags_;
};

QWidget* make_group(const LayoutGroup& g, WindowBinding& b, QWidget* area, std::set<std::string>& placed,
                    std::vector<QWidget*>& order) {
  QWidget* box = g.title.empty() ? new QWidget(area) : new QGroupBox(QString::fromStdString(g.title), area);
  auto* grid = new QGridLayout(box);
  if (g.title.empty()) grid->setContentsMargins(0, 0, 0, 0);
  int width = 1;
  for (const LayoutRow& r : g.rows) width = std::max(width, int(r.cells.size()));
  std::vector<std::string> tags;
  int row = 0;
  for (const LayoutRow& r : g.rows) {
    for (size_t c = 0; c < r.cells.size(); ++c) {
      for (const std::string& tag : split_cell(r.cells[c])) {
        if (tag.empty()) continue;
        QWidget* w = b.widget(tag);
        if (!w) throw std::out_of_range("the layout names a control " + tag + " that the window does not have");
        // A single control spans the row; the last of a short row takes
        // the columns left.
        const bool last = c + 1 == r.cells.size();
        const int span = last ? width - int(c) : 1;
        grid->addWidget(w, row, int(c), 1, span);
        tags.push_back(tag);
        placed.insert(tag);
        order.push_back(w);
      }
    }
    ++row;
  }
  if (!g.side.empty()) {
    grid->addWidget(b.widget(g.side), 0, width, row, 1);
    tags.push_back(g.side);
    placed.insert(g.side);
    order.push_back(b.widget(g.side));
  }
  // The controls take the spare width; labels and units keep theirs.
  grid->setColumnStretch(std::min(1, width - 1), 1);
  new GroupVisibility(b, box, tags);
  return box;
}

}  // namespace

const WindowLayout& layout_of(const std::string& window_tag) {
  static const std::map<std::string, WindowLayout> layouts = make_layouts();
  return layouts.at(window_tag);
}

void arrange(const WindowLayout& layout, WindowBinding& b, QWidget* area) {
  std::set<std::string> placed(layout.left.begin(), layout.left.end());
  std::vector<QWidget*> order;
  auto* outer = new QVBoxLayout(area);
  auto* columns = new QHBoxLayout;
  outer->addLayout(columns);
  for (const auto& column : layout.columns) {
    auto* col = new QVBoxLayout;
    std::vector<QGridLayout*> grids;
    for (const LayoutGroup& g : column) {
      QWidget* box = make_group(g, b, area, placed, order);
      grids.push_back(static_cast<QGridLayout*>(box->layout()));
      col->addWidget(box);
    }
    col->addStretch(1);
    columns->addLayout(col);
    // The groups of a column share one label width, so that their
    // controls line up.
    int labels = 0;
    for (QGridLayout* g : grids)
      for (int i = 0; i < g->count(); ++i) {
        int row, c, rows, cols;
        g->getItemPosition(i, &row, &c, &rows, &cols);
        if (c == 0 && cols == 1 && g->itemAt(i)->widget())
          labels = std::max(labels, g->itemAt(i)->widget()->sizeHint().width());
      }
    for (QGridLayout* g : grids) g->setColumnMinimumWidth(0, labels);
  }
  if (!layout.footer.empty()) {
    auto* row = new QHBoxLayout;
    for (const std::string& tag : layout.footer) {
      if (tag.empty()) {
        row->addStretch(1);
        continue;
      }
      QWidget* w = b.widget(tag);
      if (qobject_cast<QLabel*>(w)) row->addSpacing(w->fontMetrics().horizontalAdvance("  "));
      row->addWidget(w);
      order.push_back(w);
      placed.insert(tag);
    }
    outer->addLayout(row);
  }
  // The Tab key goes through the controls as they are read: column by
  // column, group by group, row by row, then the foot.
  for (size_t k = 1; k < order.size(); ++k) QWidget::setTabOrder(order[k - 1], order[k]);
  // A control the layout does not know would be lost from the screen.
  for (const ui::ControlSpec& spec : b.model().table())
    if (!placed.count(spec.tag))
      throw std::logic_error("the layout of " + b.model().tag() + " has no place for the control " + spec.tag);
}

}  // namespace tarvio::desktop
