// The Win32 backend's preview under Wine: started with "/p" and a window, the program draws the
// design state inside that window, and the run ends when the window goes.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "module/module1.h"
#include "platform/win32/win32_platform.h"
#include "pump_messages.h"

namespace quildor {
namespace {

LRESULT CALLBACK PlainProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); }

TEST(Win32Preview, FillsTheGivenWindowWithTheDesignState) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = PlainProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"PreviewTestParent";
  RegisterClassW(&wc);
  HWND parent = CreateWindowExW(0, L"PreviewTestParent", L"monitor", WS_POPUP, 100, 100, 152,
                                112, nullptr, nullptr, wc.hInstance, nullptr);
  ShowWindow(parent, SW_SHOWNOACTIVATE);

  auto platform = std::make_unique<win32::Win32Platform>(
      GetModuleHandleW(nullptr), "/p " + std::to_string(reinterpret_cast<std::uintptr_t>(parent)));
  auto module = std::make_unique<Module1>(*platform);
  module->Start();
  PumpMessages();

  HWND child = FindWindowExW(parent, nullptr, L"QuildorPreview", nullptr);
  ASSERT_NE(child, nullptr);
  RECT outer, inner;
  GetClientRect(parent, &outer);
  GetClientRect(child, &inner);
  EXPECT_EQ(inner.right, outer.right);
  EXPECT_EQ(inner.bottom, outer.bottom);
  EXPECT_EQ(FindWindowW(L"QuildorForm", nullptr), nullptr) << "no slide-show window";

  RedrawWindow(child, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  HDC dc = GetDC(child);
  int coloured = 0, total = 0;
  for (int y = 2; y < inner.bottom; y += 4) {
    for (int x = 2; x < inner.right; x += 4, ++total) {
      const COLORREF c = GetPixel(dc, x, y);
      if (GetRValue(c) + GetGValue(c) + GetBValue(c) > 90) ++coloured;
    }
  }
  ReleaseDC(child, dc);
  EXPECT_GT(coloured, total / 2) << "the photograph and the banner fill most of the preview";

  // The preview goes with its window, and the run ends then.
  DestroyWindow(parent);
  MSG msg;
  bool quit = false;
  for (int i = 0; i < 50 && !quit; ++i) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) quit = true;
    }
    if (!quit) Sleep(20);
  }
  EXPECT_TRUE(quit);
  platform->DestroyViews();
  module.reset();
  platform.reset();
}

}  // namespace
}  // namespace quildor
