// Widgets of a model window, kept in step with it.
#include "hosts/desktop/window_binding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <cmath>

#include "hosts/desktop/plot_widget.h"

namespace tarvio::desktop {

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

// A caption on a button or box as written: "&" would mark a shortcut.
QString caption(const std::string& s) { return qs(s).replace("&", "&&"); }

// A slider's model value has its largest value at the top, as the model's
// scroll bars count; a Qt scroll bar has its minimum there.
int bar_position(const ui::ControlState& s) { return int(std::lround(s.max + s.min - s.value)); }

}  // namespace

WindowBinding::WindowBinding(ui::Window& model, QWidget* parent, const Maker& maker) : QObject(parent), model_(model) {
  for (const ui::ControlSpec& spec : model_.table()) make(spec, parent, maker);
  subscription_ = model_.subscribe([this](const std::string& tag) {
    if (tag.empty())
      emit window_changed();
    else if (model_.has(tag))
      sync(tag);
  });
  sync_all();
}

WindowBinding::~WindowBinding() { model_.unsubscribe(subscription_); }

QWidget* WindowBinding::widget(const std::string& tag) const {
  auto it = widgets_.find(tag);
  return it == widgets_.end() ? nullptr : it->second.data();
}

bool WindowBinding::control_visible(const std::string& tag) const { return model_.has(tag) && model_.at(tag).visible; }

void WindowBinding::sync_all() {
  for (const ui::ControlSpec& spec : model_.table()) sync(spec.tag);
}

void WindowBinding::make(const ui::ControlSpec& spec, QWidget* parent, const Maker& maker) {
  QWidget* w = maker ? maker(spec, parent) : nullptr;
  if (!w) {
    switch (spec.kind) {
      case ui::ControlKind::Edit: {
        auto* e = new QLineEdit(parent);
        e->setReadOnly(spec.read_only);
        w = e;
        break;
      }
      case ui::ControlKind::List:
        w = new QComboBox(parent);
        break;
      case ui::ControlKind::Check:
        w = new QCheckBox(parent);
        break;
      case ui::ControlKind::Radio: {
        // The model decides which buttons of a pair are on.
        auto* r = new QRadioButton(parent);
        r->setAutoExclusive(false);
        w = r;
        break;
      }
      case ui::ControlKind::Button:
        w = new QPushButton(parent);
        break;
      case ui::ControlKind::Label:
        w = new QLabel(parent);
        break;
      case ui::ControlKind::Slider:
        w = new QScrollBar(Qt::Vertical, parent);
        break;
      case ui::ControlKind::Plot:
        w = new PlotWidget(parent);
        break;
    }
  }
  w->setObjectName(qs(spec.tag));
  widgets_[spec.tag] = w;
  connect_actions(spec, w);
}

void WindowBinding::act(const std::string& tag, const std::function<void()>& action) {
  if (syncing_) return;  // a widget changed by the model itself
  ui::run_guarded(action);
  // Whatever the model made of the action, the widget shows the model's
  // state afterwards (a refused or unchanged entry included).
  sync(tag);
}

void WindowBinding::connect_actions(const ui::ControlSpec& spec, QWidget* w) {
  const std::string tag = spec.tag;
  if (auto* e = qobject_cast<QLineEdit*>(w)) {
    if (spec.read_only) return;
    // An entry counts when the user changed the text: on Return or when
    // the field loses the focus, as a text field's callback runs.
    connect(e, &QLineEdit::editingFinished, this, [this, e, tag] {
      if (!e->isModified()) return;
      e->setModified(false);
      act(tag, [&] { model_.enter(tag, e->text().toStdString()); });
    });
  } else if (auto* c = qobject_cast<QComboBox*>(w)) {
    connect(c, &QComboBox::activated, this,
            [this, tag](int index) { act(tag, [&] { model_.choose(tag, index + 1); }); });
  } else if (auto* b = qobject_cast<QCheckBox*>(w)) {
    connect(b, &QCheckBox::clicked, this, [this, tag](bool on) { act(tag, [&] { model_.check(tag, on ? 1 : 0); }); });
  } else if (auto* r = qobject_cast<QRadioButton*>(w)) {
    connect(r, &QRadioButton::clicked, this,
            [this, tag](bool on) { act(tag, [&] { model_.check(tag, on ? 1 : 0); }); });
  } else if (auto* p = qobject_cast<QPushButton*>(w)) {
    connect(p, &QPushButton::clicked, this, [this, tag] { act(tag, [&] { model_.click(tag); }); });
  } else if (auto* s = qobject_cast<QScrollBar*>(w)) {
    connect(s, &QScrollBar::valueChanged, this, [this, tag](int position) {
      const ui::ControlState& st = model_.at(tag);
      const double value = st.max + st.min - position;
      if (!syncing_ && value != st.value) act(tag, [&] { model_.slide(tag, value); });
    });
  }
}

void WindowBinding::sync(const std::string& tag) {
  QWidget* w = widget(tag);
  if (!w) return;
  const ui::ControlState& s = model_.at(tag);
  syncing_ = true;
  const QSignalBlocker block(w);
  if (auto* e = qobject_cast<QLineEdit*>(w)) {
    if (e->text() != qs(s.text)) e->setText(qs(s.text));
    e->setModified(false);
  } else if (auto* c = qobject_cast<QComboBox*>(w)) {
    QStringList items;
    for (const std::string& entry : s.entries) items << qs(entry);
    QStringList now;
    for (int k = 0; k < c->count(); ++k) now << c->itemText(k);
    if (now != items) {
      c->clear();
      c->addItems(items);
    }
    const int index = int(std::lround(s.value)) - 1;
    c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
  } else if (auto* b = qobject_cast<QCheckBox*>(w)) {
    b->setText(caption(s.text));
    b->setChecked(s.value != 0);
  } else if (auto* r = qobject_cast<QRadioButton*>(w)) {
    r->setText(caption(s.text));
    r->setChecked(s.value != 0);
  } else if (auto* p = qobject_cast<QPushButton*>(w)) {
    p->setText(caption(s.text));
  } else if (auto* l = qobject_cast<QLabel*>(w)) {
    l->setText(qs(s.text));
  } else if (auto* bar = qobject_cast<QScrollBar*>(w)) {
    bar->setRange(int(std::lround(s.min)), int(std::lround(s.max)));
    bar->setValue(bar_position(s));
  } else if (auto* plot = dynamic_cast<PlotWidget*>(w)) {
    plot->set_plot(s.plot);
  } else {
    // A widget made for the view (the about box's logo): its text as a
    // property it paints.
    w->setProperty("text", qs(s.text));
    w->update();
  }
  w->setToolTip(qs(s.tooltip));
  w->setEnabled(s.enabled);
  // Shown or hidden within its window; the window itself shows it on
  // screen.
  w->setHidden(!s.visible);
  syncing_ = false;
  emit control_changed(qs(tag));
}

}  // namespace tarvio::desktop
