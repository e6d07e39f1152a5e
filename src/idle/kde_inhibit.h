// KDE Plasma's inhibitions as its power management publishes them: KWin owns
// org.freedesktop.ScreenSaver there and hands each player's inhibition to Plasma's policy agent
// (org.kde.Solid.PowerManagement.PolicyAgent), which tells of every change
// (InhibitionsChanged) and answers whether an inhibition of a kind stands (HasInhibition). Only
// the inhibitions that keep the screen on count (ChangeScreenSettings), not those that only
// keep the machine from sleeping. KWin's own idle notification does not heed them, on Wayland or
// X11, so the watcher asks.
#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

namespace quildor::idle {

class KdeInhibit : public QObject {
  Q_OBJECT

 public:
  explicit KdeInhibit(QDBusConnection bus);

  // Whether an inhibition that keeps the screen on stands, as last heard.
  bool Held() const { return held_; }

  // Whether Plasma's power management is there to be asked.
  bool Present() const;

  std::function<void()> on_change;

 private slots:
  // Asks the policy agent again (at each change it announces, and when it appears).
  void Ask();

 private:
  QDBusConnection bus_;
  QDBusServiceWatcher agent_;
  bool held_ = false;
};

}  // namespace quildor::idle
