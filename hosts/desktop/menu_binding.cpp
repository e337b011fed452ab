// A model window's menu bar on a QMenuBar.
#include "hosts/desktop/menu_binding.h"

#include <QMenu>
#include <functional>

namespace tarvio::desktop {

namespace {
QString qs(const std::string& s) { return QString::fromStdString(s); }

// Items whose menu holds a checked item carry a check mark place.
bool checkable_menu(const std::vector<ui::MenuItem>& items) {
  for (const ui::MenuItem& m : items)
    if (m.checked && !m.toggle) return true;
  return false;
}
// The items' tags and labels, in order: a bar with other items is built anew.
std::string signature(const std::vector<ui::MenuItem>& items) {
  std::string s;
  for (const ui::MenuItem& m : items) s += m.tag + "\t" + m.label + "{" + signature(m.items) + "}";
  return s;
}
}  // namespace

MenuBinding::MenuBinding(ui::Window& model, QMenuBar* bar) : QObject(bar), model_(model), bar_(bar) {
  subscription_ = model_.subscribe([this](const std::string& tag) {
    if (tag.empty()) {
      if (signature(model_.menu()) != built_for_) rebuild();
    } else if (!model_.has(tag)) {
      sync(tag);
    }
  });
  rebuild();
}

MenuBinding::~MenuBinding() { model_.unsubscribe(subscription_); }

QAction* MenuBinding::action(const std::string& tag) const {
  auto it = actions_.find(tag);
  return it == actions_.end() ? nullptr : it->second.data();
}

void MenuBinding::rebuild() {
  if (!bar_) return;
  bar_->clear();
  actions_.clear();
  built_for_ = signature(model_.menu());
  add_items(bar_, model_.menu());
  sync_all();
}

void MenuBinding::add_items(QWidget* parent, const std::vector<ui::MenuItem>& items) {
  for (const ui::MenuItem& item : items) {
    auto* menu = qobject_cast<QMenu*>(parent);
    if (item.separator && menu) menu->addSeparator();
    QAction* a = nullptr;
    if (!item.items.empty()) {
      QMenu* sub = menu ? menu->addMenu(qs(item.label)) : bar_->addMenu(qs(item.label));
      sub->setObjectName(qs(item.tag));
      a = sub->menuAction();
      add_items(sub, item.items);
    } else {
      a = menu ? menu->addAction(qs(item.label)) : bar_->addAction(qs(item.label));
      const std::string tag = item.tag;
      connect(a, &QAction::triggered, this, [this, tag] {
        ui::run_guarded([&] { model_.select_menu(tag); });
        // A question answered "Cancel" leaves the marks as they were.
        sync_all();
      });
    }
    a->setObjectName(qs(item.tag));
    actions_[item.tag] = a;
  }
}

void MenuBinding::sync(const std::string& tag) {
  const ui::MenuItem* item = model_.find_menu(tag);
  QAction* a = action(tag);
  if (!item || !a) return;
  a->setVisible(item->visible);
  a->setEnabled(item->enabled);
  // An item that has carried a check mark keeps a place for it.
  if (item->items.empty() && (item->checked || item->toggle)) a->setCheckable(true);
  if (a->isCheckable()) a->setChecked(item->checked);
}

void MenuBinding::sync_all() {
  std::function<void(const std::vector<ui::MenuItem>&)> walk = [&](const std::vector<ui::MenuItem>& items) {
    // The items of a menu that holds a checked item are check items.
    const bool checks = checkable_menu(items);
    for (const ui::MenuItem& m : items) {
      if (QAction* a = action(m.tag); a && checks && m.items.empty()) a->setCheckable(true);
      sync(m.tag);
      walk(m.items);
    }
  };
  walk(model_.menu());
}

}  // namespace tarvio::desktop
