#include "platform/win32/win32_views.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>

#include "forms/drawing.h"
#include "forms/run_time_error.h"
#include "platform/win32/win32_paint.h"
#include "platform/win32/win32_pictures.h"
#include "platform/win32/win32_platform.h"

namespace quildor::win32 {

using forms::Control;
using forms::ControlKind;
using forms::Event;
using forms::Property;
using forms::TwipsToPixels;

namespace {

constexpr wchar_t kFormClass[] = L"QuildorForm";
constexpr wchar_t kChildClass[] = L"QuildorControl";
constexpr UINT_PTR kSpinRepeatTimer = 1;
constexpr UINT kSpinRepeatMs = 250;

}  // namespace

COLORREF ToColorRef(const forms::Color& c) {
  switch (c.system) {
    case forms::Color::System::None: return RGB(c.r, c.g, c.b);
    case forms::Color::System::ButtonText: return GetSysColor(COLOR_BTNTEXT);
    case forms::Color::System::ButtonFace: return GetSysColor(COLOR_BTNFACE);
    case forms::Color::System::WindowBackground: return GetSysColor(COLOR_WINDOW);
  }
  return RGB(c.r, c.g, c.b);
}

void Fill(HDC dc, const RECT& r, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

RECT ToRect(const forms::PixelRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

forms::PixelRect ToPixelRect(const RECT& r) {
  return forms::PixelRect{r.left, r.top, r.right, r.bottom};
}

void FillStrips(HDC dc, const std::vector<forms::Strip>& strips) {
  for (const forms::Strip& s : strips) Fill(dc, ToRect(s.rect), ToColorRef(forms::ShadeColor(s.shade)));
}

namespace {

void DrawArrow(HDC dc, const RECT& r, bool left, COLORREF color) {
  const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  const int h = std::max(2, static_cast<int>(std::min(r.right - r.left, r.bottom - r.top)) / 3);
  POINT pts[3];
  if (left) {
    pts[0] = {cx - h / 2 - 1, cy};
    pts[1] = {cx + h / 2, cy - h};
    pts[2] = {cx + h / 2, cy + h};
  } else {
    pts[0] = {cx + h / 2 + 1, cy};
    pts[1] = {cx - h / 2, cy - h};
    pts[2] = {cx - h / 2, cy + h};
  }
  HBRUSH brush = CreateSolidBrush(color);
  HPEN pen = CreatePen(PS_SOLID, 1, color);
  HGDIOBJ old_brush = SelectObject(dc, brush);
  HGDIOBJ old_pen = SelectObject(dc, pen);
  Polygon(dc, pts, 3);
  SelectObject(dc, old_brush);
  SelectObject(dc, old_pen);
  DeleteObject(brush);
  DeleteObject(pen);
}

}  // namespace

HFONT CreateDesignFont(const forms::Font& f) {
  return CreateFontW(-forms::FontPixelHeight(f.points), 0, 0, 0, f.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_SWISS, Widen(f.name).c_str());
}

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP info{};
  GetObjectW(bitmap, sizeof info, &info);
  return SIZE{info.bmWidth, info.bmHeight < 0 ? -info.bmHeight : info.bmHeight};
}

void StretchPicture(HDC dc, const RECT& area, HBITMAP bitmap) {
  const SIZE size = BitmapSize(bitmap);
  HDC src = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(src, bitmap);
  const int w = area.right - area.left, h = area.bottom - area.top;
  if (size.cx == w && size.cy == h) {
    // Already the area's size (the loader scales photographs to their control): copied as is.
    BitBlt(dc, area.left, area.top, w, h, src, 0, 0, SRCCOPY);
  } else {
    // HALFTONE averages the source pixels: smooth scaling, never nearest-pixel.
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, area.left, area.top, w, h, src, 0, 0, size.cx, size.cy, SRCCOPY);
  }
  SelectObject(src, old);
  DeleteDC(src);
}

void DrawCaption(HDC dc, RECT rc, const Control& c, HFONT font, UINT format) {
  if (c.Caption().empty()) return;
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ToColorRef(c.design().fore_color));
  const std::wstring text = Widen(c.Caption());
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, format | DT_NOPREFIX);
  SelectObject(dc, old);
}

void PaintPanel(HDC dc, const RECT& rc, const Control& c, HFONT font) {
  const auto& d = c.design();
  Fill(dc, rc, ToColorRef(d.back_color));
  FillStrips(dc, forms::Panel(d, ToPixelRect(rc)).strips);
  DrawCaption(dc, rc, c, font, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void PaintImage(HDC dc, const RECT& rc, const Control& c, COLORREF container) {
  const auto& d = c.design();
  const forms::ImageGeometry geometry = forms::Image(d, ToPixelRect(rc));
  FillStrips(dc, geometry.strips);
  const RECT area = ToRect(geometry.area);
  HBITMAP bitmap = BitmapOf(c.GetPicture());
  if (!bitmap || !d.stretch) Fill(dc, area, container);
  if (!bitmap) return;
  if (d.stretch) {
    StretchPicture(dc, area, bitmap);
    return;
  }
  const SIZE size = BitmapSize(bitmap);
  HDC src = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(src, bitmap);
  BitBlt(dc, area.left, area.top, std::min<LONG>(area.right - area.left, size.cx),
         std::min<LONG>(area.bottom - area.top, size.cy), src, 0, 0, SRCCOPY);
  SelectObject(src, old);
  DeleteDC(src);
}

namespace {

RECT TwipsRect(const Control& c) { return ToRect(forms::ControlRect(c)); }

}  // namespace

// One child window: its control, and what its drawing and input need.
struct FormWindow::ChildView : forms::ControlView {
  FormWindow* owner = nullptr;
  Control* control = nullptr;
  HWND hwnd = nullptr;
  HBITMAP scaled = nullptr;   // a stretched picture of another size, scaled once
  SIZE scaled_size{};
  bool pressed = false;       // command button held down with the pointer inside
  bool captured = false;
  int spin_held = 0;          // -1 down arrow held, +1 up arrow held

  ~ChildView() override {
    if (control) control->AttachView(nullptr);
    if (scaled) DeleteObject(scaled);
  }

  void PropertyChanged(const Control& c, Property p) override {
    switch (p) {
      case Property::Left:
      case Property::Top:
      case Property::Width:
      case Property::Height: {
        const RECT r = TwipsRect(c);
        MoveWindow(hwnd, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
        break;
      }
      case Property::Visible: ShowWindow(hwnd, c.Visible() ? SW_SHOWNA : SW_HIDE); break;
      case Property::Enabled: EnableWindow(hwnd, c.Enabled()); break;
      case Property::Caption:
        SetWindowTextW(hwnd, Widen(c.Caption()).c_str());
        InvalidateRect(hwnd, nullptr, FALSE);
        break;
      case Property::Picture:
        if (scaled) DeleteObject(scaled);
        scaled = nullptr;
        InvalidateRect(hwnd, nullptr, FALSE);
        break;
      default: InvalidateRect(hwnd, nullptr, FALSE); break;
    }
  }

  // The colour behind a transparent or empty control: its container's.
  COLORREF ContainerColor() const {
    const std::string& container = control->Container();
    if (container.empty()) return ToColorRef(owner->form_.design().back_color);
    return ToColorRef(owner->form_.Get(container).design().back_color);
  }

  void Paint(HDC dc) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    const auto& d = control->design();
    switch (control->Kind()) {
      case ControlKind::Panel3D: PaintPanel(dc, rc, d); break;
      case ControlKind::Image: PaintImage(dc, rc, d); break;
      case ControlKind::Label: PaintLabel(dc, rc, d); break;
      case ControlKind::Command3D: PaintCommand(dc, rc, d); break;
      case ControlKind::SpinButton: PaintSpin(dc, rc, d); break;
      case ControlKind::Timer: break;
    }
  }

  void DrawCaption(HDC dc, RECT rc, const Control::Design& d, UINT format) {
    win32::DrawCaption(dc, rc, *control, owner->FontFor(d.font), format);
  }

  void PaintPanel(HDC dc, const RECT& rc, const Control::Design& d) {
    win32::PaintPanel(dc, rc, *control, owner->FontFor(d.font));
  }

  void PaintImage(HDC dc, const RECT& rc, const Control::Design& d) {
    HBITMAP bitmap = BitmapOf(control->GetPicture());
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    const SIZE own = bitmap ? BitmapSize(bitmap) : SIZE{};
    // Drawn straight from the picture when nothing is to be scaled (the loader gives photographs
    // their control's size) or when it is not stretched.
    if (!d.stretch || !bitmap || d.border != forms::BorderStyle::None ||
        (own.cx == w && own.cy == h)) {
      win32::PaintImage(dc, rc, *control, ContainerColor());
      return;
    }
    // Any other stretched picture is scaled once per picture and size, not at every repaint.
    if (!scaled || scaled_size.cx != w || scaled_size.cy != h) {
      if (scaled) DeleteObject(scaled);
      scaled = CreateCompatibleBitmap(dc, w, h);
      scaled_size = {w, h};
      HDC dst = CreateCompatibleDC(dc);
      HGDIOBJ old = SelectObject(dst, scaled);
      StretchPicture(dst, RECT{0, 0, w, h}, bitmap);
      SelectObject(dst, old);
      DeleteDC(dst);
    }
    HDC src = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(src, scaled);
    BitBlt(dc, rc.left, rc.top, w, h, src, 0, 0, SRCCOPY);
    SelectObject(src, old);
    DeleteDC(src);
  }

  void PaintLabel(HDC dc, const RECT& rc, const Control::Design& d) {
    Fill(dc, rc, d.transparent ? ContainerColor() : ToColorRef(d.back_color));
    const UINT align = d.alignment == forms::Align::Center ? DT_CENTER : DT_LEFT;
    DrawCaption(dc, rc, d, align | DT_WORDBREAK | DT_TOP);
  }

  void PaintCommand(HDC dc, const RECT& rc, const Control::Design& d) {
    Fill(dc, rc, ToColorRef(d.back_color));
    RECT edge = rc;
    DrawEdge(dc, &edge, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    RECT text = rc;
    if (pressed) OffsetRect(&text, 1, 1);
    DrawCaption(dc, text, d, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (GetFocus() == hwnd) {
      RECT focus = rc;
      InflateRect(&focus, -4, -4);
      DrawFocusRect(dc, &focus);
    }
  }

  void PaintSpin(HDC dc, const RECT& rc, const Control::Design& d) {
    Fill(dc, rc, ToColorRef(d.back_color));
    const int mid = (rc.left + rc.right) / 2;
    const RECT halves[2] = {{rc.left, rc.top, mid, rc.bottom}, {mid, rc.top, rc.right, rc.bottom}};
    for (int i = 0; i < 2; ++i) {
      RECT r = halves[i];
      const bool held = spin_held == (i == 0 ? -1 : 1);
      DrawEdge(dc, &r, held ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
      DrawArrow(dc, halves[i], i == 0, ToColorRef(d.fore_color));
    }
  }

  int SpinHalf(LPARAM lp) const {
    RECT rc;
    GetClientRect(hwnd, &rc);
    return GET_X_LPARAM(lp) < (rc.left + rc.right) / 2 ? -1 : 1;
  }

  void Deliver(Event e) { owner->Deliver(e, control); }

  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        Paint(dc);
        EndPaint(hwnd, &ps);
        return 0;
      }
      case WM_PRINTCLIENT:
        Paint(reinterpret_cast<HDC>(wp));
        return 0;
      case WM_ERASEBKGND: return 1;
      case WM_KEYDOWN:
      case WM_SYSKEYDOWN:
        if (control->Kind() == ControlKind::Command3D && (wp == VK_SPACE || wp == VK_RETURN)) {
          Deliver(Event::Click);
          return 0;
        }
        owner->Deliver(Event::KeyDown, nullptr);
        return msg == WM_SYSKEYDOWN ? DefWindowProcW(hwnd, msg, wp, lp) : 0;
      case WM_SETFOCUS:
      case WM_KILLFOCUS: InvalidateRect(hwnd, nullptr, FALSE); return 0;
      case WM_MOUSEMOVE:
        if (captured && control->Kind() == ControlKind::Command3D) {
          RECT rc;
          GetClientRect(hwnd, &rc);
          const bool inside = PtInRect(&rc, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
          if (inside != pressed) {
            pressed = inside;
            InvalidateRect(hwnd, nullptr, FALSE);
          }
        }
        Deliver(Event::MouseMove);
        return 0;
      case WM_LBUTTONDOWN:
      case WM_RBUTTONDOWN:
      case WM_MBUTTONDOWN:
        if (msg == WM_LBUTTONDOWN) {
          SetCapture(hwnd);
          captured = true;
          if (control->Kind() == ControlKind::Command3D) {
            pressed = true;
            SetFocus(hwnd);
            InvalidateRect(hwnd, nullptr, FALSE);
          } else if (control->Kind() == ControlKind::SpinButton) {
            spin_held = SpinHalf(lp);
            InvalidateRect(hwnd, nullptr, FALSE);
            SetTimer(hwnd, kSpinRepeatTimer, kSpinRepeatMs, nullptr);
          }
        }
        Deliver(Event::MouseDown);
        if (msg == WM_LBUTTONDOWN && spin_held != 0) {
          Deliver(spin_held < 0 ? Event::SpinDown : Event::SpinUp);
        }
        return 0;
      case WM_LBUTTONUP: {
        if (!captured) return 0;
        captured = false;
        ReleaseCapture();
        RECT rc;
        GetClientRect(hwnd, &rc);
        const bool inside = PtInRect(&rc, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
        const bool was_spin = spin_held != 0;
        pressed = false;
        spin_held = 0;
        KillTimer(hwnd, kSpinRepeatTimer);
        InvalidateRect(hwnd, nullptr, FALSE);
        if (inside && !was_spin) Deliver(Event::Click);
        return 0;
      }
      case WM_CAPTURECHANGED:
        captured = false;
        pressed = false;
        spin_held = 0;
        KillTimer(hwnd, kSpinRepeatTimer);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
      case WM_TIMER:
        if (wp == kSpinRepeatTimer && spin_held != 0) {
          Deliver(spin_held < 0 ? Event::SpinDown : Event::SpinUp);
        }
        return 0;
      case WM_GETDLGCODE: return DLGC_WANTALLKEYS;
      default: return DefWindowProcW(hwnd, msg, wp, lp);
    }
  }
};

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
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = 0;   // no double clicks: each press is a press (the spin button counts them)
  wc.lpfnWndProc = FormProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kFormClass;
  RegisterClassExW(&wc);

  wc.lpfnWndProc = ChildProc;
  wc.lpszClassName = kChildClass;
  RegisterClassExW(&wc);

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
  RECT r{0, 0, TwipsToPixels(d.client_width), TwipsToPixels(d.client_height)};
  AdjustWindowRectEx(&r, style, FALSE, ex_style);
  const int x = TwipsToPixels(form.Left()) + r.left, y = TwipsToPixels(form.Top()) + r.top;
  hwnd_ = CreateWindowExW(ex_style, kFormClass, Widen(d.caption).c_str(), style, x, y,
                          r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                          platform.instance(), this);
  if (!hwnd_) throw forms::RunTimeError("Cannot create the window " + d.name);
  if (d.has_icon) {
    HICON icon = LoadIconW(platform.instance(), MAKEINTRESOURCEW(1));
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  }
  CreateControls();
  form.AttachView(this);
}

FormWindow::~FormWindow() {
  form_.AttachView(nullptr);
  timers_.clear();
  if (hwnd_) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    for (auto& child : children_) SetWindowLongPtrW(child->hwnd, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  children_.clear();
  for (auto& [font, handle] : fonts_) DeleteObject(handle);
}

HFONT FormWindow::FontFor(const forms::Font& f) {
  for (auto& [font, handle] : fonts_) {
    if (font == f) return handle;
  }
  HFONT handle = CreateDesignFont(f);
  fonts_.emplace_back(f, handle);
  return handle;
}

HWND FormWindow::ControlWindow(const forms::Control& c) const {
  for (const auto& child : children_) {
    if (child->control == &c) return child->hwnd;
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
    const RECT r = TwipsRect(c);
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (c.Visible()) style |= WS_VISIBLE;
    if (c.Kind() == ControlKind::Command3D) style |= WS_TABSTOP;
    auto view = std::make_unique<ChildView>();
    view->owner = this;
    view->control = &c;
    view->hwnd = CreateWindowExW(0, kChildClass, Widen(c.Caption()).c_str(), style, r.left, r.top,
                                 r.right - r.left, r.bottom - r.top, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)),
                                 platform_.instance(), nullptr);
    if (!view->hwnd) throw forms::RunTimeError("Cannot create the control " + c.Name());
    SetWindowLongPtrW(view->hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view.get()));
    c.AttachView(view.get());
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
      ti.uId = reinterpret_cast<UINT_PTR>(view->hwnd);
      ti.lpszText = tip.data();
      SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
    children_.push_back(std::move(view));
  }
  // Windowed controls stand above the image and label controls of their container. Each
  // SetWindowPos(HWND_TOP) puts one on top, so in creation order the last made ends highest.
  for (const auto& child : children_) {
    if (forms::IsWindowed(child->control->Kind())) {
      SetWindowPos(child->hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
}

void FormWindow::ApplyWindowGeometry() {
  const auto& d = form_.design();
  if (d.frameless && form_.State() == forms::WindowState::Maximized) {
    // The whole screen, taskbar included: what a screen saver covers.
    SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                 GetSystemMetrics(SM_CYSCREEN), SWP_NOACTIVATE);
    return;
  }
  RECT r{0, 0, 0, 0};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)));
  SetWindowPos(hwnd_, nullptr, TwipsToPixels(form_.Left()) + r.left,
               TwipsToPixels(form_.Top()) + r.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormWindow::ShowAsModelled() {
  ApplyWindowGeometry();
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  SetFocus(hwnd_);
  UpdateWindow(hwnd_);
}

void FormWindow::PropertyChanged(const forms::Form&, forms::Property p) {
  if (p == Property::Left || p == Property::Top || p == Property::WindowState) {
    ApplyWindowGeometry();
  }
}

void FormWindow::Deliver(forms::Event e, const forms::Control* source) {
  platform_.Deliver(form_, e, source);
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

LRESULT CALLBACK FormWindow::ChildProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* view = reinterpret_cast<ChildView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!view) return DefWindowProcW(hwnd, msg, wp, lp);
  return view->Handle(msg, wp, lp);
}

LRESULT FormWindow::HandleFormMessage(UINT msg, WPARAM wp, LPARAM lp) {
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
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      Deliver(Event::KeyDown, nullptr);
      if (msg == WM_KEYDOWN) return 0;
      break;
    case WM_MOUSEMOVE: Deliver(Event::MouseMove, nullptr); return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: Deliver(Event::MouseDown, nullptr); return 0;
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
    case WM_QUERYENDSESSION: return TRUE;
    case WM_ENDSESSION:
      if (wp) CloseFromOutside();
      return 0;
    case WM_DESTROY: {
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
