#include "platform/win32/win32_dpi.h"

namespace quildor::win32 {

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
using AdjustForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
// DPI_AWARENESS_CONTEXT is a handle; the headers of older Windows do not declare it.
using GetWindowContextFn = HANDLE(WINAPI*)(HWND);
using SetThreadContextFn = HANDLE(WINAPI*)(HANDLE);

// A function of a system DLL, or null where this Windows has none. A DLL not loaded yet is
// loaded from the system folder only, never from the program's own or the current folder.
template <typename Fn>
Fn Lookup(const wchar_t* module, const char* name, bool load) {
  HMODULE m = load ? LoadLibraryExW(module, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)
                   : GetModuleHandleW(module);
  return m ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m, name))) : nullptr;
}

// The one DPI of the whole desktop: what Windows before 8.1 has, and what a program that is not
// per-monitor aware there is told.
UINT SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

}  // namespace

UINT DpiOfWindow(HWND hwnd) {
  static const auto get_dpi = Lookup<GetDpiForWindowFn>(L"user32.dll", "GetDpiForWindow", false);
  if (get_dpi && hwnd) {
    const UINT dpi = get_dpi(hwnd);
    if (dpi > 0) return dpi;
  }
  return SystemDpi();
}

UINT DpiOfPrimaryMonitor() {
  // shcore.dll is on Windows 8.1 and later only, so it is not among the imports.
  static const auto get_dpi = Lookup<GetDpiForMonitorFn>(L"shcore.dll", "GetDpiForMonitor", true);
  if (get_dpi) {
    UINT x = 0, y = 0;
    HMONITOR primary = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    if (SUCCEEDED(get_dpi(primary, 0 /*MDT_EFFECTIVE_DPI*/, &x, &y)) && x > 0) return x;
  }
  return SystemDpi();
}

void AdjustWindowRectForDpi(RECT* r, DWORD style, DWORD ex_style, UINT dpi) {
  static const auto adjust =
      Lookup<AdjustForDpiFn>(L"user32.dll", "AdjustWindowRectExForDpi", false);
  if (adjust && adjust(r, style, FALSE, ex_style, dpi)) return;
  AdjustWindowRectEx(r, style, FALSE, ex_style);
}

ParentDpiContext::ParentDpiContext(HWND parent) {
  static const auto get_context =
      Lookup<GetWindowContextFn>(L"user32.dll", "GetWindowDpiAwarenessContext", false);
  static const auto set_context =
      Lookup<SetThreadContextFn>(L"user32.dll", "SetThreadDpiAwarenessContext", false);
  if (!get_context || !set_context || !parent) return;
  if (HANDLE context = get_context(parent)) previous_ = set_context(context);
}

ParentDpiContext::~ParentDpiContext() {
  static const auto set_context =
      Lookup<SetThreadContextFn>(L"user32.dll", "SetThreadDpiAwarenessContext", false);
  if (previous_ && set_context) set_context(previous_);
}

}  // namespace quildor::win32
