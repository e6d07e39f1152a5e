// quildor-idle SECONDS: starts the slide show (a new `quildor /s`) once the user has been idle for
// SECONDS, and again after each later idle period once the user came back. It has no window and
// sleeps between the desktop's events; one slide show at a time.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "idle/idle_gate.h"
#include "idle/idle_source.h"
#include "idle/kde_inhibit.h"
#include "idle/logind_inhibit.h"
#include "idle/screensaver_service.h"
#include "idle/switch.h"

namespace {

constexpr long kLongestIdle = 24L * 60 * 60;   // a day, in seconds

// The slide show: the `quildor` installed beside this program, else the one on PATH.
QString SlideShowProgram() {
  const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath("quildor");
  return QFileInfo(beside).isExecutable() ? beside : QStringLiteral("quildor");
}

// Starts the slide show and tells when it has ended. The show hands the screen back at its end
// before its process is gone: a thread of it stuck in a request of a network share that answers
// no interrupt can keep the process for minutes or for ever. So the end is not learnt from the
// process alone: the show gets the write end of a pipe, which it closes, as it closes every
// descriptor, as it ends; the pipe's end of file is the show's end. A process that lingers after
// that is left to end when the kernel lets it.
class SlideShow {
 public:
  bool Running() const { return end_ != nullptr; }

  std::function<void()> on_end;

  void Start() {
    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0) {
      std::perror("quildor-idle: cannot make a pipe for the slide show");
      return;
    }
    auto* show = new QProcess;
    show->setProcessChannelMode(QProcess::ForwardedChannels);
    const int write_end = pipe_fds[1];
    // Only the show gets the write end: close-on-exec is cleared in its process alone.
    show->setChildProcessModifier([write_end] { ::fcntl(write_end, F_SETFD, 0); });
    QObject::connect(show, &QProcess::errorOccurred, [show](QProcess::ProcessError error) {
      if (error == QProcess::FailedToStart) {
        std::fprintf(stderr, "quildor-idle: cannot start %s: %s\n",
                     qPrintable(show->program()), qPrintable(show->errorString()));
        show->deleteLater();
      }
    });
    QObject::connect(show, &QProcess::finished, show, &QObject::deleteLater);
    show->start(SlideShowProgram(), {QStringLiteral("/s")});
    ::close(write_end);
    if (show->state() == QProcess::NotRunning) {   // it failed to start
      ::close(pipe_fds[0]);
      return;
    }
    end_ = new QSocketNotifier(pipe_fds[0], QSocketNotifier::Read);
    QObject::connect(end_, &QSocketNotifier::activated, [this] {
      char byte;
      if (::read(static_cast<int>(end_->socket()), &byte, 1) > 0) return;   // not the end yet
      // Off before its descriptor closes: the number may serve the next show's pipe at once.
      end_->setEnabled(false);
      ::close(static_cast<int>(end_->socket()));
      end_->deleteLater();
      end_ = nullptr;
      if (on_end) on_end();
    });
  }

 private:
  QSocketNotifier* end_ = nullptr;   // watches the read end while a show runs
};

// The idle time given as text: a whole number of seconds from 1 to a day, else 0.
long Seconds(const char* text) {
  char* end = nullptr;
  const long seconds = std::strtol(text, &end, 10);
  return *text && *end == '\0' && seconds >= 1 && seconds <= kLongestIdle ? seconds : 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: quildor-idle SECONDS\n"
               "       quildor-idle --enable [SECONDS] | --disable | --status\n"
               "Starts the slide show after SECONDS (1 to %ld) without input. --enable does so\n"
               "from now and at each login (300 s unless SECONDS is given), --disable stops it,\n"
               "--status tells which.\n",
               kLongestIdle);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc >= 2 ? argv[1] : "";
  if (command == "--enable" && argc <= 3) {
    const long seconds = argc == 3 ? Seconds(argv[2]) : 300;
    if (seconds == 0) return Usage();
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    return quildor::idle::Enable(seconds, length > 0 ? std::string(self, length) : argv[0]);
  }
  if (command == "--disable" && argc == 2) return quildor::idle::Disable();
  if (command == "--status" && argc == 2) return quildor::idle::Status();
  const long seconds = argc == 2 ? Seconds(argv[1]) : 0;
  if (seconds == 0) return Usage();
  QCoreApplication app(argc, argv);
  std::unique_ptr<quildor::idle::IdleSource> source =
      quildor::idle::FindIdleSource(std::chrono::seconds(seconds));
  if (!source) {
    std::fprintf(stderr,
                 "quildor-idle: this desktop tells no program when the user is idle (no Wayland "
                 "idle protocol, no GNOME idle monitor, no X server)\n");
    return 1;
  }
  // One watcher per session; the lock, taken once the desktop answers, also tells --status.
  long owner = 0;
  if (!quildor::idle::TakeWatcherLock(&owner)) {
    if (owner == 0) return 1;
    std::fprintf(stderr, "quildor-idle: already watching (process %ld)\n", owner);
    return 0;
  }
  std::fprintf(stderr, "quildor-idle: watching %s for %ld s without input\n",
               source->Name().c_str(), seconds);

  using Clock = quildor::idle::IdleGate::Clock;
  quildor::idle::IdleGate gate{std::chrono::seconds(seconds)};
  SlideShow show;
  quildor::idle::ScreenSaverService service(QDBusConnection::sessionBus());
  if (!service.Start()) {
    std::fprintf(stderr, "quildor-idle: no session bus: players' inhibitions cannot be heard\n");
  }
  quildor::idle::LogindInhibit logind;
  quildor::idle::KdeInhibit plasma(QDBusConnection::sessionBus());

  auto start_show = [&] {
    if (show.Running()) return false;   // one slide show at a time
    show.Start();
    service.SetShowRunning(show.Running());
    return show.Running();
  };
  show.on_end = [&] { service.SetShowRunning(false); };

  // Looks at the inhibitions and starts the show when the rule says. Players' inhibitions taken
  // here and Plasma's tell of each change; GNOME's session manager's and logind's tell no one:
  // while the user is idle and one stands, they are asked again every two seconds. Nothing is
  // asked while the user is active.
  QTimer next;
  next.setSingleShot(true);
  auto told = [&] { return service.Held() || plasma.Held(); };
  // Where another program holds org.freedesktop.ScreenSaver (another desktop's screen saver)
  // and neither GNOME's session manager nor Plasma's power management is there to tell what
  // players asked of it, their inhibitions cannot hold the show back: said once, at the first
  // idle period, when the desktop's services have long started.
  bool looked_for_askers = false;
  auto say_if_none_to_ask = [&] {
    if (looked_for_askers) return;
    looked_for_askers = true;
    if (source->AsksSessionManager() || plasma.Present()) return;
    const QString owner = service.OwnerDescription();
    if (owner.isEmpty()) return;
    std::fprintf(stderr,
                 "quildor-idle: org.freedesktop.ScreenSaver belongs to %s, which tells no other "
                 "program of the inhibitions made there: players cannot hold the show back\n",
                 qPrintable(owner));
  };
  std::function<void()> look = [&] {
    next.stop();
    const Clock::time_point now = Clock::now();
    if (!gate.idle()) {
      gate.Update(told(), now);
      return;
    }
    say_if_none_to_ask();
    const bool held = told() || source->Inhibited() || logind.Held();
    if (gate.Update(held, now)) start_show();
    if (held) {
      next.start(std::chrono::seconds(2));
    } else if (const auto due = gate.Due()) {
      next.start(std::chrono::ceil<std::chrono::milliseconds>(*due - now));
    }
  };
  QObject::connect(&next, &QTimer::timeout, [&] { look(); });
  source->on_idle = [&] {
    gate.Idle(Clock::now());
    look();
  };
  source->on_active = [&] {
    gate.Active();
    look();
  };
  service.on_hold_changed = [&] { look(); };
  plasma.on_change = [&] { look(); };
  service.on_activity = [&] {
    gate.Activity(Clock::now());
    look();
  };
  service.on_set_active = start_show;
  return app.exec();
}
