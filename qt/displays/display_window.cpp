// A display window and its menus.
#include "qt/displays/display_window.h"

#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>

namespace tarvio::qt {

DisplayWindow::DisplayWindow(Figure f, QWidget* parent) : QMainWindow(parent) {
  // A window of its own (not embedded in the parent) that is freed on close.
  setWindowFlag(Qt::Window);
  setAttribute(Qt::WA_DeleteOnClose);
  canvas_ = new PlotCanvas(std::move(f), this);
  setCentralWidget(canvas_);
  setWindowTitle(QString::fromStdString(canvas_->figure().name));

  QMenu* file = menuBar()->addMenu("&File");
  file->setObjectName("menuFile");
  QAction* a = file->addAction("&Print", this, &DisplayWindow::print);
  a->setObjectName("menuFilePrint");
  a = file->addAction("Print &Setup", this, &DisplayWindow::print_setup);
  a->setObjectName("menuFilePrintSetup");
  a = file->addAction("&Close", this, &QWidget::close);
  a->setObjectName("menuFileClose");

  QMenu* edit = menuBar()->addMenu("&Edit");
  edit->setObjectName("menuEdit");
  a = edit->addAction("&Copy", this, &DisplayWindow::copy_to_clipboard);
  a->setObjectName("menuEditCopy");

  QMenu* tools = menuBar()->addMenu("&Tools");
  tools->setObjectName("menuTools");
  zoom_ = tools->addAction("&Zoom");
  zoom_->setObjectName("KV_Zoom");
  zoom_->setCheckable(true);
  connect(zoom_, &QAction::toggled, canvas_, &PlotCanvas::set_zoom_tool);
  rotate_ = tools->addAction("&Rotate");
  rotate_->setObjectName("KV_Rotate");
  rotate_->setCheckable(true);
  connect(rotate_, &QAction::toggled, canvas_, &PlotCanvas::set_rotated);
  a = tools->addAction("Zoom Re&set", canvas_, &PlotCanvas::reset_view);
  a->setObjectName("menuToolsZoomReset");
  connect(canvas_, &PlotCanvas::view_changed, this, &DisplayWindow::sync_tools);
}

void DisplayWindow::sync_tools() {
  // The check marks follow the canvas whoever changed it (menu, figure tool).
  const QSignalBlocker z(zoom_), r(rotate_);
  zoom_->setChecked(canvas_->zoom_tool());
  rotate_->setChecked(canvas_->rotated());
}

void DisplayWindow::figure_changed() {
  setWindowTitle(QString::fromStdString(canvas_->figure().name));
  canvas_->figure_changed();
}

void DisplayWindow::print_to(QPrinter& printer) const {
  // The figure is drawn at the window's size and scaled onto the page, so
  // the page shows the layout of the screen.
  QPainter p(&printer);
  const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
  const QSize logical = canvas_->size();
  const qreal fit = std::min(page.width() / logical.width(), page.height() / logical.height());
  const qreal scale = std::max<qreal>(1, std::min<qreal>(fit, 4));
  const QImage img = canvas_->picture(logical, scale);
  const QSizeF drawn = QSizeF(logical) * fit;
  p.drawImage(QRectF(QPointF(0, 0), drawn), img);
}

void DisplayWindow::print() {
  if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  QPrintDialog dialog(printer_.get(), this);
  if (dialog.exec() == QDialog::Accepted) print_to(*printer_);
}

void DisplayWindow::print_setup() {
  if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  QPageSetupDialog dialog(printer_.get(), this);
  dialog.exec();
}

void DisplayWindow::copy_to_clipboard() { QGuiApplication::clipboard()->setImage(grab().toImage()); }

void DisplayWindow::changeEvent(QEvent* e) {
  if (e->type() == QEvent::ActivationChange && isActiveWindow()) emit activated();
  QMainWindow::changeEvent(e);
}

}  // namespace tarvio::qt
