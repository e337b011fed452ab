// The program's windows for the figure tools.
#include "hosts/desktop/desktop_windows_qt.h"

#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QScreen>
#include <QWidget>
#include <stdexcept>

#include "hosts/desktop/desktop_app.h"
#include "qt/displays/qt_display_host.h"

namespace tarvio::desktop {

QWidget* QtDesktopWindows::widget(const std::string& window) const {
  if (QWidget* w = app_.view(window)) return w;
  bool number = false;
  const double handle = QString::fromStdString(window).toDouble(&number);
  return number ? app_.displays().window(handle) : nullptr;
}

std::string QtDesktopWindows::splash() {
  app_.splash();
  return "figSplash";
}

bool QtDesktopWindows::exists(const std::string& window) const {
  QWidget* w = widget(window);
  // The splash screen exists while it is up; every other window for the
  // program's life.
  return w && (window != "figSplash" || w->isVisible());
}

void QtDesktopWindows::raise(const std::string& window) {
  if (QWidget* w = widget(window); w && w->isVisible()) {
    w->raise();
    w->activateWindow();
  }
}

void QtDesktopWindows::move(const std::string& window, const std::string& where, int x, int y) {
  QWidget* w = widget(window);
  if (!w) throw std::invalid_argument("Movegui: there is no window " + window);
  if (where.empty()) {
    w->move(x, y);
    return;
  }
  QScreen* s = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
  const QRect a = s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
  const QRect g = w->frameGeometry();
  int left = g.left(), top = g.top();
  const int cx = a.left() + (a.width() - g.width()) / 2, cy = a.top() + (a.height() - g.height()) / 2;
  const int east = a.right() - g.width() + 1, south = a.bottom() - g.height() + 1;
  if (where == "center") left = cx, top = cy;
  if (where == "north") left = cx, top = a.top();
  if (where == "south") left = cx, top = south;
  if (where == "east") left = east, top = cy;
  if (where == "west") left = a.left(), top = cy;
  if (where == "northeast") left = east, top = a.top();
  if (where == "northwest") left = a.left(), top = a.top();
  if (where == "southeast") left = east, top = south;
  if (where == "southwest") left = a.left(), top = south;
  if (where == "onscreen") {
    left = std::clamp(left, a.left(), std::max(a.left(), east));
    top = std::clamp(top, a.top(), std::max(a.top(), south));
  }
  w->move(left, top);
}

void QtDesktopWindows::scale_fonts(const std::string& window, double factor) {
  QWidget* w = widget(window);
  if (!w) throw std::invalid_argument("ResizeAllFonts: there is no window " + window);
  // The controls take the window's font unless they have one of their own.
  QFont f = w->font();
  f.setPointSizeF(f.pointSizeF() * factor);
  w->setFont(f);
  for (QWidget* c : w->findChildren<QWidget*>())
    if (c->testAttribute(Qt::WA_SetFont)) {
      QFont cf = c->font();
      cf.setPointSizeF(cf.pointSizeF() * factor);
      c->setFont(cf);
    }
}

Picture QtDesktopWindows::read_picture(const std::string& path) {
  QImageReader reader(QString::fromStdString(path));
  QImage img = reader.read();
  if (img.isNull()) throw std::runtime_error(path + ": " + reader.errorString().toStdString());
  img = img.convertToFormat(QImage::Format_RGB32);
  Picture p;
  p.rows = size_t(img.height());
  p.cols = size_t(img.width());
  const size_t n = p.rows * p.cols;
  p.red.resize(n);
  p.green.resize(n);
  p.blue.resize(n);
  for (size_t r = 0; r < p.rows; ++r) {
    const QRgb* line = reinterpret_cast<const QRgb*>(img.constScanLine(int(r)));
    for (size_t c = 0; c < p.cols; ++c) {
      const size_t k = c * p.rows + r;  // column-major
      p.red[k] = qRed(line[c]);
      p.green[k] = qGreen(line[c]);
      p.blue[k] = qBlue(line[c]);
    }
  }
  return p;
}

}  // namespace tarvio::desktop
