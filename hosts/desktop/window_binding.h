// Binds one window of the application model to Qt widgets: one widget per
// control of the window's table (its objectName is the control's tag),
// drawn from the control's state and redrawn whenever the model reports a
// change, and what the user does handed to the model's action calls. It
// holds no rule of its own: entries, clamps and redraws all happen in the
// model, and the widget shows what the model then holds.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <string>

#include "ui/window.h"

namespace tarvio::desktop {

class WindowBinding : public QObject {
  Q_OBJECT

 public:
  // Makes a widget for a control in place of the standard one for its kind
  // (null: the standard one).
  using Maker = std::function<QWidget*(const ui::ControlSpec&, QWidget* parent)>;

  // Creates the widgets as children of `parent` (the view lays them out)
  // and subscribes to the model.
  WindowBinding(ui::Window& model, QWidget* parent, const Maker& maker = nullptr);
  ~WindowBinding() override;

  ui::Window& model() const { return model_; }
  // The widget of a control; null for a tag the window does not have.
  QWidget* widget(const std::string& tag) const;
  // Draws every control from the model.
  void sync_all();

  // Whether a model control is shown now (its widget may not be on screen
  // yet when its window is hidden).
  bool control_visible(const std::string& tag) const;

 signals:
  // The window itself changed: name, visibility or pointer.
  void window_changed();
  // A control was redrawn.
  void control_changed(const QString& tag);

 private:
  void make(const ui::ControlSpec& spec, QWidget* parent, const Maker& maker);
  void sync(const std::string& tag);
  void connect_actions(const ui::ControlSpec& spec, QWidget* w);
  // Runs a user action on a control; an action the model refuses (a
  // control that became disabled meanwhile) or an error is shown through
  // the reporter. The control is redrawn from the model afterwards.
  void act(const std::string& tag, const std::function<void()>& action);

  ui::Window& model_;
  std::map<std::string, QPointer<QWidget>> widgets_;
  int subscription_ = 0;
  bool syncing_ = false;
};

}  // namespace tarvio::desktop
