// The main window's menus, their items and their order.
#include "ui/menu_bar.h"

namespace tarvio::ui {

namespace {

MenuItem item(const char* label, const char* tag, bool visible = true, bool separator = false) {
  MenuItem m;
  m.label = label;
  m.tag = tag;
  m.visible = visible;
  m.separator = separator;
  m.has_command = true;
  return m;
}

// An on/off setting, off at first; its command turns it over.
MenuItem toggle(const char* label, const char* tag) {
  MenuItem m = item(label, tag);
  m.toggle = true;
  return m;
}

MenuItem menu(const char* label, const char* tag, std::vector<MenuItem> items, bool visible = true) {
  MenuItem m;
  m.label = label;
  m.tag = tag;
  m.visible = visible;
  m.items = std::move(items);
  return m;
}

}  // namespace

std::vector<MenuItem> KV_AddMenu(const std::string& platform) {
  MenuItem exportRaw = item("&Export Raw Data...", "menuFileExportRawData", false);
  exportRaw.has_command = false;  // created hidden and without a command
  std::vector<MenuItem> config = {
      item("&Sig Gen I/O", "menuConfigSigGenIO"),
      item("Spec &An I/O", "menuConfigSpecAnIO", false),
      item("&Impairments...", "menuConfigImpairments"),
  };
  if (platform == "c") {
    MenuItem bbg = menu("&Baseband Generator", "menuConfigBBG1",
                        {item("Option MEM-A (8 Msamples)", kMemoryOptionTags[0]),
                         item("Option MEM-B (32 Msamples)", kMemoryOptionTags[1]),
                         item("Option MEM-C (64 Msamples)", kMemoryOptionTags[2])});
    bbg.separator = true;
    config.push_back(std::move(bbg));
  }
  return {
      menu("&File", "menuFile",
           {item("&New", "menuFileNew"), item("&Open...", "menuFileOpen"), item("&Save", "menuFileSave"),
            item("Save &As...", "menuFileSaveAs"), item("&Export Data...", "menuFileExportData"), exportRaw,
            item("&Analyze Capture...", "menuFileAnalyzeCapture", true, true),
            item("E&xit", "menuFileExit", true, true)}),
      menu("&Plot", "menuPlot",
           {item("&Spectrum", "menuPlotSpectrum"), item("&Waterfall", "menuPlotWaterfall", false),
            item("I(t) Q(t)", "menuPlotIQTime", true, true), item("I(t) Q(t) Overlayed", "menuPlotIQTimeSameAxes"),
            item("&Eye Diagram", "menuPlotEyeDiagram", false),
            item("S&catter Diagram", "menuPlotScatterDiagram", false), item("&CCDF", "menuPlotCCDF", true, true),
            toggle("CCDF of &Bursts Only", kCcdfGatedTag)}),
      menu("&Configuration", "menuConfig", std::move(config)),
      menu("&Special", "menuSpecial",
           {item("Save &Wave...", "menuSpecialSaveWave"),
            [] {
              MenuItem m = item("&Impairments", "menuSpecialImpairments", false);
              m.has_command = false;
              return m;
            }()},
           false),
      menu("&Help", "menuHelp", {item("&Help", "menuHelpHelp"), item("&About", "menuHelpAbout")}),
  };
}

}  // namespace tarvio::ui
