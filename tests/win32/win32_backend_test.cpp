// The Win32 backend under Wine: the native windows and controls stand where the model puts them
// with the designed captions and colours, and input is routed as designed. (The preview:
// win32_preview_test.cpp; the registry store, the instance mutex and the command line:
// win32_store_test.cpp.)
#include <gtest/gtest.h>
#include <windows.h>
#include <oleacc.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "module/module1.h"
#include "pump_messages.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_views.h"
#include "settings_dialog/frm_ss_settings.h"
#include "slideshow/form1.h"

namespace quildor {
namespace {

using forms::Event;

struct Delivered {
  Event event;
  std::string source;
};

class Win32Backend : public ::testing::Test {
 protected:
  // `monitors`: the other monitors the platform is to see (the test display has only one).
  void Start(const std::string& command_line,
             std::optional<std::vector<RECT>> monitors = std::nullopt) {
    platform = std::make_unique<win32::Win32Platform>(GetModuleHandleW(nullptr), command_line);
    platform->UseMonitors(monitors);
    module = std::make_unique<Module1>(*platform);
    platform->SetDispatcher([this](forms::Form&, Event e, const forms::Control* c) {
      delivered.push_back({e, c ? c->Name() : ""});
    });
    module->Start();
    PumpMessages();
  }
  void TearDown() override {
    if (platform) platform->DestroyViews();
    module.reset();
    platform.reset();
    PumpMessages();
  }
  HWND Window(const forms::Form& f) { return platform->WindowOf(f)->hwnd(); }
  HWND Child(const forms::Form& f, const char* name) {
    return platform->WindowOf(f)->ControlWindow(f.Get(name));
  }
  // A child's rectangle in its parent's client coordinates.
  static RECT InParent(HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  static std::wstring Text(HWND w) {
    wchar_t buffer[256] = {};
    GetWindowTextW(w, buffer, 256);
    return buffer;
  }
  bool Saw(Event e, const std::string& source) {
    for (const auto& d : delivered)
      if (d.event == e && d.source == source) return true;
    return false;
  }

  std::unique_ptr<win32::Win32Platform> platform;
  std::unique_ptr<Module1> module;
  std::vector<Delivered> delivered;
};

void ExpectRect(const RECT& r, int left, int top, int width, int height) {
  EXPECT_EQ(r.left, left);
  EXPECT_EQ(r.top, top);
  EXPECT_EQ(r.right - r.left, width);
  EXPECT_EQ(r.bottom - r.top, height);
}

TEST_F(Win32Backend, SlideShowWindowCoversTheScreenWithTheColumnPlaced) {
  Start("");
  const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
  ASSERT_EQ(cx, 1024) << "the test display is 1024 x 768";
  HWND window = Window(*module->form1());
  RECT r;
  GetWindowRect(window, &r);
  ExpectRect(r, 0, 0, cx, cy);
  EXPECT_FALSE(GetWindowLongPtrW(window, GWL_STYLE) & WS_CAPTION);
  EXPECT_TRUE(IsWindowVisible(window));

  const forms::Form& f = *module->form1();
  ExpectRect(InParent(Child(f, "SSPanel1")), 116, 93, 793, 489);
  ExpectRect(InParent(Child(f, "Image1")), 8, 8, 777, 473);
  EXPECT_EQ(GetParent(Child(f, "Image1")), Child(f, "SSPanel1"));
  ExpectRect(InParent(Child(f, "panYear")), 386, 582, 253, 24);
  ExpectRect(InParent(Child(f, "Image2")), 222, 606, 580, 75);
  EXPECT_TRUE(IsWindowVisible(Child(f, "panYear")));
  EXPECT_EQ(Text(Child(f, "panYear")), L"Kelmarion");
  EXPECT_EQ(Text(Child(f, "SSPanel1")), L"SSPanel1");
}

struct ClassSearch {
  const wchar_t* name;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectOfClass(HWND w, LPARAM p) {
  auto* s = reinterpret_cast<ClassSearch*>(p);
  wchar_t cls[64] = {};
  GetClassNameW(w, cls, 64);
  if (std::wstring(cls) == s->name) s->found.push_back(w);
  return TRUE;
}

// The top-level windows of this thread of a window class.
std::vector<HWND> WindowsOfClass(const wchar_t* name) {
  ClassSearch search{name, {}};
  EnumThreadWindows(GetCurrentThreadId(), CollectOfClass, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Every other monitor gets a black, topmost cover that never takes the focus and passes its input
// to the slide show's own surface; covers follow display changes and go with the window.
TEST_F(Win32Backend, OtherMonitorsAreCoveredAndTheirInputIsTheSlideShows) {
  Start("", std::vector<RECT>{{1024, 0, 1824, 600}});
  HWND window = Window(*module->form1());
  std::vector<HWND> covers = WindowsOfClass(L"QuildorCover");
  ASSERT_EQ(covers.size(), 1u);
  HWND cover = covers[0];
  RECT r;
  GetWindowRect(cover, &r);
  ExpectRect(r, 1024, 0, 800, 600);
  EXPECT_TRUE(IsWindowVisible(cover));
  EXPECT_EQ(GetWindow(cover, GW_OWNER), window);
  const LONG_PTR ex = GetWindowLongPtrW(cover, GWL_EXSTYLE);
  EXPECT_TRUE(ex & WS_EX_TOPMOST);
  EXPECT_TRUE(ex & WS_EX_NOACTIVATE);
  EXPECT_EQ(SendMessageW(cover, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(window),
                         MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)),
            MA_NOACTIVATE);
  EXPECT_EQ(GetFocus(), window);

  delivered.clear();
  SendMessageW(cover, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
  SendMessageW(cover, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  SendMessageW(cover, WM_KEYDOWN, VK_SPACE, 0);
  ASSERT_EQ(delivered.size(), 3u);
  EXPECT_EQ(delivered[0].event, Event::MouseMove);
  EXPECT_EQ(delivered[1].event, Event::MouseDown);
  EXPECT_EQ(delivered[2].event, Event::KeyDown);
  for (const auto& d : delivered) EXPECT_EQ(d.source, "") << "the window's own surface";

  platform->UseMonitors(std::vector<RECT>{{-800, 0, 0, 600}, {1024, 0, 2048, 768}});
  SendMessageW(window, WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768));
  EXPECT_FALSE(IsWindow(cover));
  EXPECT_EQ(WindowsOfClass(L"QuildorCover").size(), 2u);
  SendMessageW(window, WM_CLOSE, 0, 0);
  PumpMessages();
  EXPECT_TRUE(WindowsOfClass(L"QuildorCover").empty()) << "the covers go with the window";
}

TEST_F(Win32Backend, TheDialogAndThePrimaryOnlyDeskHaveNoCovers) {
  Start("/c", std::vector<RECT>{{1024, 0, 1824, 600}});
  EXPECT_TRUE(WindowsOfClass(L"QuildorCover").empty());
  TearDown();
  Start("");
  EXPECT_TRUE(WindowsOfClass(L"QuildorCover").empty()) << "Wine's single monitor";
}

TEST_F(Win32Backend, SlideShowWindowDrawsTheDesignState) {
  Start("");
  HWND window = Window(*module->form1());
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  PumpMessages();
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(GetPixel(screen, 5, 5), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(screen, 116, 93), RGB(128, 128, 128));            // sunken bevel
  EXPECT_EQ(GetPixel(screen, 116 + 792, 93 + 488), RGB(255, 255, 255));
  int coloured = 0;
  for (int x = 124; x < 124 + 777; x += 7) {
    const COLORREF c = GetPixel(screen, x, 93 + 8 + 236);
    if (GetRValue(c) + GetGValue(c) + GetBValue(c) > 150) ++coloured;
  }
  EXPECT_GT(coloured, 80) << "the design photograph fills the frame";
  const COLORREF banner = GetPixel(screen, 222 + 4, 606 + 37);
  EXPECT_GT(GetRValue(banner), GetBValue(banner)) << "the banner's brown";
  int red = 0;
  for (int y = 582; y < 582 + 24; ++y) {
    for (int x = 386; x < 386 + 253; ++x) {
      const COLORREF c = GetPixel(screen, x, y);
      if (GetRValue(c) > 128 && GetGValue(c) < 80 && GetBValue(c) < 80) ++red;
    }
  }
  EXPECT_GT(red, 40) << "\"Kelmarion\" in red";
  ReleaseDC(nullptr, screen);
}

TEST_F(Win32Backend, EveryKeyIsTheWindowsKeyDownAndPanelsSwallowTheMouse) {
  Start("");
  const forms::Form& f = *module->form1();
  SendMessageW(Child(f, "panYear"), WM_KEYDOWN, 'A', 0);
  EXPECT_TRUE(Saw(Event::KeyDown, ""));

  delivered.clear();
  for (const char* name : {"panYear", "SSPanel1", "Image2"}) {
    SendMessageW(Child(f, name), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    SendMessageW(Child(f, name), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageW(Child(f, name), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  }
  EXPECT_FALSE(Saw(Event::MouseMove, ""));
  EXPECT_FALSE(Saw(Event::MouseDown, ""));
  SendMessageW(Child(f, "Image1"), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
  EXPECT_TRUE(Saw(Event::MouseMove, "Image1"));
  SendMessageW(Child(f, "Image1"), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  SendMessageW(Child(f, "Image1"), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  EXPECT_TRUE(Saw(Event::MouseDown, "Image1"));
  EXPECT_TRUE(Saw(Event::Click, "Image1"));
  SendMessageW(Window(f), WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
  EXPECT_TRUE(Saw(Event::MouseMove, ""));

  // A close from outside runs QueryUnload, then Unload.
  delivered.clear();
  SendMessageW(Window(f), WM_CLOSE, 0, 0);
  ASSERT_EQ(delivered.size(), 2u);
  EXPECT_EQ(delivered[0].event, Event::QueryUnload);
  EXPECT_EQ(delivered[1].event, Event::Unload);
}

// No system box for a drive without a medium, on the GUI thread and on the loader's, which is
// the one that touches the photo folder; the program's own box asks for the disc.
TEST_F(Win32Backend, EveryThreadRunsWithoutTheSystemsCriticalErrorBox) {
  Start("");
  const UINT wanted = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;
  EXPECT_EQ(GetErrorMode() & wanted, wanted);
  EXPECT_EQ(GetThreadErrorMode() & wanted, wanted);
  DWORD loader_mode = 0;
  Form1& f = *module->form1();
  platform->StartLoad(f, f.Timer1, [&loader_mode] { loader_mode = GetThreadErrorMode(); });
  for (int round = 0; round < 100 && !Saw(Event::LoadComplete, "Timer1"); ++round) {
    PumpMessages();
  }
  ASSERT_TRUE(Saw(Event::LoadComplete, "Timer1"));
  EXPECT_EQ(loader_mode & wanted, wanted);
}

// The slide show cannot be seen while Windows says the displays are off or the session is
// locked (Wine sends neither: the messages are sent here as Windows sends them).
TEST_F(Win32Backend, TheShowCannotBeSeenWhileTheDisplaysAreOffOrTheSessionLocked) {
  Start("");
  const Form1& f = *module->form1();
  ASSERT_TRUE(platform->CanBeSeen(f));
  const GUID console_display_state = {
      0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
  auto display = [&](DWORD state) {
    struct {
      POWERBROADCAST_SETTING head;
      BYTE rest[sizeof(DWORD)];
    } message{};
    message.head.PowerSetting = console_display_state;
    message.head.DataLength = sizeof state;
    std::memcpy(message.head.Data, &state, sizeof state);
    SendMessageW(Window(f), WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE,
                 reinterpret_cast<LPARAM>(&message));
    return platform->CanBeSeen(f);
  };
  EXPECT_FALSE(display(0)) << "off";
  EXPECT_TRUE(display(2)) << "dimmed";
  EXPECT_FALSE(display(0));
  EXPECT_TRUE(display(1)) << "on";
  SendMessageW(Window(f), WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 1);
  EXPECT_FALSE(platform->CanBeSeen(f)) << "locked";
  SendMessageW(Window(f), WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 1);
  EXPECT_TRUE(platform->CanBeSeen(f)) << "unlocked";
}

TEST_F(Win32Backend, SettingsDialogStandsAsDesigned) {
  Start("/c");
  const forms::Form& f = *module->settings_dialog();
  HWND dialog = Window(f);
  EXPECT_EQ(Text(dialog), L"Screen Saver Settings");
  RECT client;
  GetClientRect(dialog, &client);
  EXPECT_EQ(client.right, 415);
  EXPECT_EQ(client.bottom, 296);
  ExpectRect(InParent(Child(f, "pnlSSaver")), 0, 0, 417, 297);
  ExpectRect(InParent(Child(f, "SSCommand4")), 24, 248, 121, 25);
  ExpectRect(InParent(Child(f, "SSCommand6")), 144, 248, 121, 25);
  ExpectRect(InParent(Child(f, "SSCommand5")), 264, 248, 121, 25);
  ExpectRect(InParent(Child(f, "SpinInterval")), 208, 216, 65, 17);
  ExpectRect(InParent(Child(f, "panInterval")), 272, 216, 94, 17);
  ExpectRect(InParent(Child(f, "Image2")), 56, 80, 293, 115);
  EXPECT_EQ(Text(Child(f, "SSCommand4")), L"Set");
  EXPECT_EQ(Text(Child(f, "panInterval")), L"1 Second");

  HWND spin = Child(f, "SpinInterval");
  SendMessageW(spin, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(spin, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_TRUE(Saw(Event::SpinDown, "SpinInterval"));
  SendMessageW(spin, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 5));
  SendMessageW(spin, WM_LBUTTONUP, 0, MAKELPARAM(60, 5));
  EXPECT_TRUE(Saw(Event::SpinUp, "SpinInterval"));
  HWND set = Child(f, "SSCommand4");
  SendMessageW(set, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(set, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_TRUE(Saw(Event::Click, "SSCommand4"));
}

// What a screen reader learns of the dialog through Windows' accessibility interface: the role and
// name of the dialog, each button and the spin button, the spin button's value (its value panel's
// caption), the announcement when that changes, and "Press" on a button clicks it.
std::vector<HWND> g_value_changes;
void CALLBACK OnWinEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD,
                         DWORD) {
  if (event == EVENT_OBJECT_VALUECHANGE && object == OBJID_CLIENT && child == CHILDID_SELF) {
    g_value_changes.push_back(hwnd);
  }
}

TEST_F(Win32Backend, TheDialogTellsAssistiveTechnologyWhatEachControlIs) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  Start("/c");
  frmSSSettings& f = *module->settings_dialog();
  VARIANT self;
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  auto accessible = [](HWND hwnd) {
    IAccessible* acc = nullptr;
    EXPECT_EQ(AccessibleObjectFromWindow(hwnd, OBJID_CLIENT, __uuidof(IAccessible),
                                         reinterpret_cast<void**>(&acc)), S_OK);
    return acc;
  };
  auto text = [&](IAccessible* acc, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*)) {
    BSTR b = nullptr;
    if ((acc->*get)(self, &b) != S_OK || !b) return std::wstring(L"(none)");
    std::wstring s(b, SysStringLen(b));
    SysFreeString(b);
    return s;
  };
  auto role = [&](IAccessible* acc) {
    VARIANT v;
    VariantInit(&v);
    return acc->get_accRole(self, &v) == S_OK && v.vt == VT_I4 ? v.lVal : -1;
  };
  struct Case {
    HWND hwnd;
    LONG role;
    const wchar_t* name;
    const wchar_t* value;
  };
  HWND spin = Child(f, "SpinInterval");
  const Case cases[] = {{Window(f), ROLE_SYSTEM_DIALOG, L"Screen Saver Settings", L"(none)"},
                        {Child(f, "SSCommand4"), ROLE_SYSTEM_PUSHBUTTON, L"Set", L"(none)"},
                        {Child(f, "SSCommand5"), ROLE_SYSTEM_PUSHBUTTON, L"Help", L"(none)"},
                        {Child(f, "SSCommand6"), ROLE_SYSTEM_PUSHBUTTON, L"Exit", L"(none)"},
                        {spin, ROLE_SYSTEM_SPINBUTTON, L"Set Slide Show Delay", L"1 Second"}};
  for (const Case& c : cases) {
    IAccessible* acc = accessible(c.hwnd);
    if (!acc) continue;
    SCOPED_TRACE(text(acc, &IAccessible::get_accName));
    EXPECT_EQ(role(acc), c.role);
    EXPECT_EQ(text(acc, &IAccessible::get_accName), c.name);
    EXPECT_EQ(text(acc, &IAccessible::get_accValue), c.value);
    acc->Release();
  }

  HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_VALUECHANGE, EVENT_OBJECT_VALUECHANGE, nullptr,
                                       OnWinEvent, GetCurrentProcessId(), 0,
                                       WINEVENT_OUTOFCONTEXT);
  IAccessible* acc = accessible(spin);
  f.panInterval.SetCaption("60 Seconds");
  PumpMessages();
  EXPECT_EQ(text(acc, &IAccessible::get_accValue), L"60 Seconds");
  EXPECT_NE(std::find(g_value_changes.begin(), g_value_changes.end(), spin), g_value_changes.end())
      << "the change of value is announced";
  acc->Release();
  UnhookWinEvent(hook);

  acc = accessible(Child(f, "SSCommand4"));
  EXPECT_EQ(text(acc, &IAccessible::get_accDefaultAction), L"Press");
  EXPECT_EQ(acc->accDoDefaultAction(self), S_OK);
  PumpMessages();
  EXPECT_TRUE(Saw(Event::Click, "SSCommand4"));
  acc->Release();
  CoUninitialize();
}

// An arrow key held on the spin button steps at once and every 250 ms while held, exactly as a
// held arrow does; the keyboard's own repeats add nothing, and the release stops it.
TEST_F(Win32Backend, AHeldArrowKeyRepeatsLikeAHeldArrow) {
  Start("/c");
  HWND spin = Child(*module->settings_dialog(), "SpinInterval");
  auto steps = [&](Event e) {
    return std::count_if(delivered.begin(), delivered.end(),
                         [e](const Delivered& d) { return d.event == e; });
  };
  SendMessageW(spin, WM_KEYDOWN, VK_LEFT, 1);
  SendMessageW(spin, WM_KEYUP, VK_LEFT, 0xC0000001);
  EXPECT_EQ(steps(Event::SpinDown), 1) << "a short press is one step";
  SendMessageW(spin, WM_KEYDOWN, VK_UP, 1);
  const DWORD until = GetTickCount() + 900;
  while (GetTickCount() < until) {
    SendMessageW(spin, WM_KEYDOWN, VK_UP, 0x40000001);   // the keyboard's repeat
    PumpMessages();
  }
  const auto held = steps(Event::SpinUp);
  EXPECT_GE(held, 3) << "at once, then repeats while held";
  EXPECT_LE(held, 5);
  SendMessageW(spin, WM_KEYUP, VK_UP, 0xC0000001);
  PumpMessages();
  PumpMessages();
  PumpMessages();
  EXPECT_EQ(steps(Event::SpinUp), held) << "stops when released";
  EXPECT_EQ(steps(Event::SpinDown), 1);
}

// Moved to a monitor of twice the DPI, the dialog takes the place Windows proposes and lays its
// controls out again at twice the size, fonts included; back on the first one, as designed.
TEST_F(Win32Backend, TheDialogFollowsItsMonitorsDpi) {
  Start("/c");
  const forms::Form& f = *module->settings_dialog();
  HWND dialog = Window(f);
  struct Placed {
    const char* name;
    int left, top, width, height;
  };
  const Placed designed[] = {{"pnlSSaver", 0, 0, 417, 297},   {"SSCommand4", 24, 248, 121, 25},
                             {"SpinInterval", 208, 216, 65, 17}, {"panInterval", 272, 216, 94, 17},
                             {"Image2", 56, 80, 293, 115}};
  auto font_height = [&] {
    LOGFONTW lf{};
    GetObjectW(platform->WindowOf(f)->FontFor(f.Get("SSCommand4").design().font), sizeof lf, &lf);
    return lf.lfHeight;
  };
  const LONG height_at_96 = font_height();
  for (const UINT dpi : {192u, 96u}) {
    const int k = static_cast<int>(dpi / 96);
    RECT proposed{100, 50, 100 + 900 * k / 2, 50 + 700 * k / 2};
    SendMessageW(dialog, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&proposed));
    RECT now;
    GetWindowRect(dialog, &now);
    ExpectRect(now, 100, 50, 900 * k / 2, 700 * k / 2);
    for (const Placed& p : designed) {
      SCOPED_TRACE(std::string(p.name) + " at " + std::to_string(dpi));
      ExpectRect(InParent(Child(f, p.name)), k * p.left, k * p.top, k * p.width, k * p.height);
    }
    EXPECT_EQ(font_height(), k * height_at_96);
  }
}

}  // namespace
}  // namespace quildor
