#include "platform/qt/qt_views.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <algorithm>

#include "forms/drawing.h"
#include "forms/event_log.h"
#include "forms/keyboard.h"
#include "platform/qt/qt_controls.h"
#include "platform/qt/qt_screens.h"

namespace quildor::qt {

using forms::Control;
using forms::ControlKind;
using forms::Event;
using forms::Property;
using forms::TwipsToPixels;


// A timer control: runs while enabled with an interval above 0, and delivers its ticks.
class FormWidget::TimerView : public forms::ControlView {
 public:
  TimerView(FormWidget& form, Control& c) : form_(form), c_(c) {
    timer_.setTimerType(Qt::CoarseTimer);
    QObject::connect(&timer_, &QTimer::timeout,
                     [this] { form_.platform().Deliver(form_.form(), Event::Timer, &c_); });
    c.AttachView(this);
    Apply();
  }
  ~TimerView() override { c_.AttachView(nullptr); }

  void PropertyChanged(const Control&, Property p) override {
    if (p == Property::Interval || p == Property::Enabled) Apply();
  }

 private:
  void Apply() {
    if (c_.Enabled() && c_.Interval() > 0) {
      timer_.start(c_.Interval());
    } else {
      timer_.stop();
    }
  }

  FormWidget& form_;
  Control& c_;
  QTimer timer_;
};

FormWidget::FormWidget(ViewServices& platform, forms::Form& form)
    : QWidget(nullptr), platform_(platform), form_(form), covers_(platform, form, *this) {
  const auto& d = form.design();
  setObjectName(QString::fromStdString(d.name));
  setWindowTitle(QString::fromStdString(d.caption));
  setAttribute(Qt::WA_DeleteOnClose, false);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, ToQColor(d.back_color));
  setPalette(pal);
  if (d.frameless) setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  if (d.blank_pointer) setCursor(BlankCursor());
  // The window's icon for task switchers and title bars: the car, as on Windows; a window
  // without one shows none of its own.
  setWindowIcon(d.has_icon ? QIcon(QStringLiteral(":/quildor/quildor.ico")) : QIcon());
  setGeometry(TwipsToPixels(form.Left()), TwipsToPixels(form.Top()),
              TwipsToPixels(d.client_width), TwipsToPixels(d.client_height));
  if (!d.frameless) setFixedSize(size());
  CreateControls();
  WatchInput(this);
  form.AttachView(this);
}

FormWidget::~FormWidget() {
  form_.AttachView(nullptr);
  covers_.Update(false);
  timers_.clear();
}

bool FormWidget::FullScreen() const {
  return form_.State() == forms::WindowState::Maximized && form_.design().frameless &&
         !platform_.ForeignWindow();
}

QRect FormWidget::BoxCentre() const {
  QRect centre = rect();
  int largest = -1;
  for (const auto& [control, widget] : widgets_) {
    const int area = widget->width() * widget->height();
    if (control->Kind() == forms::ControlKind::Image && widget->isVisible() && area > largest) {
      largest = area;
      centre = QRect(widget->mapTo(this, QPoint(0, 0)), widget->size());
    }
  }
  return centre;
}

void FormWidget::hideEvent(QHideEvent* e) {
  covers_.Update(false);
  QWidget::hideEvent(e);
}

QWidget* FormWidget::ControlWidget(const forms::Control& c) const {
  auto it = widgets_.find(&c);
  return it == widgets_.end() ? nullptr : it->second;
}

void FormWidget::CreateControls() {
  std::vector<QWidget*> windowed;
  for (const auto& owned : form_.Controls()) {
    Control& c = *owned;
    if (c.Kind() == ControlKind::Timer) {
      timers_.push_back(std::make_unique<TimerView>(*this, c));
      continue;
    }
    QWidget* parent = c.Container().empty() ? this : widgets_.at(&form_.Get(c.Container()));
    QWidget* w = CreateControlWidget(*this, c, parent);
    widgets_[&c] = w;
    if (forms::IsWindowed(c.Kind())) windowed.push_back(w);
    // Only the Tab stops take the focus, by a click or a key; a form with none (the slide
    // show) takes it itself, so that its window has every key.
    w->setFocusPolicy(forms::TakesFocus(c) ? Qt::StrongFocus : Qt::NoFocus);
  }
  if (!forms::FocusOrder(form_).empty()) setFocusPolicy(Qt::NoFocus);
  // Windowed controls stand above the image and label controls that share their container.
  for (QWidget* w : windowed) w->raise();
}

void FormWidget::WatchInput(QWidget* w) {
  // Windows of their own (the program's message boxes, owned by this window) keep their keys.
  if (w != this && w->isWindow()) return;
  w->installEventFilter(this);
  for (QObject* child : w->children()) {
    if (auto* cw = qobject_cast<QWidget*>(child)) WatchInput(cw);
  }
}

void FormWidget::ApplyWindowGeometry() {
  const auto& d = form_.design();
  if (form_.State() == forms::WindowState::Maximized && d.frameless && platform_.ForeignWindow()) {
    setGeometry(QRect(QPoint(0, 0), platform_.ForeignSize()));
    return;
  }
  if (FullScreen()) {
    // Covers the whole screen whether or not a window manager runs: the geometry is set
    // directly, and a window manager it does not bypass is also asked for the full-screen state.
    KeepFullScreen(*this, SlideShowScreen());
    return;
  }
  move(TwipsToPixels(form_.Left()), TwipsToPixels(form_.Top()));
}

void FormWidget::ShowAsModelled() {
  if (form_.design().frameless && platform_.ForeignWindow()) {
    // A screen-saver daemon's window: the slide show becomes its child and fills it.
    QWindow* daemon = platform_.ForeignWindow();
    ApplyWindowGeometry();
    setAttribute(Qt::WA_NativeWindow);
    winId();
    windowHandle()->setParent(daemon);
    windowHandle()->setGeometry(QRect(QPoint(0, 0), platform_.ForeignSize()));
    platform_.FormShown(form_);
    show();
    return;
  }
  platform_.FormShown(form_);
  if (FullScreen()) {
    // The covers first: window managers and compositors give the keyboard to the window shown
    // last, and a cover on X11 takes no focus and could not pass keys on.
    QScreen* screen = SlideShowScreen();
    setScreen(screen);
    covers_.Update(true);
    HoldKeyboardWhenShown(*this);
    ShowFullScreen(*this, screen);
  } else {
    ApplyWindowGeometry();
    show();
  }
  raise();
  activateWindow();
  // The keyboard goes to the first Tab stop, as in any dialog; a form without one keeps it.
  if (const Control* first = forms::NextFocus(form_, nullptr, false)) {
    widgets_.at(first)->setFocus(Qt::ActiveWindowFocusReason);
  } else {
    setFocus(Qt::ActiveWindowFocusReason);
  }
}

bool FormWidget::focusNextPrevChild(bool next) {
  // Tab and Shift+Tab walk the form's stops in the order of their tab indexes, wrapping.
  const Control* current = nullptr;
  for (const auto& [control, widget] : widgets_) {
    if (widget == focusWidget()) current = control;
  }
  const Control* to = forms::NextFocus(form_, current, !next);
  if (!to) return QWidget::focusNextPrevChild(next);
  widgets_.at(to)->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
  return true;
}

void FormWidget::PropertyChanged(const forms::Form&, forms::Property p) {
  if (p == Property::Left || p == Property::Top || p == Property::WindowState) {
    ApplyWindowGeometry();
  }
}

bool FormWidget::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* w = qobject_cast<QWidget*>(watched);
    if (w && w->window() == this) platform_.Deliver(form_, Event::KeyDown, nullptr);
  } else if (event->type() == QEvent::ChildAdded) {
    if (auto* w = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child())) WatchInput(w);
  }
  return QWidget::eventFilter(watched, event);
}

void FormWidget::mousePressEvent(QMouseEvent* e) {
  e->accept();
  platform_.Deliver(form_, Event::MouseDown, nullptr);
}

void FormWidget::mouseMoveEvent(QMouseEvent* e) {
  e->accept();
  platform_.DeliverMove(form_, nullptr, e->globalPosition());
}

void FormWidget::paintEvent(QPaintEvent* e) {
  QWidget::paintEvent(e);
  if (!painted_) {
    painted_ = true;
    forms::EventLog::Note("Painted " + form_.design().name);
  }
}

void FormWidget::closeEvent(QCloseEvent* e) {
  platform_.Deliver(form_, Event::QueryUnload, nullptr);
  platform_.Deliver(form_, Event::Unload, nullptr);
  e->accept();
}

}  // namespace quildor::qt
