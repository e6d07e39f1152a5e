// preview_host SCR [--unaware] [--times N] [--hold]: stands in for Windows' Screen Saver Settings
// page. It makes a window of the preview monitor's size, starts SCR with "/p" and that window's
// handle, and checks that the preview appears inside it, filling it, with no full-screen window
// anywhere; then it destroys its window and at once starts the next copy in a new window, as the
// page does each time the choice changes: N times in all (1 unless told). Each copy must draw in
// its own window although the one before may still be ending, and must end within a second of
// its window, so that at most one runs once the next has drawn.
//   --unaware  the windows are made by a thread that is not DPI-aware, unlike the screen saver
//              (Windows then requires the preview to make its child in the parent's awareness)
//   --hold     after the first preview is shown, prints "shown" and waits for a line on its
//              standard input before going on (the test starts other copies meanwhile)
// Exit status 0 when all of that holds; otherwise it says what failed.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>

namespace {

LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); }

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

int Fail(int copy, const char* what) {
  std::printf("preview_host: copy %d: %s\n", copy, what);
  return 1;
}

// The window of the preview monitor, shown without activation: Wine without a window manager
// then destroys it at once.
HWND MakeMonitor() {
  return CreateWindowExW(WS_EX_NOACTIVATE, L"PreviewMonitor", L"monitor", WS_POPUP, 200, 150,
                         152, 112, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

// Ends `process` within a second of its window or says it did not.
bool EndsSoon(HANDLE process, DWORD since, int copy) {
  const DWORD waited = WaitForSingleObject(process, 5000);
  const DWORD elapsed = GetTickCount() - since;
  if (waited != WAIT_OBJECT_0) return Fail(copy, "the preview outlived its window") == 0;
  std::printf("preview_host: copy %d ended %lu ms after its window\n", copy,
              static_cast<unsigned long>(elapsed));
  if (elapsed > 1000) return Fail(copy, "the preview took more than a second to end") == 0;
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Fail(0, "usage: preview_host SCR [--unaware] [--times N] [--hold]");
  int times = 1;
  bool unaware = false, hold = false;
  for (int i = 2; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"--unaware") == 0) unaware = true;
    if (std::wcscmp(argv[i], L"--hold") == 0) hold = true;
    if (std::wcscmp(argv[i], L"--times") == 0 && i + 1 < argc) times = _wtoi(argv[++i]);
  }
  if (unaware) {
    // DPI_AWARENESS_CONTEXT_UNAWARE, through the call Windows 10 has (looked up: older headers).
    using SetContext = HANDLE(WINAPI*)(HANDLE);
    auto set = reinterpret_cast<SetContext>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetThreadDpiAwarenessContext")));
    if (!set || !set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-1)))) {
      return Fail(0, "cannot make this thread DPI-unaware");
    }
  }
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
  wc.lpszClassName = L"PreviewMonitor";
  RegisterClassW(&wc);

  HANDLE previous = nullptr;   // the copy before, ending
  DWORD previous_gone = 0;     // when its window was destroyed
  for (int copy = 1; copy <= times; ++copy) {
    HWND monitor = MakeMonitor();
    ShowWindow(monitor, SW_SHOWNOACTIVATE);
    std::wstring command = L"\"" + std::wstring(argv[1]) + L"\" /p " +
                           std::to_wstring(reinterpret_cast<std::uintptr_t>(monitor));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi)) {
      return Fail(copy, "cannot start the screen saver");
    }
    CloseHandle(pi.hThread);

    HWND preview = nullptr;
    for (int i = 0; i < 600 && !preview; ++i) {   // up to 30 s for the first start of the prefix
      Pump();
      preview = FindWindowExW(monitor, nullptr, L"QuildorPreview", nullptr);
      if (!preview && WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) {
        return Fail(copy, "it ended at once");
      }
    }
    if (!preview) return Fail(copy, "no preview window inside the monitor");
    RECT outer, inner;
    GetClientRect(monitor, &outer);
    GetClientRect(preview, &inner);
    if (inner.right != outer.right || inner.bottom != outer.bottom) {
      return Fail(copy, "the preview does not fill the monitor");
    }
    if (previous) {
      if (!EndsSoon(previous, previous_gone, copy - 1)) return 1;
      CloseHandle(previous);
    }
    for (int i = 0; i < 20; ++i) {   // a second of watching for a stray full-screen window
      Pump();
      if (FindWindowW(L"QuildorForm", nullptr)) return Fail(copy, "a slide-show window appeared");
      Sleep(50);
    }
    if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) return Fail(copy, "it ended");
    if (hold && copy == 1) {
      std::printf("shown\n");
      std::fflush(stdout);
      char line[16];
      if (!std::fgets(line, sizeof line, stdin)) return Fail(copy, "no go-ahead");
      if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) {
        return Fail(copy, "it ended while other copies ran");
      }
    }
    DestroyWindow(monitor);
    previous = pi.hProcess;
    previous_gone = GetTickCount();
  }
  const bool ended = EndsSoon(previous, previous_gone, times);
  CloseHandle(previous);
  return ended ? 0 : 1;
}
