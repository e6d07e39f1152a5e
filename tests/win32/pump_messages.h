// Runs the thread's message loop for a moment (five rounds, 20 ms apart), so that the windows
// a test made have handled what was sent and posted to them.
#pragma once

#include <windows.h>

namespace quildor {

inline void PumpMessages() {
  for (int round = 0; round < 5; ++round) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(20);
  }
}

}  // namespace quildor
