#include "idle/kde_inhibit.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace quildor::idle {

namespace {
const QString kAgent = QStringLiteral("org.kde.Solid.PowerManagement.PolicyAgent");
const QString kAgentPath = QStringLiteral("/org/kde/Solid/PowerManagement/PolicyAgent");
// The policy agent's kind of inhibition that keeps the screen from dimming and turning off.
constexpr uint kChangeScreenSettings = 4;
}  // namespace

KdeInhibit::KdeInhibit(QDBusConnection bus)
    : bus_(std::move(bus)),
      agent_(kAgent, bus_,
             QDBusServiceWatcher::WatchForRegistration |
                 QDBusServiceWatcher::WatchForUnregistration) {
  if (!bus_.isConnected()) return;
  // The signal is matched on the name, whoever owns it, now or after Plasma restarts.
  bus_.connect(kAgent, kAgentPath, kAgent, QStringLiteral("InhibitionsChanged"), this,
               SLOT(Ask()));
  connect(&agent_, &QDBusServiceWatcher::serviceRegistered, this, [this] { Ask(); });
  connect(&agent_, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
    if (!held_) return;
    held_ = false;
    if (on_change) on_change();
  });
  if (bus_.interface()->isServiceRegistered(kAgent).value()) Ask();
}

bool KdeInhibit::Present() const {
  return bus_.isConnected() && bus_.interface()->isServiceRegistered(kAgent).value();
}

// Asks without waiting: the answer comes as an event, like the changes.
void KdeInhibit::Ask() {
  QDBusMessage call = QDBusMessage::createMethodCall(kAgent, kAgentPath, kAgent,
                                                     QStringLiteral("HasInhibition"));
  call << kChangeScreenSettings;
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, 5000), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
    w->deleteLater();
    const QDBusPendingReply<bool> reply = *w;
    const bool held = reply.isValid() && reply.value();
    if (held == held_) return;
    held_ = held;
    if (on_change) on_change();
  });
}

}  // namespace quildor::idle
