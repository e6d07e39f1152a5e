// Where the idle watcher learns that the user has been idle for a while, and that they came back.
//
// Each desktop tells it its own way: a Wayland compositor through an idle protocol, GNOME's
// compositor over the session bus, an X server through its idle counter. One source is chosen
// at start, the first of those the session offers; it calls `on_idle` each time the user has been
// idle for the time asked (once per idle period: the next call comes only after input), and
// `on_active` when input ends an idle period.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace quildor::idle {

class IdleSource {
 public:
  virtual ~IdleSource() = default;

  // What the source is, for the line the watcher prints at start.
  virtual std::string Name() const = 0;

  // Whether something asks the desktop not to go idle now (a video player, a presentation),
  // where the source cannot leave that to the desktop itself.
  virtual bool Inhibited() { return false; }

  // Whether Inhibited asks the desktop's session manager, which players' inhibitions made on the
  // desktop's own org.freedesktop.ScreenSaver reach.
  virtual bool AsksSessionManager() const { return false; }

  std::function<void()> on_idle;
  std::function<void()> on_active;
};

// The first source the session offers, in this order: a Wayland compositor's ext-idle-notify-v1,
// or its older KDE idle protocol; GNOME's idle monitor on the session bus; outside a Wayland
// session, the X server's IDLETIME counter (Xwayland's would count only the input that X programs
// get). Null where none is there.
std::unique_ptr<IdleSource> FindIdleSource(std::chrono::milliseconds timeout);

std::unique_ptr<IdleSource> WaylandIdleSource(std::chrono::milliseconds timeout);
std::unique_ptr<IdleSource> GnomeIdleSource(std::chrono::milliseconds timeout);
std::unique_ptr<IdleSource> X11IdleSource(std::chrono::milliseconds timeout);

}  // namespace quildor::idle
