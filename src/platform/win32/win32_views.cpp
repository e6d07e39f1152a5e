#include "platform/win32/win32_views.h"

#include <commctrl.h>
#include <windowsx.h>
#include <wtsapi32.h>

#include <oleacc.h>

#include <cstring>
#include <optional>
#include <string>
#include <utility>

#include "forms/drawing.h"
#include "forms/keyboard.h"
#include "forms/run_time_error.h"
#include "platform/win32/win32_accessible.h"
#include "platform/win32/win32_controls.h"
#include "platform/win32/win32_dpi.h"
#include "platform/win32/win32_paint.h"
#include "platform/win32/win32_platform.h"

namespace quildor::win32 {

using forms::Control;
using forms::ControlKind;
using forms::Event;
using forms::Property;
using forms::TwipsToPixels;

namespace {

constexpr wchar_t kFormClass[] = L"QuildorForm";
constexpr wchar_t kCoverClass[] = L"QuildorCover";

}  // namespace

// A timer control, as a window timer of the form's window.
struct FormWindow::TimerView : forms::ControlView {
  FormWindow* owner = nullptr;
  Control* control = nullptr;
  UINT_PTR id = 0;

  ~TimerView() override {
    if (control) control->AttachView(nullptr);
    if (owner && owner->hwnd_) KillTimer(owner->hwnd_, id);
  }
  void Apply() {
    if (control->Enabled() && control->Interval() > 0) {
      SetTimer(owner->hwnd_, id, static_cast<UINT>(control->Interval()), nullptr);
    } else {
      KillTimer(owner->hwnd_, id);
    }
  }
  void PropertyChanged(const Control&, Property p) override {
    if (p == Property::Interval || p == Property::Enabled) Apply();
  }
};

void FormWindow::RegisterClasses(HINSTANCE instance) {
  RegisterWindowClass(instance, kFormClass, FormProc);
  RegisterWindowClass(instance, kCoverClass, CoverProc);

  ChildView::RegisterClass(instance);

  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
}

FormWindow::FormWindow(Win32Platform& platform, forms::Form& form)
    : platform_(platform), form_(form) {
  const auto& d = form.design();
  DWORD style = WS_CLIPCHILDREN;
  DWORD ex_style = 0;
  if (d.frameless) {
    style |= WS_POPUP;
    ex_style |= WS_EX_TOPMOST;
  } else {
    style |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    if (!d.has_icon) ex_style |= WS_EX_DLGMODALFRAME;   // a frame with no icon
  }
  // Laid out at the primary monitor's scale, where the screen's size is measured; a window that
  // comes up on another monitor is made again at that one's below.
  dpi_ = DpiOfPrimaryMonitor();
  const RECT r = FramedRect(style, ex_style);
  hwnd_ = CreateWindowExW(ex_style, kFormClass, Widen(d.caption).c_str(), style, r.left, r.top,
                          r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                          platform.instance(), this);
  if (!hwnd_) {
    throw forms::RunTimeError("Cannot create the window " + d.name + " (error " +
                              std::to_string(GetLastError()) + ")");
  }
  if (const UINT dpi = DpiOfWindow(hwnd_); dpi != dpi_) {
    dpi_ = dpi;
    ApplyWindowGeometry();
  }
  if (d.has_icon) {
    HICON icon = LoadIconW(platform.instance(), MAKEINTRESOURCEW(1));
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  }
  CreateControls();
  if (d.frameless) ListenForDarkness();
  form.AttachView(this);
}

namespace {
// The displays' power: GUID_CONSOLE_DISPLAY_STATE (Windows 8 on: 0 off, 1 on, 2 dimmed) and
// GUID_MONITOR_POWER_ON (Windows 7: 0 off, 1 on).
constexpr GUID kConsoleDisplayState = {
    0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
constexpr GUID kMonitorPowerOn = {
    0x02731015, 0x4510, 0x4526, {0x99, 0xe6, 0xe5, 0xa1, 0x7e, 0xbd, 0x1a, 0xea}};
}  // namespace

void FormWindow::ListenForDarkness() {
  // Windows answers each registration at once with the displays' state now.
  for (const GUID& setting : {kConsoleDisplayState, kMonitorPowerOn}) {
    if (HPOWERNOTIFY n = RegisterPowerSettingNotification(hwnd_, &setting,
                                                          DEVICE_NOTIFY_WINDOW_HANDLE)) {
      power_notifications_.push_back(n);
    }
  }
  session_notifications_ = WTSRegisterSessionNotification(hwnd_, NOTIFY_FOR_THIS_SESSION);
}

FormWindow::~FormWindow() {
  form_.AttachView(nullptr);
  timers_.clear();
  for (HPOWERNOTIFY n : power_notifications_) UnregisterPowerSettingNotification(n);
  if (hwnd_ && session_notifications_) WTSUnRegisterSessionNotification(hwnd_);
  if (hwnd_) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    for (auto& child : children_) SetWindowLongPtrW(child->hwnd(), GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  children_.clear();
  for (auto& [font, handle] : fonts_) DeleteObject(handle);
}

HFONT FormWindow::FontFor(const forms::Font& f) {
  for (auto& [font, handle] : fonts_) {
    if (font == f) return handle;
  }
  HFONT handle = CreateDesignFont(f, scale());
  fonts_.emplace_back(f, handle);
  return handle;
}

HWND FormWindow::ControlWindow(const forms::Control& c) const {
  for (const auto& child : children_) {
    if (&child->control() == &c) return child->hwnd();
  }
  return nullptr;
}

void FormWindow::CreateControls() {
  UINT_PTR next_timer = 1;
  int id = 1;
  for (const auto& owned : form_.Controls()) {
    Control& c = *owned;
    if (c.Kind() == ControlKind::Timer) {
      auto t = std::make_unique<TimerView>();
      t->owner = this;
      t->control = &c;
      t->id = next_timer++;
      c.AttachView(t.get());
      t->Apply();
      timers_.push_back(std::move(t));
      continue;
    }
    HWND parent = c.Container().empty() ? hwnd_ : ControlWindow(form_.Get(c.Container()));
    auto view = ChildView::Create(*this, c, parent, id++);
    if (!c.design().tooltip.empty()) {
      if (!tooltip_) {
        tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                   hwnd_, nullptr, platform_.instance(), nullptr);
      }
      static std::wstring tip;   // the tooltip control copies the text
      tip = Widen(c.design().tooltip);
      TOOLINFOW ti{};
      ti.cbSize = TTTOOLINFOW_V1_SIZE;
      ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
      ti.hwnd = hwnd_;
      ti.uId = reinterpret_cast<UINT_PTR>(view->hwnd());
      ti.lpszText = tip.data();
      SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
    children_.push_back(std::move(view));
  }
  // Windowed controls stand above the image and label controls of their container. Each
  // SetWindowPos(HWND_TOP) puts one on top, so in creation order the last made ends highest.
  for (const auto& child : children_) {
    if (forms::IsWindowed(child->control().Kind())) {
      SetWindowPos(child->hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
}

RECT FormWindow::FramedRect(DWORD style, DWORD ex_style) const {
  const auto& d = form_.design();
  const forms::Scale s = scale();
  RECT r{0, 0, s.Pixels(TwipsToPixels(d.client_width)), s.Pixels(TwipsToPixels(d.client_height))};
  AdjustWindowRectForDpi(&r, style, ex_style, dpi_);
  OffsetRect(&r, s.Edge(TwipsToPixels(form_.Left())), s.Edge(TwipsToPixels(form_.Top())));
  return r;
}

void FormWindow::ApplyWindowGeometry() {
  const auto& d = form_.design();
  if (d.frameless && form_.State() == forms::WindowState::Maximized) {
    // The whole screen, taskbar included: what a screen saver covers.
    SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                 GetSystemMetrics(SM_CYSCREEN), SWP_NOACTIVATE);
    return;
  }
  const RECT r = FramedRect(static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)),
                            static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)));
  SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormWindow::ChangeDpi(UINT dpi, const RECT* suggested) {
  dpi_ = dpi;
  for (auto& [font, handle] : fonts_) DeleteObject(handle);
  fonts_.clear();
  for (const auto& child : children_) child->Relayout();
  const auto& d = form_.design();
  if (suggested && !(d.frameless && form_.State() == forms::WindowState::Maximized)) {
    SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                 suggested->right - suggested->left, suggested->bottom - suggested->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    ApplyWindowGeometry();
  }
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void FormWindow::ShowAsModelled() {
  ApplyWindowGeometry();
  platform_.FormShown(form_);
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  // The keyboard goes to the first Tab stop, as in any dialog; a form without one keeps it.
  const Control* first = forms::NextFocus(form_, nullptr, false);
  SetFocus(first ? ControlWindow(*first) : hwnd_);
  UpdateWindow(hwnd_);
  UpdateCovers();
}

void FormWindow::UpdateCovers() {
  for (HWND cover : covers_) DestroyWindow(cover);
  covers_.clear();
  const auto& d = form_.design();
  if (!hwnd_ || !d.frameless || form_.State() != forms::WindowState::Maximized ||
      !IsWindowVisible(hwnd_)) {
    return;
  }
  // Plain black, borderless, above everything, never activated and not on the taskbar; owned by
  // the slide show's window, so they go when it goes.
  for (const RECT& r : platform_.OtherMonitors()) {
    HWND cover = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kCoverClass,
                                 L"", WS_POPUP, r.left, r.top, r.right - r.left, r.bottom - r.top,
                                 hwnd_, nullptr, platform_.instance(), this);
    if (!cover) continue;
    ShowWindow(cover, SW_SHOWNOACTIVATE);
    covers_.push_back(cover);
  }
}

// A cover's input counts as input on the slide show's own surface: a key or a button ends the
// show, a move counts toward its fourth. A click never takes the keyboard focus from the show.
LRESULT CALLBACK FormWindow::CoverProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    const auto* create = reinterpret_cast<CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* owner = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (owner && owner->DeliverSurfaceInput(hwnd, msg, lp)) return 0;
  switch (msg) {
    case WM_ERASEBKGND: {
      RECT rc;
      GetClientRect(hwnd, &rc);
      Fill(reinterpret_cast<HDC>(wp), rc, RGB(0, 0, 0));
      return 1;
    }
    case WM_SETCURSOR:
      if (LOWORD(lp) == HTCLIENT) {
        SetCursor(nullptr);
        return TRUE;
      }
      break;
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_NCDESTROY: SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0); break;
    default: break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

void FormWindow::PropertyChanged(const forms::Form&, forms::Property p) {
  if (p == Property::Left || p == Property::Top || p == Property::WindowState) {
    ApplyWindowGeometry();
  }
}

void FormWindow::Deliver(forms::Event e, const forms::Control* source) {
  platform_.Deliver(form_, e, source);
}

void FormWindow::MoveFocus(const forms::Control* from, bool backwards) {
  if (const Control* to = forms::NextFocus(form_, from, backwards)) SetFocus(ControlWindow(*to));
}

void FormWindow::CloseFromOutside() {
  if (closing_) return;
  closing_ = true;
  Deliver(Event::QueryUnload, nullptr);
  Deliver(Event::Unload, nullptr);
}

LRESULT CALLBACK FormWindow::FormProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<FormWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  return self->HandleFormMessage(msg, wp, lp);
}

void FormWindow::DeliverMove(const forms::Control* source, POINT screen) {
  platform_.DeliverMove(form_, source, screen);
}

bool FormWindow::DeliverSurfaceInput(HWND hwnd, UINT msg, LPARAM lp) {
  switch (msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: Deliver(Event::KeyDown, nullptr); return true;
    case WM_MOUSEMOVE: {
      POINT at{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      ClientToScreen(hwnd, &at);
      DeliverMove(nullptr, at);
      return true;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: Deliver(Event::MouseDown, nullptr); return true;
    default: return false;
  }
}

LRESULT FormWindow::HandleFormMessage(UINT msg, WPARAM wp, LPARAM lp) {
  // The system keys go on to Windows' own handling after the form has seen them.
  if (DeliverSurfaceInput(hwnd_, msg, lp)) {
    return msg == WM_SYSKEYDOWN ? DefWindowProcW(hwnd_, msg, wp, lp) : 0;
  }
  switch (msg) {
    case WM_ERASEBKGND: {
      RECT rc;
      GetClientRect(hwnd_, &rc);
      Fill(reinterpret_cast<HDC>(wp), rc, ToColorRef(form_.design().back_color));
      return 1;
    }
    case WM_SETCURSOR:
      if (form_.design().blank_pointer && LOWORD(lp) == HTCLIENT) {
        SetCursor(nullptr);   // no pointer over the picture; the display counter is left alone
        return TRUE;
      }
      break;
    case WM_TIMER:
      for (const auto& t : timers_) {
        if (t->id == wp) {
          Deliver(Event::Timer, t->control);
          return 0;
        }
      }
      return 0;
    case WM_SYSCOMMAND:
      // Windows asks a running screen saver to start again when the idle time runs out once
      // more; the slide show is already running.
      if ((wp & 0xFFF0) == SC_SCREENSAVE && form_.design().frameless) return 0;
      break;
    case WM_CLOSE:
      CloseFromOutside();
      DestroyWindow(hwnd_);
      return 0;
    case WM_DISPLAYCHANGE:
      // Monitors plugged in or out: the covers follow; the slide show keeps its layout.
      UpdateCovers();
      break;
    case WM_DPICHANGED:
      // Moved to a monitor of another DPI, or the monitor's scaling changed.
      ChangeDpi(HIWORD(wp), reinterpret_cast<const RECT*>(lp));
      return 0;
    case WM_SETFOCUS:
      // Activated again (or a message box of the program closed): the control that had the
      // keyboard has it again.
      if (focus_ && IsWindow(focus_) && IsChild(hwnd_, focus_)) {
        SetFocus(focus_);
        return 0;
      }
      break;
    case WM_GETOBJECT:
      // A dialog, for assistive technology, named by its title; the slide show is left to the
      // standard object.
      if (!form_.design().frameless) {
        HWND self = hwnd_;
        const LRESULT answer = AnswerGetObject(self, wp, lp, [self] {
          const auto* window = reinterpret_cast<const FormWindow*>(
              GetWindowLongPtrW(self, GWLP_USERDATA));
          std::optional<AccessibleFacts> facts;
          if (window) {
            facts.emplace();
            facts->role = ROLE_SYSTEM_DIALOG;
            facts->name = Widen(window->form_.design().caption);
          }
          return facts;
        });
        if (answer) return answer;
      }
      break;
    case WM_POWERBROADCAST:
      if (wp == PBT_POWERSETTINGCHANGE && lp) {
        const auto* setting = reinterpret_cast<const POWERBROADCAST_SETTING*>(lp);
        if ((IsEqualGUID(setting->PowerSetting, kConsoleDisplayState) ||
             IsEqualGUID(setting->PowerSetting, kMonitorPowerOn)) &&
            setting->DataLength >= sizeof(DWORD)) {
          DWORD state = 0;
          std::memcpy(&state, setting->Data, sizeof state);
          platform_.DisplaysPowered(state != 0);   // dimmed counts as on
        }
        return TRUE;
      }
      break;
    case WM_WTSSESSION_CHANGE:
      if (wp == WTS_SESSION_LOCK || wp == WTS_SESSION_UNLOCK) {
        platform_.SessionLocked(wp == WTS_SESSION_LOCK);
      }
      return 0;
    case WM_QUERYENDSESSION: return TRUE;
    case WM_ENDSESSION:
      if (wp) CloseFromOutside();
      return 0;
    case WM_DESTROY: {
      for (HWND cover : covers_) DestroyWindow(cover);
      covers_.clear();
      timers_.clear();
      HWND gone = hwnd_;
      hwnd_ = nullptr;
      SetWindowLongPtrW(gone, GWLP_USERDATA, 0);
      platform_.FormWindowDestroyed();
      return 0;
    }
    default: break;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace quildor::win32
