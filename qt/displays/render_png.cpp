// PNG pictures of figures on the offscreen platform.
#include "qt/displays/render_png.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>

#include "qt/displays/figure_painter.h"
#include "runtime/output_file.h"

namespace {

void set_error(char* error, size_t size, const std::string& text) {
  if (!error || size == 0) return;
  std::strncpy(error, text.c_str(), size - 1);
  error[size - 1] = '\0';
}

// The application object a picture needs for its fonts: made once, on the
// offscreen platform whatever the environment says, when there is none. It
// lives until the process ends and is never destroyed, so that no exit-time
// destructor runs after the toolkit's own.
// Qt's notice about a missing XDG_RUNTIME_DIR (usual for a command run
// from a service or a container) says nothing about the picture; every
// other message passes.
void quiet_runtime_dir_notice(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith("QStandardPaths: XDG_RUNTIME_DIR")) return;
  std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

void ensure_application() {
  if (QCoreApplication::instance()) return;
  qInstallMessageHandler(quiet_runtime_dir_notice);
  static int argc = 3;
  static char name[] = "tarvio-cli", opt[] = "-platform", platform[] = "offscreen";
  static char* argv[] = {name, opt, platform, nullptr};
  new QGuiApplication(argc, argv);
}

}  // namespace

extern "C" int tarvio_render_figure_png(const tarvio::Figure* figure, const char* path, int width, int height,
                                        char* error, size_t error_size) {
  try {
    if (!figure || !path) throw std::invalid_argument("no figure or no file name");
    if (width < 100 || height < 100 || width > 20000 || height > 20000)
      throw std::invalid_argument("a picture of " + std::to_string(width) + " x " + std::to_string(height) +
                                  " pixels is outside 100 ... 20000 each way");
    ensure_application();
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
      QPainter p(&img);
      QFont font = p.font();
      font.setPixelSize(std::max(11, height / 48));
      p.setFont(font);
      // A picture has no window frame: the window's name heads it instead.
      double top = 0;
      if (!figure->name.empty()) {
        QFont bold = font;
        bold.setBold(true);
        p.setFont(bold);
        const QFontMetricsF fm(bold, &img);
        top = 1.8 * fm.height();
        p.fillRect(QRectF(0, 0, width, top), Qt::white);
        p.drawText(QRectF(0, 0, width, top), Qt::AlignCenter, QString::fromStdString(figure->name));
        p.setFont(font);
      }
      tarvio::qt::paint_figure(p, QRectF(0, top, width, height - top), *figure, {});
    }
    // Encoded in memory, then written as every output is (a temporary
    // renamed into place, a device or FIFO in place).
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!img.save(&buffer, "PNG"))
      throw std::runtime_error(std::string("cannot write '") + path + "': the PNG encoder failed");
    tarvio::OutputFile out(path);
    out.write(png.constData(), size_t(png.size()));
    out.commit();
    return 0;
  } catch (const std::invalid_argument& e) {
    set_error(error, error_size, std::string("cannot write '") + (path ? path : "") + "': " + e.what());
    return -1;
  } catch (const std::exception& e) {  // OutputFile's messages name the file
    set_error(error, error_size, e.what());
    return -1;
  }
}
