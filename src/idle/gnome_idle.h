// GNOME's idle monitor (org.gnome.Mutter.IdleMonitor on the session bus), which mutter offers any
// client of its session; GNOME's compositor has no Wayland idle protocol.
#pragma once

#include <QDBusConnection>
#include <QObject>

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

 private slots:
  void WatchFired(uint id);

 private:
  QDBusConnection bus_;
  std::uint32_t idle_watch_ = 0;
  std::uint32_t active_watch_ = 0;   // the one-shot watch for the input ending an idle period
};

}  // namespace quildor::idle
