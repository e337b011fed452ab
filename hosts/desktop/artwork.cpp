// Painting the mark, the splash screen and the logo.
#include "hosts/desktop/artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace tarvio::desktop {

namespace {
const QColor kDeep(18, 44, 78);
const QColor kBlue(31, 95, 175);
const QColor kAmber(240, 168, 48);
}  // namespace

void paint_mark(QPainter& p, const QRectF& area) {
  const double side = std::min(area.width(), area.height());
  const QRectF r(area.center().x() - side / 2, area.center().y() - side / 2, side, side);
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  // Rounded tile.
  QLinearGradient g(r.topLeft(), r.bottomRight());
  g.setColorAt(0, kBlue);
  g.setColorAt(1, kDeep);
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.drawRoundedRect(r, side * 0.16, side * 0.16);
  // The arc of an OFDM spectrum: flat top, steep skirts.
  QPainterPath arc;
  const double x0 = r.left() + side * 0.12, x1 = r.right() - side * 0.12;
  const double base = r.top() + side * 0.44, top = r.top() + side * 0.16;
  arc.moveTo(x0, base);
  for (int k = 0; k <= 80; ++k) {
    const double t = double(k) / 80;  // 0..1 across
    const double u = 2 * t - 1;       // -1..1
    const double level = 1 / (1 + std::pow(std::abs(u) / 0.78, 14));
    arc.lineTo(x0 + t * (x1 - x0), base - level * (base - top));
  }
  p.setPen(QPen(kAmber, side * 0.035, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawPath(arc);
  // A 16-QAM constellation below it.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(235, 242, 250));
  const double step = side * 0.11, dot = side * 0.045;
  const QPointF c(r.center().x(), r.top() + side * 0.70);
  for (int i = -3; i <= 3; i += 2)
    for (int q = -3; q <= 3; q += 2) p.drawEllipse(QPointF(c.x() + i * step / 2, c.y() + q * step / 2), dot, dot);
  p.restore();
}

SplashScreen::SplashScreen(QStringList lines, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), lines_(std::move(lines)) {
  setObjectName("figSplash");
  resize(sizeHint());
}

void SplashScreen::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient g(0, 0, width(), height());
  g.setColorAt(0, kDeep);
  g.setColorAt(1, QColor(10, 24, 44));
  p.fillRect(rect(), g);
  const double h = height();
  paint_mark(p, QRectF(h * 0.14, h * 0.14, h * 0.72, h * 0.72));
  const double left = h * 1.0;
  p.setPen(Qt::white);
  QFont f = font();
  for (int k = 0; k < lines_.size(); ++k) {
    f.setPointSizeF(k == 0 ? font().pointSizeF() * 2.6 : font().pointSizeF() * 1.1);
    f.setBold(k == 0);
    p.setFont(f);
    const double y = k == 0 ? h * 0.48 : h * 0.48 + k * QFontMetricsF(f).height() * 1.3 + h * 0.04;
    p.drawText(QPointF(left, y), lines_[k]);
  }
  p.setPen(QColor(160, 185, 215));
  f.setPointSizeF(font().pointSizeF());
  f.setBold(false);
  p.setFont(f);
  p.drawText(QRectF(left, h * 0.78, width() - left - h * 0.1, h * 0.15), Qt::AlignLeft | Qt::AlignVCenter,
             "IEEE 802.11a/b/g test waveforms");
}

LogoWidget::LogoWidget(QWidget* parent) : QWidget(parent) {}

void LogoWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QString text = property("text").toString();
  const QFontMetricsF fm(font());
  const double text_h = text.isEmpty() ? 0 : fm.height() * 1.4;
  const double side = std::min<double>(width(), height() - text_h) * 0.92;
  paint_mark(p, QRectF((width() - side) / 2, 0, side, side));
  if (!text.isEmpty()) {
    QFont f = font();
    f.setBold(true);
    p.setFont(f);
    p.setPen(palette().windowText().color());
    p.drawText(QRectF(0, side, width(), text_h), Qt::AlignCenter, text);
  }
}

}  // namespace tarvio::desktop
