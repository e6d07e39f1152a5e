// post_moves N: posts N mouse moves with the pointer's current position to the window under the
// pointer, as Windows does when a window appears, disappears or changes under a resting pointer.
// Prints the class of the window it posted to; exit status 1 when there is none.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int wmain(int argc, wchar_t** argv) {
  const int n = argc > 1 ? _wtoi(argv[1]) : 10;
  POINT at{};
  GetCursorPos(&at);
  HWND under = WindowFromPoint(at);
  if (!under) return 1;
  // Down to the innermost child window under the pointer, which is the one Windows tells.
  POINT client = at;
  ScreenToClient(under, &client);
  for (HWND child; (child = ChildWindowFromPointEx(under, client, CWP_SKIPINVISIBLE)) &&
                   child != under;) {
    MapWindowPoints(under, child, &client, 1);
    under = child;
  }
  for (int i = 0; i < n; ++i) {
    PostMessageW(under, WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y));
  }
  wchar_t name[64] = {};
  GetClassNameW(under, name, 64);
  std::printf("posted %d moves to %ls\n", n, name);
  return 0;
}
