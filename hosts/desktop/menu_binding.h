// The menu bar of a model window as a Qt menu bar: one menu or action per
// menu item (objectName = the item's tag), with its accelerator,
// separator, visibility, check mark and enabled state drawn from the model
// and redrawn when it changes; choosing an item hands its tag to the model.
#pragma once

#include <QMenuBar>
#include <QObject>
#include <QPointer>
#include <map>
#include <string>

#include "ui/window.h"

namespace tarvio::desktop {

class MenuBinding : public QObject {
  Q_OBJECT

 public:
  MenuBinding(ui::Window& model, QMenuBar* bar);
  ~MenuBinding() override;

  // The action of an item (a menu's own action for a menu); null when the
  // bar has no such item.
  QAction* action(const std::string& tag) const;
  // Builds the bar anew from the model's menu data (the model sets the
  // whole bar once at start-up).
  void rebuild();

 private:
  void add_items(QWidget* menu, const std::vector<ui::MenuItem>& items);
  void sync(const std::string& tag);
  void sync_all();

  ui::Window& model_;
  QPointer<QMenuBar> bar_;
  std::map<std::string, QPointer<QAction>> actions_;
  std::string built_for_;  // the items the bar was last built for
  int subscription_ = 0;
};

}  // namespace tarvio::desktop
