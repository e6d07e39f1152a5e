// quildor-idle SECONDS: starts the slide show (a new `quildor /s`) once the user has been idle for
// SECONDS, and again after each later idle period once the user came back. It has no window and
// sleeps between the desktop's events; one slide show at a time.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "idle/idle_source.h"

namespace {

constexpr long kLongestIdle = 24L * 60 * 60;   // a day, in seconds

// The slide show: the `quildor` installed beside this program, else the one on PATH.
QString SlideShowProgram() {
  const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath("quildor");
  return QFileInfo(beside).isExecutable() ? beside : QStringLiteral("quildor");
}

}  // namespace

int main(int argc, char** argv) {
  char* end = nullptr;
  const long seconds = argc == 2 ? std::strtol(argv[1], &end, 10) : 0;
  if (argc != 2 || *end != '\0' || seconds < 1 || seconds > kLongestIdle) {
    std::fprintf(stderr,
                 "usage: quildor-idle SECONDS\n"
                 "Starts the slide show after SECONDS (1 to %ld) without input.\n",
                 kLongestIdle);
    return 2;
  }
  QCoreApplication app(argc, argv);
  std::unique_ptr<quildor::idle::IdleSource> source =
      quildor::idle::FindIdleSource(std::chrono::seconds(seconds));
  if (!source) {
    std::fprintf(stderr,
                 "quildor-idle: this desktop tells no program when the user is idle (no Wayland "
                 "idle protocol, no GNOME idle monitor, no X server)\n");
    return 1;
  }
  std::fprintf(stderr, "quildor-idle: watching %s for %ld s without input\n",
               source->Name().c_str(), seconds);

  QProcess show;
  show.setProcessChannelMode(QProcess::ForwardedChannels);
  QObject::connect(&show, &QProcess::errorOccurred, [&](QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) {
      std::fprintf(stderr, "quildor-idle: cannot start %s: %s\n",
                   qPrintable(show.program()), qPrintable(show.errorString()));
    }
  });
  source->on_idle = [&] {
    if (show.state() != QProcess::NotRunning) return;   // one slide show at a time
    if (source->Inhibited()) return;
    show.start(SlideShowProgram(), {QStringLiteral("/s")});
  };
  return app.exec();
}
