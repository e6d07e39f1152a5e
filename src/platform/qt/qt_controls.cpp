#include "platform/qt/qt_controls.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QtMath>
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "forms/drawing.h"
#include "forms/event_log.h"
#include "forms/keyboard.h"
#include "platform/qt/qt_accessible.h"

namespace quildor::qt {

using forms::Control;
using forms::ControlKind;
using forms::Event;
using forms::Property;

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
class ControlWidgetBase : public Base, public forms::ControlView, public ControlWidget {
 public:
  ControlWidgetBase(FormHost& form, Control& c, QWidget* parent)
      : Base(parent), form_(form), c_(c) {
    this->setObjectName(QString::fromStdString(c.Name()));
    this->setMouseTracking(true);
    this->setGeometry(TwipsRect(c));
    this->setVisible(c.Visible());
    c.AttachView(this);
  }
  ~ControlWidgetBase() override { c_.AttachView(nullptr); }

  FormHost& form() const override { return form_; }
  const Control& control() const override { return c_; }

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
    form_.platform().DeliverMove(form_.form(), &c_, e->globalPosition());
  }
  void mouseDoubleClickEvent(QMouseEvent* e) override { e->accept(); }
  void focusInEvent(QFocusEvent* e) override {
    Base::focusInEvent(e);
    forms::EventLog::Note("Focus " + c_.Name());
  }

  FormHost& form_;
  Control& c_;
  bool pressed_ = false;
};

class PanelWidget : public ControlWidgetBase<QWidget> {
 public:
  PanelWidget(FormHost& form, Control& c, QWidget* parent)
      : ControlWidgetBase(form, c, parent), caption_(c.Caption()) {}

  void PropertyChanged(const Control& c, Property p) override {
    if (p != Property::Caption) {
      ControlWidgetBase::PropertyChanged(c, p);
      return;
    }
    // The same caption again (every photograph of one collection sets the collection's name)
    // leaves the panel as it stands: nothing to draw.
    if (c_.Caption() != caption_) {
      caption_ = c_.Caption();
      update();
    }
    if (const Control* spin = forms::ValueShownBy(form_.form(), c_)) AnnounceValue(form_, *spin);
  }

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

 private:
  std::string caption_;   // the caption the panel last drew, or will draw
};

class ImageWidget : public ControlWidgetBase<QWidget> {
 public:
  ImageWidget(FormHost& form, Control& c, QWidget* parent) : ControlWidgetBase(form, c, parent) {
    NoteCover();
  }

  void PropertyChanged(const Control& c, Property p) override {
    if (p == Property::Picture) {
      scaled_ = QImage();
      NoteCover();
    }
    ControlWidgetBase::PropertyChanged(c, p);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    NoteCover();   // for the next paint, on a screen of another scale
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
  // A stretched picture without transparency covers every pixel of the control: Qt then paints
  // nothing of what lies beneath it (the panel around the photograph, the form's background)
  // before each new photograph. Any other picture lets what lies beneath show where it does not
  // reach, as an image control does; so does every picture at a fractional scale, where the
  // picture's whole device pixels can fall half a pixel short of the control's edge.
  void NoteCover() {
    const QImage* image = ImageOf(c_.GetPicture());
    const qreal dpr = devicePixelRatioF();
    setAttribute(Qt::WA_OpaquePaintEvent, c_.design().stretch && image && !image->isNull() &&
                                              !image->hasAlphaChannel() && dpr == qFloor(dpr));
  }

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
  CommandWidget(FormHost& form, Control& c, QWidget* parent)
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
  // Space clicks on its release (the push button's own handling), Enter at once; the arrow keys
  // do not move the focus (only Tab does).
  void keyPressEvent(QKeyEvent* e) override {
    switch (e->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        if (!e->isAutoRepeat()) click();
        e->accept();
        return;
      case Qt::Key_Up:
      case Qt::Key_Down:
      case Qt::Key_Left:
      case Qt::Key_Right: e->ignore(); return;
      default: QPushButton::keyPressEvent(e); return;
    }
  }
};

// The dotted focus rectangle over a spin button's arrows while the spin button has the focus.
class FocusMark : public QWidget {
 public:
  explicit FocusMark(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!parentWidget()->hasFocus()) return;
    QPainter p(this);
    p.setPen(QPen(Qt::black, 1, Qt::DotLine));
    p.drawRect(rect().adjusted(3, 3, -4, -4));
  }
};

// A pair of arrow buttons side by side: the left one steps down, the right one up. Both repeat
// every 250 ms while held. With the focus, the arrow keys press the arrow of their direction
// (Up and Right the up arrow) for as long as they are held, so that they step and repeat
// exactly as the arrows do.
class SpinWidget : public ControlWidgetBase<QWidget> {
 public:
  SpinWidget(FormHost& form, Control& c, QWidget* parent) : ControlWidgetBase(form, c, parent) {
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
    mark_ = new FocusMark(this);
  }

 protected:
  void resizeEvent(QResizeEvent* e) override {
    ControlWidgetBase::resizeEvent(e);
    mark_->setGeometry(rect());
    mark_->raise();
  }
  void focusInEvent(QFocusEvent* e) override {
    ControlWidgetBase::focusInEvent(e);
    mark_->update();
  }
  void focusOutEvent(QFocusEvent* e) override {
    ControlWidgetBase::focusOutEvent(e);
    for (QToolButton* arrow : {down_, up_}) arrow->setDown(false);
    mark_->update();
  }
  void keyPressEvent(QKeyEvent* e) override { PressArrow(e, QEvent::KeyPress); }
  void keyReleaseEvent(QKeyEvent* e) override { PressArrow(e, QEvent::KeyRelease); }

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

  // An arrow key goes to its arrow as the Space key, which presses a button while it is held
  // (held keys repeat nothing of their own: the arrow's repeat does).
  void PressArrow(QKeyEvent* e, QEvent::Type type) {
    std::optional<forms::ArrowKey> key;
    switch (e->key()) {
      case Qt::Key_Left: key = forms::ArrowKey::Left; break;
      case Qt::Key_Up: key = forms::ArrowKey::Up; break;
      case Qt::Key_Right: key = forms::ArrowKey::Right; break;
      case Qt::Key_Down: key = forms::ArrowKey::Down; break;
      default: e->ignore(); return;
    }
    QToolButton* arrow = forms::SpinEventFor(*key) == Event::SpinUp ? up_ : down_;
    QKeyEvent space(type, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), e->isAutoRepeat());
    QCoreApplication::sendEvent(arrow, &space);
    e->accept();
  }

  QToolButton* down_ = nullptr;
  QToolButton* up_ = nullptr;
  FocusMark* mark_ = nullptr;
};

}  // namespace

QWidget* CreateControlWidget(FormHost& form, Control& c, QWidget* parent) {
  switch (c.Kind()) {
    case ControlKind::Panel3D: return new PanelWidget(form, c, parent);
    case ControlKind::Image: return new ImageWidget(form, c, parent);
    case ControlKind::Label: return new LabelWidget(form, c, parent);
    case ControlKind::Command3D: return new CommandWidget(form, c, parent);
    case ControlKind::SpinButton: return new SpinWidget(form, c, parent);
    case ControlKind::Timer: break;
  }
  return nullptr;
}

}  // namespace quildor::qt
