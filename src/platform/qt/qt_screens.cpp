#include "platform/qt/qt_screens.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QWindow>
#include <xcb/dpms.h>
#include <xcb/xcb.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
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

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
  xcb_atom_t atom = XCB_ATOM_NONE;
  if (reply) atom = reply->atom;
  std::free(reply);
  return atom;
}

// The value of the X window `w`'s property `property` of type `type`, as bytes; empty if unset.
std::string Property(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type) {
  xcb_get_property_reply_t* reply =
      xcb_get_property_reply(c, xcb_get_property(c, 0, w, property, type, 0, 256), nullptr);
  std::string value;
  if (reply) {
    const auto* bytes = static_cast<const char*>(xcb_get_property_value(reply));
    value.assign(bytes, static_cast<std::size_t>(xcb_get_property_value_length(reply)));
  }
  std::free(reply);
  return value;
}

// The name the running X window manager gives itself (the _NET_WM_NAME of the window that the
// root's _NET_SUPPORTING_WM_CHECK names), or empty where none runs.
std::string ReadWindowManagerName() {
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  if (!x11) return {};
  xcb_connection_t* c = x11->connection();
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  const std::string check =
      Property(c, root, Atom(c, "_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW);
  if (check.size() != sizeof(xcb_window_t)) return {};
  xcb_window_t wm = 0;
  std::memcpy(&wm, check.data(), sizeof wm);
  return Property(c, wm, Atom(c, "_NET_WM_NAME"), Atom(c, "UTF8_STRING"));
}

// The Xwayland window manager's name, read from the server once; empty off Xwayland.
const std::string& XWaylandWindowManager() {
  static const std::string name = OnXWayland() ? ReadWindowManagerName() : std::string();
  return name;
}

// Whether the full-screen windows bypass the window manager. Only under Xwayland, and only where
// the compositor's window manager is wlroots' (sway and its kin): it puts every window it manages
// on the output that has the focus, whatever the window asks. mutter's, kwin's and weston's place
// a full-screen window on the output it stands on, keep it above their panels and give it the
// keyboard; bypassing them would leave it without keys, since none of them lets an X client's
// own keyboard grab take the keyboard from the compositor.
bool BypassWindowManager() { return XWaylandWindowManager() == "wlroots wm"; }

// Whether Qt's primary screen is the one the desktop calls primary: a bare X server's RandR
// primary, and under Xwayland the RandR primary that mutter (GNOME's) and kwin (KDE Plasma's) set
// from the desktop's own. A Wayland compositor tells a client none; weston's Xwayland names
// none, and wlroots' names merely the first output announced.
bool PrimaryIsTold() {
  if (OnWayland()) return false;
  if (!OnXWayland()) return true;
  const std::string& wm = XWaylandWindowManager();
  return wm == "Mutter" || wm == "GNOME Shell" || wm == "KWin";
}

}  // namespace

QScreen* SlideShowScreen() {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screens.isEmpty()) return QGuiApplication::primaryScreen();
  // Where the desktop names no primary, Qt takes the first output announced; the core's rule
  // then takes the output at the layout's origin instead.
  const bool named = PrimaryIsTold();
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
  // The screen and geometry are set before the window exists, so that a Wayland full-screen
  // request names this output (Qt takes a window's screen from its position too). On X11 the
  // geometry is set again once shown, so that the window covers the screen with or without a
  // window manager.
  w.setScreen(screen);
  w.setGeometry(screen->geometry());
  if (BypassWindowManager()) {
    // Placed where its geometry says, above the managed windows; it gets no keyboard focus from
    // the compositor (see HoldKeyboardWhenShown). It asks for no window-manager state: a window
    // manager takes such a request as one for a window it frames (weston's aborts on it).
    w.setWindowFlag(Qt::X11BypassWindowManagerHint);
  } else {
    w.setWindowState(w.windowState() | Qt::WindowFullScreen);
  }
  w.show();
  if (!OnWayland()) w.setGeometry(screen->geometry());
}

void KeepFullScreen(QWidget& w, QScreen* screen) {
  w.setGeometry(screen->geometry());
  if (w.isVisible() && !BypassWindowManager()) {
    w.setWindowState(w.windowState() | Qt::WindowFullScreen);
  }
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

bool DpmsSaysOff(bool enabled, std::uint16_t power_level) {
  return enabled && power_level != XCB_DPMS_DPMS_MODE_ON;
}

bool CanBeSeen(const QWidget& w) {
  const QWindow* window = w.window()->windowHandle();
  if (window && !window->isExposed()) return false;
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  if (!x11) return true;
  // Asked when a tick falls due, as XScreenSaver asks before each frame of its display hacks.
  xcb_connection_t* c = x11->connection();
  const xcb_query_extension_reply_t* dpms = xcb_get_extension_data(c, &xcb_dpms_id);
  if (!dpms || !dpms->present) return true;
  xcb_dpms_info_reply_t* info = xcb_dpms_info_reply(c, xcb_dpms_info(c), nullptr);
  if (!info) return true;
  const bool off = DpmsSaysOff(info->state != 0, info->power_level);
  std::free(info);
  return !off;
}

void HoldKeyboardWhenShown(QWidget& w) {
  if (BypassWindowManager()) new GrabWhenPainted(w);
}

// A plain black window over one of the other screens. Its keys, buttons and moves are the slide
// show's own (a key or a button ends the show, a move counts toward its fourth). On X11 it never
// takes the keyboard, which stays with the slide show; a Wayland compositor may give the keyboard
// to any window, and the cover then passes the keys on.
class ScreenCovers::Cover : public QWidget {
 public:
  Cover(ViewServices& platform, forms::Form& form, QWidget& shown, QScreen* screen)
      : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                             Qt::WindowDoesNotAcceptFocus),
        platform_(platform),
        form_(form),
        shown_(shown) {
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
  // A key goes where the slide show's window would take it: to the show, or to the box standing
  // inside it (whose button acts on the press or the release).
  void keyPressEvent(QKeyEvent* e) override { PassKey(e); }
  void keyReleaseEvent(QKeyEvent* e) override { PassKey(e); }
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
  void PassKey(QKeyEvent* e) {
    e->accept();
    QKeyEvent copy(e->type(), e->key(), e->modifiers(), e->text(), e->isAutoRepeat());
    QCoreApplication::sendEvent(shown_.focusWidget() ? shown_.focusWidget() : &shown_, &copy);
  }
  ViewServices& platform_;
  forms::Form& form_;
  QWidget& shown_;
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
    covers_.push_back(std::make_unique<Cover>(platform_, form_, shown_, screen));
    connect(screen, &QScreen::geometryChanged, covers_.back().get(), [this] { Update(on_); },
            Qt::QueuedConnection);
  }
  // A cover made during the show may have been given the keyboard; it goes back to the show.
  if (shown_.isVisible() && !covers_.empty()) shown_.activateWindow();
}

}  // namespace quildor::qt
