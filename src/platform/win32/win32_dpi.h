// The screen resolution the program draws at. The program is per-monitor DPI-aware (declared in
// its manifest): Windows hands it device pixels and scales nothing, so every window lays itself
// out in logical (96-DPI) pixels and draws at its monitor's scale. The per-monitor calls exist
// from Windows 10 (windows) and 8.1 (monitors) on; they are looked up at run time, and older
// Windows gives the system's one DPI.
#pragma once

#include <windows.h>

#include "forms/drawing.h"

namespace quildor::win32 {

// The DPI of the monitor a window stands on (as Windows last told the window).
UINT DpiOfWindow(HWND hwnd);
// The DPI of the primary monitor, the one the slide show is laid out on.
UINT DpiOfPrimaryMonitor();

// The scale of the primary monitor: what pictures made for the slide show are sized by.
inline forms::Scale PrimaryScale() { return forms::ScaleForDpi(DpiOfPrimaryMonitor()); }

// AdjustWindowRectEx for a window at `dpi`: its frame and caption as Windows draws them there.
void AdjustWindowRectForDpi(RECT* r, DWORD style, DWORD ex_style, UINT dpi);

// While it lives, the windows this thread creates take the DPI awareness of `parent`. Windows 10
// from 1803 refuses a child window whose awareness differs from its parent's, and the parent
// may be another program's window (the little monitor of Screen Saver Settings). Where Windows
// has no DPI awareness contexts (before Windows 10 1607), it changes nothing.
class ParentDpiContext {
 public:
  explicit ParentDpiContext(HWND parent);
  ~ParentDpiContext();
  ParentDpiContext(const ParentDpiContext&) = delete;
  ParentDpiContext& operator=(const ParentDpiContext&) = delete;

 private:
  HANDLE previous_ = nullptr;   // the thread's own context, put back at the end
};

}  // namespace quildor::win32
