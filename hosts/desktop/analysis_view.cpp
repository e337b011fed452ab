// The analysis window's view.
#include "hosts/desktop/analysis_view.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QVBoxLayout>

#include "hosts/desktop/views.h"
#include "qt/displays/plot_canvas.h"
#include "ui/analysis_window.h"

namespace tarvio::desktop {

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

AnalysisView::AnalysisView(ui::AnalysisWindow& model, QWidget* parent) : QDialog(parent), model_(model) {
  setObjectName(qs(model.tag()));
  setWindowModality(Qt::NonModal);
  binding_ = std::make_unique<WindowBinding>(model, this);

  auto* top = new QHBoxLayout;
  for (const char* tag : {"lblFile", "lblSampleRate", "txtSampleRate", "pbOpen"})
    if (QWidget* w = binding_->widget(tag)) top->addWidget(w, std::string(tag) == "lblFile" ? 1 : 0);

  table_ = new QTableWidget(this);
  table_->setObjectName("tblPackets");
  QStringList headers;
  for (const std::string& c : ui::AnalysisWindow::columns()) headers << qs(c);
  table_->setColumnCount(headers.size());
  table_->setHorizontalHeaderLabels(headers);
  table_->verticalHeader()->hide();
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setStretchLastSection(false);

  auto* plots = new QWidget(this);
  auto* grid = new QGridLayout(plots);
  grid->setContentsMargins(0, 0, 0, 0);
  for (size_t k = 0; k < canvases_.size(); ++k) {
    canvases_[k] = new qt::PlotCanvas(Figure{}, plots);
    canvases_[k]->setMinimumSize(240, 150);
  }
  // Constellation and EVM side by side above the spectrum mask, which
  // wants the width.
  grid->addWidget(canvases_[0], 0, 0);
  grid->addWidget(canvases_[1], 0, 1);
  grid->addWidget(canvases_[2], 1, 0, 1, 2);

  // The table across the top, as wide as its eight columns want; the
  // pictures take the rest.
  auto* split = new QSplitter(Qt::Vertical, this);
  split->addWidget(table_);
  split->addWidget(plots);
  split->setStretchFactor(0, 0);
  split->setStretchFactor(1, 1);
  split->setSizes({170, 700});

  auto* bottom = new QHBoxLayout;
  if (QWidget* w = binding_->widget("lblStatus")) bottom->addWidget(w, 1);
  if (QWidget* w = binding_->widget("pbClose")) bottom->addWidget(w);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(split, 1);
  layout->addLayout(bottom);
  for (QPushButton* b : findChildren<QPushButton*>()) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }
  // Large enough for the pictures, never larger than the screen it opens
  // on (a 1366 x 768 laptop holds it with its title bar and task bar).
  QSize size(1280, 700);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    size = size.boundedTo(screen->availableGeometry().size() - QSize(40, 60));
  resize(size.expandedTo(minimumSizeHint()));

  connect(table_, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) {
    if (row < 0 || static_cast<size_t>(row) == model_.selected().value_or(static_cast<size_t>(-1))) return;
    ui::run_guarded([&] { model_.select(static_cast<size_t>(row)); });
  });
  subscription_ = model_.subscribe([this](const std::string& tag) {
    if (tag == ui::AnalysisWindow::kPacketsTag) fill_table();
    if (tag == ui::AnalysisWindow::kSelectionTag) show_selection();
  });
  follow_window(*binding_, this, [this](bool shown) {
    if (!shown) {
      hide();
      return;
    }
    if (!placed_ && parentWidget()) {
      move(parentWidget()->geometry().center() - QPoint(width() / 2, height() / 2));
      placed_ = true;
    }
    show();
    raise();
  });
  fill_table();
  show_selection();
}

AnalysisView::~AnalysisView() { model_.unsubscribe(subscription_); }

void AnalysisView::fill_table() {
  const QSignalBlocker block(table_);
  const auto& rows = model_.rows();
  table_->setRowCount(static_cast<int>(rows.size()));
  for (size_t r = 0; r < rows.size(); ++r)
    for (size_t c = 0; c < rows[r].size(); ++c) {
      auto* item = new QTableWidgetItem(qs(rows[r][c]));
      // Numbers to the right, words to the left.
      if (c == 0 || c == 2 || c == 3 || c == 5 || c == 6) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      if (!model_.row_passed(r)) item->setForeground(QColor(0xB0, 0x10, 0x10));
      table_->setItem(static_cast<int>(r), static_cast<int>(c), item);
    }
}

void AnalysisView::show_selection() {
  std::vector<Figure> figures = model_.figures();
  for (size_t k = 0; k < canvases_.size(); ++k) {
    canvases_[k]->figure() = k < figures.size() ? std::move(figures[k]) : Figure{};
    canvases_[k]->figure_changed();
  }
  const QSignalBlocker block(table_);
  if (const auto row = model_.selected())
    table_->selectRow(static_cast<int>(*row));
  else
    table_->clearSelection();
}

void AnalysisView::reject() {
  ui::run_guarded([&] { model_.request_close(); });
}

void AnalysisView::closeEvent(QCloseEvent* e) {
  e->ignore();
  reject();
}

}  // namespace tarvio::desktop
