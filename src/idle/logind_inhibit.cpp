#include "idle/logind_inhibit.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QStringList>

#include <cstdio>

namespace quildor::idle {

namespace {
const QString kLogin = QStringLiteral("org.freedesktop.login1");
constexpr int kAnswerMs = 500;
}  // namespace

LogindInhibit::LogindInhibit() : bus_(QDBusConnection::systemBus()) {
  absent_ = !bus_.isConnected() || !bus_.interface()->isServiceRegistered(kLogin).value();
  if (absent_) {
    std::fprintf(stderr, "quildor-idle: no systemd-logind on the system bus: its idle "
                         "inhibitors cannot be asked\n");
  }
}

bool LogindInhibit::Held() {
  if (absent_) return false;
  QDBusMessage call = QDBusMessage::createMethodCall(
      kLogin, QStringLiteral("/org/freedesktop/login1"),
      QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
  call << QStringLiteral("org.freedesktop.login1.Manager") << QStringLiteral("BlockInhibited");
  const QDBusReply<QDBusVariant> reply = bus_.call(call, QDBus::Block, kAnswerMs);
  if (!reply.isValid()) return false;
  return reply.value().variant().toString().split(QLatin1Char(':')).contains(
      QStringLiteral("idle"));
}

}  // namespace quildor::idle
