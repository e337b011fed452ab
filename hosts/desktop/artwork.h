// Tarvio's own artwork, painted rather than loaded: the mark (a 16-QAM
// constellation under the arc of an OFDM spectrum), the splash screen that
// shows it with the name and revision while the program starts, and the
// logo of the about box.
#pragma once

#include <QRectF>
#include <QStringList>
#include <QWidget>

class QPainter;

namespace tarvio::desktop {

// Paints the mark into `r` (square or not; it keeps its proportions).
void paint_mark(QPainter& p, const QRectF& r);

// The splash screen: the mark on a dark band with the lines given
// (name first, larger).
class SplashScreen : public QWidget {
 public:
  explicit SplashScreen(QStringList lines, QWidget* parent = nullptr);
  QSize sizeHint() const override { return {520, 260}; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QStringList lines_;
};

// The about box's logo control: the mark with the control's text (the
// application's name, from the model) beneath it.
class LogoWidget : public QWidget {
 public:
  explicit LogoWidget(QWidget* parent = nullptr);
  QSize sizeHint() const override { return {140, 150}; }
  QSize minimumSizeHint() const override { return {120, 130}; }

 protected:
  void paintEvent(QPaintEvent*) override;
};

}  // namespace tarvio::desktop
