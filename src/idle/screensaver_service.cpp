#include "idle/screensaver_service.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusReply>
#include <QFile>

#include <algorithm>
#include <cstdio>

namespace quildor::idle {

namespace {

const QString kName = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kPaths[] = {QStringLiteral("/org/freedesktop/ScreenSaver"),
                          QStringLiteral("/ScreenSaver")};
constexpr int kLongestText = 256;   // of an application's name or reason, as stored

}  // namespace

ScreenSaverService::ScreenSaverService(QDBusConnection bus)
    : bus_(std::move(bus)), owner_(kName, bus_, QDBusServiceWatcher::WatchForUnregistration) {
  callers_.setConnection(bus_);
  callers_.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
  connect(&callers_, &QDBusServiceWatcher::serviceUnregistered, this,
          &ScreenSaverService::CallerLeft);
  connect(&owner_, &QDBusServiceWatcher::serviceUnregistered, this,
          &ScreenSaverService::OwnerLeft);
}

bool ScreenSaverService::Start() {
  if (!bus_.isConnected()) return false;
  bus_.connect(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
               QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameLost"), this,
               SLOT(NameLost(QString)));
  TakeName();
  return true;
}

void ScreenSaverService::TakeName() {
  if (owned_) return;
  if (!objects_) {
    for (const QString& path : kPaths) {
      bus_.registerObject(path, this,
                          QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals);
    }
    objects_ = true;
  }
  // A desktop's own service, which asks to replace the owner, takes the name over.
  const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
      bus_.interface()->registerService(kName, QDBusConnectionInterface::DontQueueService,
                                        QDBusConnectionInterface::AllowReplacement);
  owned_ = reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered;
  if (owned_) {
    std::fprintf(stderr, "quildor-idle: taking inhibitions as %s\n", qPrintable(kName));
  }
}

QString ScreenSaverService::OwnerDescription() {
  if (owned_ || !bus_.isConnected()) return {};
  const QDBusReply<uint> pid = bus_.interface()->servicePid(kName);
  if (!pid.isValid()) return {};
  QFile comm(QStringLiteral("/proc/%1/comm").arg(pid.value()));
  const QString name = comm.open(QIODevice::ReadOnly)
                           ? QString::fromLocal8Bit(comm.readAll()).trimmed()
                           : QStringLiteral("a program");
  return QStringLiteral("%1, process %2").arg(name).arg(pid.value());
}

void ScreenSaverService::NameLost(const QString& name) {
  if (name != kName || !owned_) return;
  owned_ = false;
  std::fprintf(stderr, "quildor-idle: the desktop took %s over\n", qPrintable(kName));
  // What was asked of the watcher is not the new owner's to know; the players that still play
  // ask it again as they go on.
  const bool was_held = Held();
  inhibitions_.clear();
  for (const QString& caller : callers_.watchedServices()) callers_.removeWatchedService(caller);
  HoldMayHaveChanged(was_held);
}

void ScreenSaverService::OwnerLeft() {
  // The desktop service that owned the name has gone: take it, so that players are heard.
  if (!owned_) TakeName();
}

uint ScreenSaverService::Inhibit(const QString& application, const QString& reason) {
  const QString caller = message().service();
  const auto mine = std::count_if(inhibitions_.begin(), inhibitions_.end(),
                                  [&](const auto& i) { return i.second.caller == caller; });
  if (mine >= kMostPerCaller || static_cast<int>(inhibitions_.size()) >= kMostInAll) {
    sendErrorReply(QDBusError::LimitsExceeded,
                   QStringLiteral("too many inhibitions held; end some with UnInhibit"));
    return 0;
  }
  // Cookies are never 0 and never one in use, also once the count wraps.
  while (next_cookie_ == 0 || inhibitions_.count(next_cookie_)) ++next_cookie_;
  const uint cookie = next_cookie_++;
  const bool was_held = Held();
  inhibitions_[cookie] = {caller, application.left(kLongestText), reason.left(kLongestText)};
  if (!callers_.watchedServices().contains(caller)) callers_.addWatchedService(caller);
  // A caller that left before its call was answered is gone already: it holds nothing.
  if (!bus_.interface()->isServiceRegistered(caller).value()) {
    CallerLeft(caller);
    return cookie;
  }
  HoldMayHaveChanged(was_held);
  return cookie;
}

void ScreenSaverService::UnInhibit(uint cookie) {
  const auto it = inhibitions_.find(cookie);
  if (it == inhibitions_.end() || it->second.caller != message().service()) {
    sendErrorReply(QDBusError::InvalidArgs,
                   QStringLiteral("no inhibition %1 of this caller").arg(cookie));
    return;
  }
  Drop(it);
}

void ScreenSaverService::Drop(std::map<uint, Inhibition>::iterator it) {
  const bool was_held = Held();
  const QString caller = it->second.caller;
  inhibitions_.erase(it);
  const bool more = std::any_of(inhibitions_.begin(), inhibitions_.end(),
                                [&](const auto& i) { return i.second.caller == caller; });
  if (!more) callers_.removeWatchedService(caller);
  HoldMayHaveChanged(was_held);
}

void ScreenSaverService::CallerLeft(const QString& caller) {
  for (auto it = inhibitions_.begin(); it != inhibitions_.end();) {
    if (it->second.caller == caller) {
      Drop(it);
      it = inhibitions_.begin();
    } else {
      ++it;
    }
  }
}

void ScreenSaverService::HoldMayHaveChanged(bool was_held) {
  if (was_held != Held() && on_hold_changed) on_hold_changed();
}

void ScreenSaverService::SetShowRunning(bool running) {
  if (running == running_) return;
  running_ = running;
  if (running) running_since_ = std::chrono::steady_clock::now();
  if (owned_) emit ActiveChanged(running);
}

bool ScreenSaverService::GetActive() { return running_; }

uint ScreenSaverService::GetActiveTime() {
  if (!running_) return 0;
  return static_cast<uint>(std::chrono::duration_cast<std::chrono::seconds>(
                               std::chrono::steady_clock::now() - running_since_)
                               .count());
}

uint ScreenSaverService::GetSessionIdleTime() {
  sendErrorReply(QDBusError::NotSupported,
                 QStringLiteral("the desktop does not tell this service the idle time"));
  return 0;
}

bool ScreenSaverService::SetActive(bool active) {
  // The show ends on the user's input only; it can be started.
  if (!active || running_) return false;
  return on_set_active && on_set_active();
}

void ScreenSaverService::Lock() {
  sendErrorReply(QDBusError::NotSupported,
                 QStringLiteral("this screen saver does not lock the session"));
}

void ScreenSaverService::SimulateUserActivity() {
  if (on_activity) on_activity();
}

}  // namespace quildor::idle
