// org.freedesktop.ScreenSaver on the session bus, where no desktop offers it (sway and the other
// wlroots compositors, X11 window managers): browsers and video players (Chromium and its kin,
// VLC, Kodi) ask it not to start a screen saver while they show a film, on the object
// /org/freedesktop/ScreenSaver or /ScreenSaver, and tell it of activity.
//
// The watcher owns the name only while it is free, and lets a desktop service that asks for it
// later take it. An inhibition ends by UnInhibit from the connection that took it, or when that
// connection leaves the bus (a player that crashed or was killed). A caller holds at most
// kMostPerCaller inhibitions and all callers kMostInAll, so that no caller can make the watcher
// keep unbounded state.
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>

namespace quildor::idle {

class ScreenSaverService : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

 public:
  static constexpr int kMostPerCaller = 16;
  static constexpr int kMostInAll = 256;

  explicit ScreenSaverService(QDBusConnection bus);

  // Takes the name where it is free, and again whenever its owner leaves; false where the bus
  // cannot be reached.
  bool Start();
  bool Owned() const { return owned_; }

  // The program that owns the name when the watcher does not ("xfce4-screensav, process 812": the
  // command's name as the kernel keeps it, at most 15 characters), or empty where no one does.
  QString OwnerDescription();

  // Whether any inhibition stands.
  bool Held() const { return !inhibitions_.empty(); }

  // The watcher tells whether its show runs, for GetActive and ActiveChanged.
  void SetShowRunning(bool running);

  std::function<void()> on_hold_changed;   // an inhibition began or the last one ended
  std::function<void()> on_activity;       // SimulateUserActivity
  std::function<bool()> on_set_active;     // SetActive(true): start the show; whether it did

 public slots:
  uint Inhibit(const QString& application, const QString& reason);
  void UnInhibit(uint cookie);
  bool GetActive();
  uint GetActiveTime();
  uint GetSessionIdleTime();
  bool SetActive(bool active);
  void Lock();
  void SimulateUserActivity();

 signals:
  void ActiveChanged(bool active);

 private slots:
  void NameLost(const QString& name);
  void CallerLeft(const QString& caller);
  void OwnerLeft();

 private:
  struct Inhibition {
    QString caller;
    QString application;
    QString reason;
  };

  void TakeName();
  void Drop(std::map<uint, Inhibition>::iterator it);
  void HoldMayHaveChanged(bool was_held);

  QDBusConnection bus_;
  bool owned_ = false;
  bool objects_ = false;
  bool running_ = false;
  std::chrono::steady_clock::time_point running_since_;
  uint next_cookie_ = 1;
  std::map<uint, Inhibition> inhibitions_;
  QDBusServiceWatcher callers_;
  QDBusServiceWatcher owner_;
};

}  // namespace quildor::idle
