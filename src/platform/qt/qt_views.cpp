#include "platform/qt/qt_views.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QToolButton>
#include <algorithm>

#include "forms/drawing.h"
#include "forms/event_log.h"
#include "platform/qt/qt_platform.h"

namespace quildor::qt {

using forms::Control;
using forms::ControlKind;
using forms::Event;
using forms::Property;
using forms::TwipsToPixels;

QColor ToQColor(const forms::Color& c) {
  switch (c.system) {
    case forms::Color::System::None: return QColor(c.r, c.g, c.b);
    case forms::Color::System::ButtonText: return QApplication::palette().color(QPalette::ButtonText);
    case forms::Color::System::ButtonFace: return QApplication::palette().color(QPalette::Button);
    case forms::Color::System::WindowBackground:
      return QApplication::palette().color(QPalette::Window);
  }
  return QColor(c.r, c.g, c.b);
}

QFont ToQFont(const forms::Font& f) {
  QFont font(QString::fromStdString(f.name));
  // Point sizes at the 96 pixels per inch that 15 twips per pixel stands for: 8.25 pt is 11 px.
  font.setPixelSize(forms::FontPixelHeight(f.points));
  font.setBold(f.bold);
  return font;
}

const QImage* ImageOf(const forms::Picture& p) {
  return p && p->native ? static_cast<const QImage*>(p->native.get()) : nullptr;
}

namespace {

QRect ToQRect(const forms::PixelRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

QRect TwipsRect(const Control& c) { return ToQRect(forms::ControlRect(c)); }

// Fills each strip the core computed (bevels, 3-D borders) with its shade's colour.
void FillStrips(QPainter& p, const std::vector<forms::Strip>& strips) {
  for (const forms::Strip& s : strips) {
    p.fillRect(ToQRect(s.rect), ToQColor(forms::ShadeColor(s.shade)));
  }
}

// Turns the painter to device pixels from the widget's top left, and gives the widget's rectangle
// in them with the scale: the strips the core computes at that scale are whole device pixels, at
// fractional scales too, where Qt's own rounding of logical strips would make them uneven.
struct DeviceCanvas {
  forms::Scale scale;
  forms::PixelRect rect;
};
DeviceCanvas InDevicePixels(QPainter& p, const QWidget& w) {
  const qreal dpr = w.devicePixelRatioF();
  p.scale(1 / dpr, 1 / dpr);
  return {forms::Scale{dpr}, forms::PixelRect{0, 0, qRound(w.width() * dpr),
                                              qRound(w.height() * dpr)}};
}

// What every control view shares: geometry from the model, and input that stops at the control.
template <class Base>
class ControlWidgetBase : public Base, public forms::ControlView {
 public:
  ControlWidgetBase(FormWidget& form, Control& c, QWidget* parent)
      : Base(parent), form_(form), c_(c) {
    this->setObjectName(QString::fromStdString(c.Name()));
    this->setMouseTracking(true);
    this->setGeometry(TwipsRect(c));
    this->setVisible(c.Visible());
    c.AttachView(this);
  }
  ~ControlWidgetBase() override { c_.AttachView(nullptr); }

  void PropertyChanged(const Control&, Property p) override {
    switch (p) {
      case Property::Left:
      case Property::Top:
      case Property::Width:
      case Property::Height: this->setGeometry(TwipsRect(c_)); break;
      case Property::Visible: this->setVisible(c_.Visible()); break;
      case Property::Enabled: this->setEnabled(c_.Enabled()); break;
      default: this->update(); break;
    }
  }

 protected:
  void Deliver(Event e) { form_.platform().Deliver(form_.form(), e, &c_); }

  void mousePressEvent(QMouseEvent* e) override {
    e->accept();
    pressed_ = true;
    Deliver(Event::MouseDown);
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    e->accept();
    const bool click = pressed_ && this->rect().contains(e->position().toPoint());
    pressed_ = false;
    if (click) Deliver(Event::Click);
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    e->accept();
    Deliver(Event::MouseMove);
  }
  void mouseDoubleClickEvent(QMouseEvent* e) override { e->accept(); }

  FormWidget& form_;
  Control& c_;
  bool pressed_ = false;
};

class PanelWidget : public ControlWidgetBase<QWidget> {
 public:
  using ControlWidgetBase::ControlWidgetBase;

 protected:
  void paintEvent(QPaintEvent*) override {
    const auto& d = c_.design();
    QPainter p(this);
    p.fillRect(rect(), ToQColor(d.back_color));
    p.save();
    const DeviceCanvas canvas = InDevicePixels(p, *this);
    FillStrips(p, forms::Panel(d, canvas.rect, canvas.scale).strips);
    p.restore();
    if (!c_.Caption().empty()) {
      p.setPen(ToQColor(d.fore_color));
      p.setFont(ToQFont(d.font));
      p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, QString::fromStdString(c_.Caption()));
    }
  }
};

class ImageWidget : public ControlWidgetBase<QWidget> {
 public:
  using ControlWidgetBase::ControlWidgetBase;

  void PropertyChanged(const Control& c, Property p) override {
    if (p == Property::Picture) scaled_ = QImage();
    ControlWidgetBase::PropertyChanged(c, p);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    const auto& d = c_.design();
    QPainter p(this);
    const DeviceCanvas canvas = InDevicePixels(p, *this);
    const forms::ImageGeometry geometry = forms::Image(d, canvas.rect, canvas.scale);
    FillStrips(p, geometry.strips);
    const QImage* image = ImageOf(c_.GetPicture());
    if (!image || image->isNull()) return;
    const QRect area = ToQRect(geometry.area);
    // Drawn 1:1 in device pixels: a picture of exactly the size it takes on the screen (as the
    // loader makes photographs) as it is; any other (the built-in pictures, a high-DPI screen)
    // scaled smoothly once per picture and size rather than at every repaint.
    const qreal scale = canvas.scale.device_per_logical;
    const QSizeF own = QSizeF(image->size()) / image->devicePixelRatio();
    const QSize device = d.stretch ? area.size() : (own * scale).toSize();
    const QImage* shown = image;
    if (image->size() != device) {
      if (scaled_.size() != device) {
        scaled_ = image->scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
      }
      shown = &scaled_;
    }
    QImage pixels = *shown;   // shares the pixels; one image pixel to one device pixel
    pixels.setDevicePixelRatio(1);
    p.drawImage(area.topLeft(), pixels,
                QRect(0, 0, std::min(area.width(), device.width()),
                      std::min(area.height(), device.height())));
  }

 private:
  QImage scaled_;
};

class LabelWidget : public ControlWidgetBase<QWidget> {
 public:
  using ControlWidgetBase::ControlWidgetBase;

 protected:
  void paintEvent(QPaintEvent*) override {
    const auto& d = c_.design();
    QPainter p(this);
    if (!d.transparent) p.fillRect(rect(), ToQColor(d.back_color));
    p.setPen(ToQColor(d.fore_color));
    p.setFont(ToQFont(d.font));
    const int align = (d.alignment == forms::Align::Center ? Qt::AlignHCenter : Qt::AlignLeft) |
                      Qt::AlignTop | Qt::TextWordWrap;
    p.drawText(rect(), align, QString::fromStdString(c_.Caption()));
  }
};

class CommandWidget : public ControlWidgetBase<QPushButton> {
 public:
  CommandWidget(FormWidget& form, Control& c, QWidget* parent)
      : ControlWidgetBase(form, c, parent) {
    const auto& d = c.design();
    setText(QString::fromStdString(c.Caption()));
    setFont(ToQFont(d.font));
    QPalette pal = palette();
    pal.setColor(QPalette::ButtonText, ToQColor(d.fore_color));
    pal.setColor(QPalette::Button, ToQColor(d.back_color));
    setPalette(pal);
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, [this] { Deliver(Event::Click); });
  }

  void PropertyChanged(const Control& c, Property p) override {
    if (p == Property::Caption) setText(QString::fromStdString(c.Caption()));
    ControlWidgetBase::PropertyChanged(c, p);
  }

 protected:
  // A push button handles its own presses and releases (and raises Click); it only keeps mouse
  // events from reaching the form beneath.
  void mousePressEvent(QMouseEvent* e) override { QPushButton::mousePressEvent(e); }
  void mouseReleaseEvent(QMouseEvent* e) override { QPushButton::mouseReleaseEvent(e); }
  void mouseMoveEvent(QMouseEvent* e) override {
    QPushButton::mouseMoveEvent(e);
    e->accept();
  }
};

// A pair of arrow buttons side by side: the left one steps down, the right one up. Both repeat
// every 250 ms while held.
class SpinWidget : public ControlWidgetBase<QWidget> {
 public:
  SpinWidget(FormWidget& form, Control& c, QWidget* parent) : ControlWidgetBase(form, c, parent) {
    const auto& d = c.design();
    setToolTip(QString::fromStdString(d.tooltip));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ToQColor(d.back_color));
    pal.setColor(QPalette::Button, ToQColor(d.back_color));
    pal.setColor(QPalette::ButtonText, ToQColor(d.fore_color));
    setPalette(pal);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    down_ = MakeArrow(Qt::LeftArrow, "SpinDown", Event::SpinDown);
    up_ = MakeArrow(Qt::RightArrow, "SpinUp", Event::SpinUp);
    layout->addWidget(down_);
    layout->addWidget(up_);
  }

 private:
  QToolButton* MakeArrow(Qt::ArrowType arrow, const char* name, Event e) {
    auto* b = new QToolButton(this);
    b->setObjectName(QString::fromStdString(c_.Name()) + "." + name);
    b->setArrowType(arrow);
    b->setAutoRepeat(true);
    b->setAutoRepeatDelay(250);
    b->setAutoRepeatInterval(250);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    b->setFocusPolicy(Qt::NoFocus);
    b->setToolTip(toolTip());
    connect(b, &QToolButton::clicked, this, [this, e] { Deliver(e); });
    return b;
  }

  QToolButton* down_ = nullptr;
  QToolButton* up_ = nullptr;
};

}  // namespace

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

FormWidget::FormWidget(QtPlatform& platform, forms::Form& form)
    : QWidget(nullptr), platform_(platform), form_(form) {
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
  if (d.blank_pointer) setCursor(Qt::BlankCursor);
  // The window's icon for task switchers and title bars: the car, as on Windows; a window
  // without one shows none of its own.
  setWindowIcon(d.has_icon ? QIcon(QStringLiteral(":/quildor/quildor.ico")) : QIcon());
  setGeometry(TwipsToPixels(form.Left()), TwipsToPixels(form.Top()),
              TwipsToPixels(d.client_width), TwipsToPixels(d.client_height));
  if (!d.frameless) setFixedSize(size());
  CreateControls();
  WatchInput(this);
  form.AttachView(this);
  // Monitors plugged in or out during a full-screen show get their covers too; the slide show
  // keeps the layout it was given at load.
  const auto update = [this] { UpdateCovers(); };
  connect(qGuiApp, &QGuiApplication::screenAdded, this, update, Qt::QueuedConnection);
  connect(qGuiApp, &QGuiApplication::screenRemoved, this, update, Qt::QueuedConnection);
  connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, update, Qt::QueuedConnection);
}

// A plain black window over one of the other screens while the full-screen slide show runs, so
// that the whole desktop is covered, with the blank pointer. Its input counts as input on the
// slide show's own surface (a key or a button ends the show, a move counts toward its fourth);
// it never takes the keyboard focus, which stays where the slide show's key handler gets keys.
class FormWidget::CoverWidget : public QWidget {
 public:
  CoverWidget(FormWidget& owner, QScreen* screen)
      : QWidget(&owner, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                            Qt::WindowDoesNotAcceptFocus),
        owner_(owner) {
    setObjectName(QStringLiteral("Cover"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::BlankCursor);
    setMouseTracking(true);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setScreen(screen);
    setGeometry(screen->geometry());
  }

 protected:
  void keyPressEvent(QKeyEvent* e) override { Pass(e, Event::KeyDown); }
  void mousePressEvent(QMouseEvent* e) override { Pass(e, Event::MouseDown); }
  void mouseMoveEvent(QMouseEvent* e) override { Pass(e, Event::MouseMove); }

 private:
  void Pass(QEvent* e, Event event) {
    e->accept();
    owner_.platform().Deliver(owner_.form(), event, nullptr);
  }
  FormWidget& owner_;
};

FormWidget::~FormWidget() {
  form_.AttachView(nullptr);
  covers_.clear();
  timers_.clear();
}

void FormWidget::UpdateCovers() {
  covers_.clear();
  const bool full_screen = form_.State() == forms::WindowState::Maximized &&
                           form_.design().frameless && !platform_.ForeignWindow();
  if (!full_screen || !isVisible()) return;
  for (QScreen* screen : QGuiApplication::screens()) {
    if (screen == QGuiApplication::primaryScreen()) continue;
    auto cover = std::make_unique<CoverWidget>(*this, screen);
    cover->show();
    cover->raise();
    connect(screen, &QScreen::geometryChanged, cover.get(), [this] { UpdateCovers(); },
            Qt::QueuedConnection);
    covers_.push_back(std::move(cover));
  }
}

void FormWidget::hideEvent(QHideEvent* e) {
  covers_.clear();
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
    QWidget* w = nullptr;
    switch (c.Kind()) {
      case ControlKind::Panel3D: w = new PanelWidget(*this, c, parent); break;
      case ControlKind::Image: w = new ImageWidget(*this, c, parent); break;
      case ControlKind::Label: w = new LabelWidget(*this, c, parent); break;
      case ControlKind::Command3D: w = new CommandWidget(*this, c, parent); break;
      case ControlKind::SpinButton: w = new SpinWidget(*this, c, parent); break;
      case ControlKind::Timer: break;
    }
    widgets_[&c] = w;
    if (forms::IsWindowed(c.Kind())) windowed.push_back(w);
    if (c.design().tab_index < 0 || c.Kind() == ControlKind::Panel3D) w->setFocusPolicy(Qt::NoFocus);
  }
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
  if (form_.State() == forms::WindowState::Maximized && d.frameless) {
    // Covers the whole screen whether or not a window manager runs: the geometry is set
    // directly, and a window manager is also asked for the full-screen state.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    setGeometry(screen);
    if (isVisible()) setWindowState(windowState() | Qt::WindowFullScreen);
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
    show();
    return;
  }
  ApplyWindowGeometry();
  show();
  if (form_.State() == forms::WindowState::Maximized && form_.design().frameless) {
    setWindowState(windowState() | Qt::WindowFullScreen);
    setGeometry(QGuiApplication::primaryScreen()->geometry());
  }
  raise();
  activateWindow();
  setFocus(Qt::ActiveWindowFocusReason);
  UpdateCovers();
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
  platform_.Deliver(form_, Event::MouseMove, nullptr);
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
