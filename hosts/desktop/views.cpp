// The main window and dialog views.
#include "hosts/desktop/views.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLayout>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>

#include "control/calculation_watch.h"
#include "hosts/desktop/artwork.h"
#include "hosts/desktop/layouts.h"

namespace tarvio::desktop {

namespace {

// The about box draws its logo control with our artwork.
QWidget* make_control(const ui::ControlSpec& spec, QWidget* parent) {
  if (spec.tag == "txtLogo") return new LogoWidget(parent);
  return nullptr;
}

// Keeps a top-level window on the screen it is on.
void keep_on_screen(QWidget* w) {
  QScreen* s = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
  if (!s) return;
  const QRect avail = s->availableGeometry();
  QRect g = w->frameGeometry();
  g.moveLeft(std::clamp(g.left(), avail.left(), std::max(avail.left(), avail.right() - g.width())));
  g.moveTop(std::clamp(g.top(), avail.top(), std::max(avail.top(), avail.bottom() - g.height())));
  w->move(g.topLeft());
}

}  // namespace

void follow_window(WindowBinding& b, QWidget* view, const std::function<void(bool)>& show) {
  auto update = [&b, view, show] {
    const ui::Window& m = b.model();
    view->setWindowTitle(QString::fromStdString(m.name()));
    if (m.pointer() == "watch")
      view->setCursor(Qt::WaitCursor);
    else
      view->unsetCursor();
    if (m.visible() != view->isVisible()) show(m.visible());
  };
  QObject::connect(&b, &WindowBinding::window_changed, view, update);
  update();
}

// ---- main window ----------------------------------------------------------

MainView::MainView(ui::Window& model) {
  setObjectName(QString::fromStdString(model.tag()));
  auto* area = new QWidget(this);
  area->setObjectName("controls");
  binding_ = std::make_unique<WindowBinding>(model, area);
  arrange(layout_of(model.tag()), *binding_, area);
  setCentralWidget(area);
  menus_ = new MenuBinding(model, menuBar());

  // The status line: the model's text, then the progress of long work.
  QWidget* status = binding_->widget("txtStatusBar");
  status->setParent(this);
  statusBar()->addWidget(status, 1);
  // The note of the impairments in force stays beside it.
  QWidget* impairments = binding_->widget("txtImpairments");
  impairments->setParent(this);
  statusBar()->addPermanentWidget(impairments);
  progress_ = new QProgressBar(this);
  progress_->setObjectName("workProgress");
  progress_->setMinimumWidth(200);
  progress_->setMaximumWidth(260);
  progress_->hide();
  statusBar()->addPermanentWidget(progress_);
  cancel_ = new QPushButton("Cancel", this);
  cancel_->setObjectName("workCancel");
  cancel_->setToolTip("Stops the calculation; the waveform calculated before stays.");
  cancel_->setCursor(Qt::ArrowCursor);
  cancel_->hide();
  statusBar()->addPermanentWidget(cancel_);
  connect(cancel_, &QPushButton::clicked, this, [this] {
    if (cancel_work_) cancel_work_();
    cancel_->setEnabled(false);
  });
  poll_.setInterval(100);
  connect(&poll_, &QTimer::timeout, this, &MainView::show_progress);

  follow_window(*binding_, this, [this](bool shown) {
    if (!shown) {
      show_when_released_ = false;
      hide();
    } else if (held_) {
      show_when_released_ = true;
    } else {
      show();
      keep_on_screen(this);
      raise();
      activateWindow();
    }
  });
}

MainView::~MainView() = default;

void MainView::hold(bool on) {
  held_ = on;
  if (!on && show_when_released_) {
    show_when_released_ = false;
    if (binding_->model().visible()) {
      show();
      keep_on_screen(this);
      raise();
      activateWindow();
    }
  }
}

void MainView::begin_work(const CalculationWatch* watch, std::function<void()> cancel) {
  working_ = true;
  watch_ = watch;
  cancel_work_ = std::move(cancel);
  centralWidget()->setEnabled(false);
  menuBar()->setEnabled(false);
  progress_->setRange(0, watch ? 1 : 0);  // without a count: a moving bar
  progress_->setValue(0);
  progress_->setFormat(watch ? "%v of %m packets" : "");
  progress_->show();
  cancel_->setVisible(watch != nullptr);
  cancel_->setEnabled(true);
  if (watch) poll_.start();
}

void MainView::end_work() {
  poll_.stop();
  watch_ = nullptr;
  cancel_work_ = nullptr;
  progress_->hide();
  cancel_->hide();
  centralWidget()->setEnabled(true);
  menuBar()->setEnabled(true);
  working_ = false;
}

void MainView::show_progress() {
  if (!watch_) return;
  const int total = int(watch_->packets.load());
  if (total <= 0) return;
  progress_->setRange(0, total);
  progress_->setValue(std::min(total, int(watch_->packets_done.load())));
}

void MainView::closeEvent(QCloseEvent* e) {
  // The model decides what closing means; it hides the window itself.
  e->ignore();
  if (working_) return;  // long work first ends or is cancelled
  ui::Window& m = binding_->model();
  ui::run_guarded([&] { m.request_close(); });
}

// ---- dialogs --------------------------------------------------------------

DialogView::DialogView(ui::Window& model, QWidget* parent, bool modal) : QDialog(parent) {
  setObjectName(QString::fromStdString(model.tag()));
  setWindowModality(modal ? Qt::ApplicationModal : Qt::NonModal);
  binding_ = std::make_unique<WindowBinding>(model, this, make_control);
  arrange(layout_of(model.tag()), *binding_, this);
  // A dialog is as large as its controls need, growing and shrinking as
  // the model shows and hides them.
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  if (QWidget* name = binding_->widget("lblLine1")) {  // the about box's first line
    QFont f = name->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.3);
    name->setFont(f);
  }
  // Return in a field only enters the field; OK is a click of its own.
  for (QPushButton* b : findChildren<QPushButton*>()) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }
  follow_window(*binding_, this, [this](bool shown) {
    if (!shown) {
      hide();
      return;
    }
    if (!placed_ && parentWidget()) {
      // Placed over the middle of its parent the first time it shows.
      const QRect p = parentWidget()->frameGeometry();
      move(p.center() - QPoint(width() / 2, height() / 2));
      placed_ = true;
    }
    show();
    keep_on_screen(this);
    raise();
    activateWindow();
  });
}

DialogView::~DialogView() = default;

void DialogView::reject() {
  ui::Window& m = binding_->model();
  ui::run_guarded([&] { m.request_close(); });
}

void DialogView::closeEvent(QCloseEvent* e) {
  e->ignore();
  reject();
}

}  // namespace tarvio::desktop
