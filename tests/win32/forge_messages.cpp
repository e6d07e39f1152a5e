// forge_messages: what any program of the session can do to the slide show: posts, to every
// message-only window of the program's loader, each application message (WM_APP and the next
// fifteen) with parameters of its own choosing: small numbers, all bits set, and an address in
// its own memory. Prints how many it posted.
#include <windows.h>

#include <cstdio>
#include <cstdint>

int main() {
  static char own[64];
  const WPARAM payloads[] = {1, 0x41414141u, static_cast<WPARAM>(-1),
                             reinterpret_cast<WPARAM>(own)};
  int posted = 0;
  for (HWND w = FindWindowExW(HWND_MESSAGE, nullptr, L"QuildorLoader", nullptr); w;
       w = FindWindowExW(HWND_MESSAGE, w, L"QuildorLoader", nullptr)) {
    for (UINT msg = WM_APP; msg < WM_APP + 16; ++msg) {
      for (WPARAM p : payloads) posted += PostMessageW(w, msg, p, static_cast<LPARAM>(p)) != 0;
    }
  }
  std::printf("posted %d\n", posted);
  return posted > 0 ? 0 : 1;
}
