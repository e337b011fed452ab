// Running a piece of work on the window's thread and waiting for it.
#include "qt/displays/window_thread.h"

#include <QCoreApplication>
#include <QThread>
#include <exception>

namespace tarvio::qt {

bool on_gui_thread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app == nullptr || QThread::currentThread() == app->thread();
}

void on_window_thread(const std::function<void()>& f) {
  if (on_gui_thread()) {
    f();
    return;
  }
  std::exception_ptr error;
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [&] {
        try {
          f();
        } catch (...) {
          error = std::current_exception();
        }
      },
      Qt::BlockingQueuedConnection);
  if (error) std::rethrow_exception(error);
}

}  // namespace tarvio::qt
