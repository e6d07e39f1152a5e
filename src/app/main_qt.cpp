// The Linux entry point: the QApplication, the Qt platform, Module1's start, the event loop.
#include <QApplication>

#include <string>

#include "forms/event_log.h"
#include "module/module1.h"
#include "platform/qt/qt_platform.h"

int main(int argc, char** argv) {
  // The program's own switches are its command line; Qt sees none of them.
  std::string command_line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) command_line += ' ';
    command_line += argv[i];
  }
  int qt_argc = 1;
  QApplication app(qt_argc, argv);
  // The name task switchers show (the window class), and the desktop entry the windows belong to.
  QApplication::setApplicationName("Quildor");
  QGuiApplication::setDesktopFileName("quildor");

  quildor::forms::EventLog::OpenFromEnvironment();
  quildor::qt::QtPlatform platform(command_line);
  platform.CloseOnTerminationSignals();
  quildor::Module1 module(platform);
  platform.SetDispatcher([&module](quildor::forms::Form& f, quildor::forms::Event e,
                                   const quildor::forms::Control* c) { module.Dispatch(f, e, c); });
  module.Start();
  const int status = QApplication::exec();
  // Ends at once, as every end of the program does, with no window destroyed one by one: a
  // photograph still loading from a stuck drive is abandoned, not waited for.
  platform.Exit(status);
}
