// preview_host SCR: stands in for Windows' Screen Saver Settings page. It makes a window of the
// preview monitor's size, starts SCR with "/p" and that window's handle, and checks that the
// preview appears inside it, filling it, with no full-screen window anywhere; then it destroys
// its window and checks that SCR ends within a second. Exit status 0 when all of that holds;
// otherwise it says what failed.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); }

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

int Fail(const char* what) {
  std::printf("preview_host: %s\n", what);
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return Fail("usage: preview_host SCR");
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
  wc.lpszClassName = L"PreviewMonitor";
  RegisterClassW(&wc);
  // Shown without activation: Wine without a window manager then destroys it at once.
  HWND monitor = CreateWindowExW(WS_EX_NOACTIVATE, L"PreviewMonitor", L"monitor", WS_POPUP, 200,
                                 150, 152, 112, nullptr, nullptr, wc.hInstance, nullptr);
  ShowWindow(monitor, SW_SHOWNOACTIVATE);

  std::wstring command = L"\"" + std::wstring(argv[1]) + L"\" /p " +
                         std::to_wstring(reinterpret_cast<std::uintptr_t>(monitor));
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi)) {
    return Fail("cannot start the screen saver");
  }

  HWND preview = nullptr;
  for (int i = 0; i < 600 && !preview; ++i) {   // up to 30 s for the first start of the prefix
    Pump();
    preview = FindWindowExW(monitor, nullptr, L"QuildorPreview", nullptr);
    if (!preview) {
      if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) return Fail("it ended at once");
    }
  }
  if (!preview) return Fail("no preview window inside the monitor");
  RECT outer, inner;
  GetClientRect(monitor, &outer);
  GetClientRect(preview, &inner);
  if (inner.right != outer.right || inner.bottom != outer.bottom) {
    return Fail("the preview does not fill the monitor");
  }
  for (int i = 0; i < 20; ++i) {   // a second of watching for a stray full-screen window
    Pump();
    if (FindWindowW(L"QuildorForm", nullptr)) return Fail("a slide-show window appeared");
    Sleep(50);
  }
  if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) return Fail("the preview ended");

  DestroyWindow(monitor);
  const DWORD start = GetTickCount();
  const DWORD waited = WaitForSingleObject(pi.hProcess, 5000);
  const DWORD elapsed = GetTickCount() - start;
  if (waited != WAIT_OBJECT_0) return Fail("the preview outlived its window");
  std::printf("preview_host: the preview ended %lu ms after its window\n",
              static_cast<unsigned long>(elapsed));
  if (elapsed > 1000) return Fail("the preview took more than a second to end");
  return 0;
}
