// GNOME's idle monitor (org.gnome.Mutter.IdleMonitor on the session bus), which mutter offers any
// client of its session; GNOME's compositor has no Wayland idle protocol. When GNOME Shell
// restarts (on X11 Alt+F2 r, or its recovery after a crash) the monitor's owner changes and the
// watches given to the old one are gone: they are given to the new one. A monitor that has gone
// and not come back within a few seconds has ended the session: the watcher ends with a line.
#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <string>

#include "idle/idle_source.h"

namespace quildor::idle {

class GnomeIdle : public QObject, public IdleSource {
  Q_OBJECT

 public:
  explicit GnomeIdle(QDBusConnection bus);

  // Adds the idle watch; false where no idle monitor answers.
  bool Start(std::chrono::milliseconds timeout);

  std::string Name() const override { return "GNOME's idle monitor"; }

  // Asks GNOME's session manager whether a program inhibits idle now.
  bool Inhibited() override;
  bool AsksSessionManager() const override { return true; }

 private slots:
  void WatchFired(uint id);
  void OwnerChanged(const QString& name, const QString& old_owner, const QString& new_owner);

 private:
  bool AddIdleWatch();

  QDBusConnection bus_;
  std::chrono::milliseconds timeout_{0};
  QDBusServiceWatcher owner_;
  QTimer gone_;   // runs while the monitor has no owner
  std::uint32_t idle_watch_ = 0;
  std::uint32_t active_watch_ = 0;   // the one-shot watch for the input ending an idle period
};

}  // namespace quildor::idle
