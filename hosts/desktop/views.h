// The windows of the desktop program over the model's windows: the main
// window (menu bar, grouped controls, status line with the progress of long
// work and its Cancel button) and the dialogs (built once, shown modal
// while the model has them open, hidden afterwards, never rebuilt). A view
// shows, hides, titles and places its window as the model says; closing it
// is the model's close control.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "hosts/desktop/menu_binding.h"
#include "hosts/desktop/window_binding.h"

namespace tarvio {
struct CalculationWatch;
}

namespace tarvio::desktop {

// Follows the window-level state of a model window: title, shown or
// hidden, busy pointer.
void follow_window(WindowBinding& b, QWidget* view, const std::function<void(bool shown)>& show);

class MainView : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainView(ui::Window& model);
  ~MainView() override;

  WindowBinding& binding() { return *binding_; }
  MenuBinding& menus() { return *menus_; }

  // Long work running: the controls and menus are disabled, the status
  // line shows the progress (packets of `watch` when given, else a moving
  // bar) and, with a watch, a Cancel button that calls `cancel`.
  void begin_work(const CalculationWatch* watch, std::function<void()> cancel);
  void end_work();
  bool working() const { return working_; }
  QPushButton* cancel_button() const { return cancel_; }
  QProgressBar* progress() const { return progress_; }

  // While held, the model's "shown" waits (the splash screen is up).
  void hold(bool on);

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void show_progress();

  std::unique_ptr<WindowBinding> binding_;
  MenuBinding* menus_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QTimer poll_;
  const CalculationWatch* watch_ = nullptr;
  std::function<void()> cancel_work_;
  bool working_ = false;
  bool held_ = false;
  bool show_when_released_ = false;
};

class DialogView : public QDialog {
  Q_OBJECT

 public:
  // `modal`: blocks the other windows while shown (every dialog but the
  // about box).
  DialogView(ui::Window& model, QWidget* parent, bool modal);
  ~DialogView() override;
  WindowBinding& binding() { return *binding_; }

 public slots:
  void reject() override;  // Escape: the model's close control

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  std::unique_ptr<WindowBinding> binding_;
  bool placed_ = false;
};

}  // namespace tarvio::desktop
