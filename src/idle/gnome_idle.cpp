#include "idle/gnome_idle.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace quildor::idle {

namespace {

const QString kMonitor = QStringLiteral("org.gnome.Mutter.IdleMonitor");
const QString kMonitorPath = QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core");
// GNOME's session manager's flag for "inhibit the session being marked as idle".
constexpr uint kInhibitIdle = 8;
// How long a question to the session manager may take.
constexpr int kAnswerMs = 500;

QDBusMessage MonitorCall(const QString& method) {
  return QDBusMessage::createMethodCall(kMonitor, kMonitorPath, kMonitor, method);
}

}  // namespace

GnomeIdle::GnomeIdle(QDBusConnection bus)
    : bus_(std::move(bus)), owner_(kMonitor, bus_, QDBusServiceWatcher::WatchForOwnerChange) {
  connect(&owner_, &QDBusServiceWatcher::serviceOwnerChanged, this, &GnomeIdle::OwnerChanged);
  gone_.setSingleShot(true);
  gone_.setInterval(std::chrono::seconds(10));
  connect(&gone_, &QTimer::timeout, [] {
    std::fprintf(stderr, "quildor-idle: GNOME's idle monitor has gone and did not come back "
                         "within 10 s: its session has ended\n");
    std::exit(1);
  });
}

bool GnomeIdle::Start(std::chrono::milliseconds timeout) {
  timeout_ = timeout;
  if (!bus_.isConnected() || !bus_.interface()->isServiceRegistered(kMonitor)) return false;
  if (!bus_.connect(kMonitor, kMonitorPath, kMonitor, QStringLiteral("WatchFired"), this,
                    SLOT(WatchFired(uint)))) {
    return false;
  }
  return AddIdleWatch();
}

bool GnomeIdle::AddIdleWatch() {
  QDBusMessage call = MonitorCall(QStringLiteral("AddIdleWatch"));
  call << static_cast<qulonglong>(timeout_.count());
  const QDBusReply<uint> reply = bus_.call(call);
  if (!reply.isValid()) return false;
  idle_watch_ = reply.value();
  return true;
}

void GnomeIdle::OwnerChanged(const QString&, const QString&, const QString& new_owner) {
  // The old monitor's watches went with it; its idle time starts afresh, as after input.
  idle_watch_ = 0;
  active_watch_ = 0;
  if (on_active) on_active();
  if (new_owner.isEmpty()) {
    gone_.start();
    return;
  }
  gone_.stop();
  if (AddIdleWatch()) {
    std::fprintf(stderr, "quildor-idle: GNOME's idle monitor restarted; watching it again\n");
  } else {
    gone_.start();
  }
}

void GnomeIdle::WatchFired(uint id) {
  // An idle watch stands until removed: it fires again after each later idle period. A user
  // active watch fires once, at the next input: one is added in each idle period.
  if (id == idle_watch_) {
    const QDBusReply<uint> reply = bus_.call(MonitorCall(QStringLiteral("AddUserActiveWatch")));
    active_watch_ = reply.isValid() ? reply.value() : 0;
    if (on_idle) on_idle();
  } else if (id == active_watch_ && active_watch_ != 0) {
    active_watch_ = 0;
    if (on_active) on_active();
  }
}

bool GnomeIdle::Inhibited() {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.gnome.SessionManager"), QStringLiteral("/org/gnome/SessionManager"),
      QStringLiteral("org.gnome.SessionManager"), QStringLiteral("IsInhibited"));
  call << kInhibitIdle;
  // Asked while the user is idle: a session manager that does not answer must not hold the
  // watcher for D-Bus's default 25 s. No answer counts as no inhibition.
  const QDBusReply<bool> reply = bus_.call(call, QDBus::Block, kAnswerMs);
  return reply.isValid() && reply.value();
}

std::unique_ptr<IdleSource> GnomeIdleSource(std::chrono::milliseconds timeout) {
  auto source = std::make_unique<GnomeIdle>(QDBusConnection::sessionBus());
  if (!source->Start(timeout)) return nullptr;
  return source;
}

}  // namespace quildor::idle
