#include "platform/qt/qt_box_inside.h"

#include <QAccessible>
#include <QDialogButtonBox>
#include <QEvent>
#include <QEventLoop>
#include <QFont>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <Qt>

#include <algorithm>

namespace quildor::qt {

namespace {

// The box: a framed panel in the colours of a dialog, a title bar in the selection's colours,
// the text and the OK button. Every key and button press on it is its own: none reaches the
// slide show beneath.
class BoxInside : public QFrame {
 public:
  BoxInside(QWidget& show, const QString& title, const QString& text, QEventLoop& loop)
      : QFrame(&show), loop_(loop) {
    setObjectName(QStringLiteral("QuildorMessageBox"));
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setAutoFillBackground(true);
    // A dialog's colours, every one set here, so that none is taken from the slide show's black.
    QPalette colours = QGuiApplication::palette();
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
      const auto r = static_cast<QPalette::ColorRole>(role);
      for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, r, colours.color(group, r));
      }
    }
    setPalette(colours);
    setCursor(Qt::ArrowCursor);
    // A screen reader hears it as the separate box it stands for: an alert named by its title,
    // its message as its description (qt_accessible.cpp gives it the role).
    setAccessibleName(title);
    setAccessibleDescription(text);

    auto* bar = new QLabel(title, this);
    bar->setTextFormat(Qt::PlainText);
    bar->setAutoFillBackground(true);
    QPalette bar_colours = bar->palette();
    bar_colours.setColor(QPalette::Window, bar_colours.color(QPalette::Highlight));
    bar_colours.setColor(QPalette::WindowText, bar_colours.color(QPalette::HighlightedText));
    bar->setPalette(bar_colours);
    QFont bold = bar->font();
    bold.setBold(true);
    bar->setFont(bold);
    bar->setContentsMargins(8, 4, 8, 4);

    // No wrapping and no eliding: the text is shown whole, line by line, as the program wrote it.
    auto* body = new QLabel(text, this);
    body->setTextFormat(Qt::PlainText);
    body->setWordWrap(false);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &loop_, &QEventLoop::quit);

    auto* content = new QVBoxLayout;
    content->setContentsMargins(16, 14, 12, 10);
    content->setSpacing(16);
    content->addWidget(body);
    content->addWidget(buttons);
    auto* whole = new QVBoxLayout(this);
    whole->setContentsMargins(1, 1, 1, 1);
    whole->setSpacing(0);
    whole->addWidget(bar);
    whole->addLayout(content);
    setMinimumWidth(240);
  }

  void TakeKeyboard() { ok_->setFocus(Qt::OtherFocusReason); }

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    e->accept();
    switch (e->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
      case Qt::Key_Escape:
      case Qt::Key_Space: loop_.quit(); return;
      default: return;
    }
  }
  void mousePressEvent(QMouseEvent* e) override { e->accept(); }
  void mouseReleaseEvent(QMouseEvent* e) override { e->accept(); }
  void mouseMoveEvent(QMouseEvent* e) override { e->accept(); }

 private:
  QEventLoop& loop_;
  QPushButton* ok_ = nullptr;
};

// Ends the box's loop when the slide show is closed or hidden under it (an end from outside).
class EndWithShow : public QObject {
 public:
  EndWithShow(QWidget& show, QEventLoop& loop) : QObject(&show), loop_(loop) {
    show.installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Hide || e->type() == QEvent::Close) loop_.quit();
    return false;
  }

 private:
  QEventLoop& loop_;
};

}  // namespace

void ExecInside(QWidget& show, QRect centre, const QString& title, const QString& text) {
  QEventLoop loop;
  QPointer<QWidget> alive(&show);
  auto* box = new BoxInside(show, title, text, loop);
  auto* watch = new EndWithShow(show, loop);
  QObject::connect(&show, &QObject::destroyed, &loop, &QEventLoop::quit);

  box->adjustSize();
  QRect at(QPoint(0, 0), box->size().boundedTo(show.size()));
  at.moveCenter(centre.center());
  at.moveLeft(std::clamp(at.left(), 0, std::max(0, show.width() - at.width())));
  at.moveTop(std::clamp(at.top(), 0, std::max(0, show.height() - at.height())));
  box->setGeometry(at);
  box->show();
  box->raise();
  box->TakeKeyboard();
  // As a message box does when it appears, so that a screen reader reads it out.
  QAccessibleEvent alert(box, QAccessible::Alert);
  QAccessible::updateAccessibility(&alert);
  // Where the show holds a keyboard grab (under Xwayland), every key goes to the grabbing widget:
  // the box takes the grab while it stands and gives it back.
  QPointer<QWidget> holder(QWidget::keyboardGrabber());
  if (holder) box->grabKeyboard();

  loop.exec();

  if (alive) {
    delete watch;
    delete box;
  }
  if (holder) holder->grabKeyboard();
}

}  // namespace quildor::qt
