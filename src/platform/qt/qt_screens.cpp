#include "platform/qt/qt_screens.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QWindow>

#include <cstddef>
#include <optional>
#include <vector>

#include "forms/screens.h"

namespace quildor::qt {

namespace {

bool OnWayland() { return QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

// An X11 program whose X server is XWayland: a Wayland compositor manages its windows.
bool OnXWayland() {
  return QGuiApplication::platformName() == QLatin1String("xcb") &&
         (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
          qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland"));
}

}  // namespace

QScreen* SlideShowScreen() {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screens.isEmpty()) return QGuiApplication::primaryScreen();
  // A bare X server names its primary output (RandR); a Wayland compositor tells a Qt client
  // none, and Qt takes the first output announced, as sway's Xwayland does for RandR.
  const bool named = !OnWayland() && !OnXWayland();
  std::vector<forms::ScreenPlace> places;
  std::optional<std::size_t> primary;
  for (QScreen* screen : screens) {
    if (named && screen == QGuiApplication::primaryScreen()) primary = places.size();
    places.push_back({screen->geometry().x(), screen->geometry().y()});
  }
  return screens[static_cast<qsizetype>(forms::SlideShowScreenIndex(places, primary))];
}

QCursor BlankCursor() {
  // A pixmap, not a bitmap and mask: Qt's Wayland plugin makes a cursor image from the pixmap
  // alone, and one made of a bitmap would be empty.
  QPixmap clear(16, 16);
  clear.fill(Qt::transparent);
  return QCursor(clear, 0, 0);
}

void ShowFullScreen(QWidget& w, QScreen* screen) {
  // A window that bypasses the window manager is placed where its geometry says, above the
  // managed ones; it gets no keyboard focus from the compositor (see HoldKeyboardWhenShown).
  if (OnXWayland()) w.setWindowFlag(Qt::X11BypassWindowManagerHint);
  // The screen and geometry are set before the window exists, so that a Wayland full-screen
  // request names this output (Qt takes a window's screen from its position too). On X11 the
  // geometry is set again once shown, and a window manager is asked for the full-screen state as
  // well, so that the window covers the screen with or without one.
  w.setScreen(screen);
  w.setGeometry(screen->geometry());
  w.setWindowState(w.windowState() | Qt::WindowFullScreen);
  w.show();
  if (!OnWayland()) w.setGeometry(screen->geometry());
}

namespace {

// Grabs the keyboard for the widget it watches at the widget's first paint, when its window is
// on the screen (an X server grants a grab to viewable windows only); then removes itself.
class GrabWhenPainted : public QObject {
 public:
  explicit GrabWhenPainted(QWidget& w) : QObject(&w), w_(w) { w.installEventFilter(this); }

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) {
      w_.grabKeyboard();
      deleteLater();
      w_.removeEventFilter(this);
    }
    return false;
  }

 private:
  QWidget& w_;
};

}  // namespace

void HoldKeyboardWhenShown(QWidget& w) {
  if (OnXWayland()) new GrabWhenPainted(w);
}

// A plain black window over one of the other screens. Its keys, buttons and moves are the slide
// show's own (a key or a button ends the show, a move counts toward its fourth). On X11 it never
// takes the keyboard, which stays with the slide show; a Wayland compositor may give the keyboard
// to any window, and the cover then passes the keys on.
class ScreenCovers::Cover : public QWidget {
 public:
  Cover(ViewServices& platform, forms::Form& form, QScreen* screen)
      : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                             Qt::WindowDoesNotAcceptFocus),
        platform_(platform),
        form_(form) {
    // A window of its own, not a child of the slide show's: a Wayland compositor would make a
    // child a floating dialog over its parent instead of a full-screen window on its output.
    setObjectName(QStringLiteral("Cover"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setCursor(BlankCursor());
    setMouseTracking(true);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    ShowFullScreen(*this, screen);
    raise();
  }

 protected:
  void keyPressEvent(QKeyEvent* e) override { Pass(e, forms::Event::KeyDown); }
  void mousePressEvent(QMouseEvent* e) override { Pass(e, forms::Event::MouseDown); }
  void mouseMoveEvent(QMouseEvent* e) override {
    e->accept();
    platform_.DeliverMove(form_, nullptr, e->globalPosition());
  }

 private:
  void Pass(QEvent* e, forms::Event event) {
    e->accept();
    platform_.Deliver(form_, event, nullptr);
  }
  ViewServices& platform_;
  forms::Form& form_;
};

ScreenCovers::ScreenCovers(ViewServices& platform, forms::Form& form, QWidget& shown)
    : platform_(platform), form_(form), shown_(shown) {
  const auto update = [this] { Update(on_); };
  connect(qGuiApp, &QGuiApplication::screenAdded, this, update, Qt::QueuedConnection);
  connect(qGuiApp, &QGuiApplication::screenRemoved, this, update, Qt::QueuedConnection);
}

ScreenCovers::~ScreenCovers() = default;

void ScreenCovers::Update(bool on) {
  on_ = on;
  covers_.clear();
  if (!on) return;
  for (QScreen* screen : QGuiApplication::screens()) {
    if (screen == shown_.screen()) continue;
    covers_.push_back(std::make_unique<Cover>(platform_, form_, screen));
    connect(screen, &QScreen::geometryChanged, covers_.back().get(), [this] { Update(on_); },
            Qt::QueuedConnection);
  }
}

}  // namespace quildor::qt
