// tarvio-icon: renders the program's mark (the artwork the splash screen and
// the about box paint) into PNG icons for the desktop entry, one per size:
//   tarvio-icon DIR SIZE...   writes DIR/SIZE/tarvio.png
// Run with QT_QPA_PLATFORM=offscreen at build time; exit status 1 when a
// file cannot be written.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <cstdlib>

#include "hosts/desktop/artwork.h"

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc < 3) {
    std::fputs("usage: tarvio-icon DIR SIZE...\n", stderr);
    return 2;
  }
  const QString dir = QString::fromLocal8Bit(argv[1]);
  for (int k = 2; k < argc; ++k) {
    char* end = nullptr;
    const long size = std::strtol(argv[k], &end, 10);
    if (end == argv[k] || *end != '\0' || size < 16 || size > 1024) {
      std::fprintf(stderr, "tarvio-icon: the size '%s' is not a whole number of pixels from 16 to 1024\n", argv[k]);
      return 2;
    }
    const int side = static_cast<int>(size);
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
      QPainter p(&image);
      tarvio::desktop::paint_mark(p, QRectF(0, 0, side, side));
    }
    const QString folder = dir + "/" + QString::number(side);
    const QString path = folder + "/tarvio.png";
    if (!QDir().mkpath(folder) || !image.save(path, "PNG")) {
      std::fprintf(stderr, "tarvio-icon: cannot write %s\n", path.toLocal8Bit().constData());
      return 1;
    }
  }
  return 0;
}
