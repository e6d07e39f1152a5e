// Where the full-screen slide show and its covers go, on X11 and on Wayland alike.
//
// The slide show fills the desktop's primary screen (a bare X server's RandR primary, and GNOME's
// or KDE Plasma's as their Xwayland names it; where no primary is told, the output at the
// layout's origin) and every other screen gets a black cover, with the blank pointer, whose input
// counts as input on the slide show. On X11 a program places its windows itself; a
// Wayland client cannot, and can only ask to be full screen on a chosen output, so each window's
// screen is set before it is shown and the full-screen request names it. Under Xwayland the
// compositor's window manager places, stacks and focuses the full-screen windows, except wlroots'
// (sway's), which would put every managed window on the focused output: there the windows bypass
// it, are placed as on a bare X server, and take the keyboard with a grab.
#pragma once

#include <QCursor>
#include <QScreen>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

#include "forms/form.h"
#include "platform/qt/qt_form_host.h"

namespace quildor::qt {


// The screen the full-screen slide show belongs on.
QScreen* SlideShowScreen();

// A pointer that shows nothing: a transparent image, not Qt::BlankCursor, which Qt 6.4's Wayland
// plugin never applies to a surface that has had no cursor before.
QCursor BlankCursor();

// Shows the top-level widget `w`, not yet shown, full screen on `screen`, where the compositor or
// window manager leaves it.
void ShowFullScreen(QWidget& w, QScreen* screen);

// Puts the full-screen widget `w` over `screen` again, after its geometry or state was changed.
void KeepFullScreen(QWidget& w, QScreen* screen);

// What the X server's DPMS extension says of the displays: off while it manages their power and
// has put them in standby, suspend or off (DPMS_MODE_STANDBY, _SUSPEND, _OFF).
bool DpmsSaysOff(bool enabled, std::uint16_t power_level);

// Whether the slide show's window `w` can be seen: its window exposed (a Wayland compositor
// stops a window's frame callbacks, or suspends it, while nothing of it can be seen, and Qt then
// takes it as no longer exposed), and on X11 the displays not powered off, as the server's DPMS
// extension says now (Xvfb, Xorg's dummy driver and Xwayland have none: there they count as on).
bool CanBeSeen(const QWidget& w);

// Gives the full-screen window `w` the keyboard once it is on the screen, where it would not get
// it otherwise: under Xwayland where the window bypasses the window manager, which lets no window
// it does not manage take the X focus, so that only a keyboard grab brings it keys.
void HoldKeyboardWhenShown(QWidget& w);


// The black covers over every screen but the one the slide show `shown` is on, made anew whenever
// screens come, go or change size while the show runs (the slide show keeps its screen and the
// layout it was given at load).
class ScreenCovers : public QObject {
 public:
  ScreenCovers(ViewServices& platform, forms::Form& form, QWidget& shown);
  ~ScreenCovers() override;

  // Covers every other screen (`on`) or none.
  void Update(bool on);

 private:
  class Cover;
  ViewServices& platform_;
  forms::Form& form_;
  QWidget& shown_;
  bool on_ = false;
  std::vector<std::unique_ptr<Cover>> covers_;
};

}  // namespace quildor::qt
