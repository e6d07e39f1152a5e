// The Windows entry point: the Win32 platform, Module1's start, the message loop.
#include <windows.h>

#include "forms/event_log.h"
#include "module/module1.h"
#include "platform/win32/win32_platform.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  using namespace quildor;
  forms::EventLog::OpenFromEnvironment();
  win32::Win32Platform platform(instance,
                                win32::Narrow(win32::ArgumentsOf(GetCommandLineW())));
  Module1 module(platform);
  platform.SetDispatcher([&module](forms::Form& f, forms::Event e, const forms::Control* c) {
    module.Dispatch(f, e, c);
  });
  module.Start();
  const int status = platform.RunMessageLoop();
  // Ends at once, as every end of the program does: a photograph still loading from a stuck
  // drive is abandoned, not waited for.
  platform.Exit(status);
}
