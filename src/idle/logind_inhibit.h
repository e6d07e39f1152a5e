// systemd-logind's idle inhibitors (`systemd-inhibit --what=idle`, and what desktops and players
// take through logind): the manager's BlockInhibited property names "idle" while one stands.
// logind does not signal changes of that property, so it is asked when the watcher needs to
// know, and again while it answers yes.
#pragma once

#include <QDBusConnection>

namespace quildor::idle {

class LogindInhibit {
 public:
  LogindInhibit();

  // Whether an idle inhibitor stands; false where logind does not run or does not answer within
  // a short time (the system bus is the machine's; it is not waited on).
  bool Held();

 private:
  QDBusConnection bus_;
  bool absent_ = false;   // no logind on this system bus: not asked again
};

}  // namespace quildor::idle
