// send_close: closes the program's windows from outside, as Windows does at log-off or as
// another program may: posts WM_CLOSE to every top-level window of the program's window class.
#include <windows.h>

int main() {
  int sent = 0;
  for (HWND w = FindWindowExW(nullptr, nullptr, L"QuildorForm", nullptr); w;
       w = FindWindowExW(nullptr, w, L"QuildorForm", nullptr)) {
    if (PostMessageW(w, WM_CLOSE, 0, 0)) ++sent;
  }
  return sent > 0 ? 0 : 1;
}
