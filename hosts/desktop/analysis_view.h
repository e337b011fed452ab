// The view of the analysis window: the model's controls (file, sample
// rate, Open, status, Close), the packet table and the three pictures of
// the packet selected, each drawn by the display windows' canvas. It only
// draws the model and hands the row the user picks to it.
#pragma once

#include <QDialog>
#include <QTableWidget>
#include <array>
#include <memory>

#include "hosts/desktop/window_binding.h"

namespace tarvio::qt {
class PlotCanvas;
}
namespace tarvio::ui {
class AnalysisWindow;
}

namespace tarvio::desktop {

class AnalysisView : public QDialog {
  Q_OBJECT

 public:
  AnalysisView(ui::AnalysisWindow& model, QWidget* parent);
  ~AnalysisView() override;
  WindowBinding& binding() { return *binding_; }
  QTableWidget* table() const { return table_; }
  // The canvases: constellation, EVM, spectrum mask.
  qt::PlotCanvas* canvas(size_t k) const { return canvases_.at(k); }

 public slots:
  void reject() override;  // Escape: the model's close control

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void fill_table();
  void show_selection();

  ui::AnalysisWindow& model_;
  std::unique_ptr<WindowBinding> binding_;
  QTableWidget* table_ = nullptr;
  std::array<qt::PlotCanvas*, 3> canvases_{};
  int subscription_ = 0;
  bool placed_ = false;
};

}  // namespace tarvio::desktop
