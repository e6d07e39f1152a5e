#include "platform/win32/win32_controls.h"

#include <windowsx.h>

#include <oleacc.h>

#include <string>

#include "forms/drawing.h"
#include "forms/event_log.h"
#include "forms/keyboard.h"
#include "forms/run_time_error.h"
#include "platform/win32/win32_paint.h"
#include "platform/win32/win32_pictures.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_views.h"

namespace quildor::win32 {

using forms::Control;
using forms::ControlKind;
using forms::Event;
using forms::Property;

namespace {

constexpr wchar_t kChildClass[] = L"QuildorControl";
constexpr UINT_PTR kSpinRepeatTimer = 1;
constexpr UINT kSpinRepeatMs = 250;

class PanelView : public ChildView {
 public:
  using ChildView::ChildView;

 protected:
  void Paint(HDC dc, const RECT& rc) override {
    PaintPanel(dc, rc, control_, Font(), Scale());
  }
};

class ImageView : public ChildView {
 public:
  using ChildView::ChildView;

 protected:
  void PictureChanged() override { scaled_.Reset(); }
  void Paint(HDC dc, const RECT& rc) override {
    PaintImage(dc, rc, control_, ContainerColor(), Scale(), scaled_);
  }

 private:
  ScaledBitmap scaled_;   // the picture scaled to the size it is shown at, once per size
};

class LabelView : public ChildView {
 public:
  using ChildView::ChildView;

 protected:
  void Paint(HDC dc, const RECT& rc) override {
    const auto& d = control_.design();
    Fill(dc, rc, d.transparent ? ContainerColor() : ToColorRef(d.back_color));
    const UINT align = d.alignment == forms::Align::Center ? DT_CENTER : DT_LEFT;
    DrawCaption(dc, rc, align | DT_WORDBREAK | DT_TOP);
  }
};

// The dotted rectangle that shows the keyboard focus, inside a control's edge.
void DrawFocusMark(HDC dc, const RECT& rc, forms::Scale scale, int inset) {
  RECT focus = rc;
  InflateRect(&focus, -scale.Pixels(inset), -scale.Pixels(inset));
  DrawFocusRect(dc, &focus);
}

// A push button: pressed while the left button is held over it, or Space while it has the
// focus; a click when released over it, when Space is released, or at once on Enter.
class CommandView : public ChildView {
 public:
  using ChildView::ChildView;

 protected:
  void Paint(HDC dc, const RECT& rc) override {
    const forms::Scale scale = Scale();
    const bool sunken = pressed_ || space_down_;
    Fill(dc, rc, ToColorRef(control_.design().back_color));
    DrawButtonEdge(dc, rc, sunken, scale);
    RECT text = rc;
    if (sunken) OffsetRect(&text, scale.Pixels(1), scale.Pixels(1));
    DrawCaption(dc, text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (GetFocus() == hwnd_) DrawFocusMark(dc, rc, scale, 4);
  }
  bool Key(WPARAM wp, bool repeat) override {
    if (wp == VK_RETURN) {
      if (!repeat) Deliver(Event::Click);
      return true;
    }
    if (wp != VK_SPACE) return false;
    if (!repeat) {
      space_down_ = true;
      Repaint();
    }
    return true;
  }
  void KeyReleased(WPARAM wp) override {
    if (wp != VK_SPACE || !space_down_) return;
    space_down_ = false;
    Repaint();
    Deliver(Event::Click);
  }
  void FocusLost() override {
    space_down_ = false;
    Repaint();
  }
  void Pressed(LPARAM) override {
    pressed_ = true;
    SetFocus(hwnd_);
    Repaint();
  }
  void Dragged(bool inside) override {
    if (inside == pressed_) return;
    pressed_ = inside;
    Repaint();
  }
  bool Released() override {
    pressed_ = false;
    Repaint();
    return true;
  }

 private:
  bool pressed_ = false;      // by the mouse
  bool space_down_ = false;   // by the Space key
};

// Two arrow buttons side by side: a press on one is a SpinDown (left) or SpinUp (right), repeated
// while it is held; a release is no click. With the focus, an arrow key holds the arrow of its
// direction (Up and Right the right one) exactly as the mouse does, for as long as it is down.
class SpinView : public ChildView {
 public:
  using ChildView::ChildView;

 protected:
  void Paint(HDC dc, const RECT& rc) override {
    const auto& d = control_.design();
    Fill(dc, rc, ToColorRef(d.back_color));
    const int mid = (rc.left + rc.right) / 2;
    const RECT halves[2] = {{rc.left, rc.top, mid, rc.bottom}, {mid, rc.top, rc.right, rc.bottom}};
    for (int i = 0; i < 2; ++i) {
      const bool held = held_ == (i == 0 ? -1 : 1);
      DrawButtonEdge(dc, halves[i], held, Scale());
      DrawArrow(dc, halves[i], i == 0, ToColorRef(d.fore_color));
    }
    if (GetFocus() == hwnd_) DrawFocusMark(dc, rc, Scale(), 3);
  }
  void Pressed(LPARAM lp) override {
    RECT rc;
    GetClientRect(hwnd_, &rc);
    Hold(GET_X_LPARAM(lp) < (rc.left + rc.right) / 2 ? -1 : 1);
  }
  void AfterMouseDown() override { RepeatTick(); }
  void RepeatTick() override {
    if (held_ != 0) Deliver(held_ < 0 ? Event::SpinDown : Event::SpinUp);
  }
  bool Released() override {
    const bool was_held = held_ != 0;
    Let();
    return !was_held;
  }
  bool Key(WPARAM wp, bool repeat) override {
    std::optional<forms::ArrowKey> key;
    switch (wp) {
      case VK_LEFT: key = forms::ArrowKey::Left; break;
      case VK_UP: key = forms::ArrowKey::Up; break;
      case VK_RIGHT: key = forms::ArrowKey::Right; break;
      case VK_DOWN: key = forms::ArrowKey::Down; break;
      default: return false;
    }
    // The keyboard's own repeats are not steps: the arrow's repeat timer makes them.
    if (repeat || held_ != 0) return true;
    held_key_ = wp;
    Hold(forms::SpinEventFor(*key) == Event::SpinUp ? 1 : -1);
    RepeatTick();
    return true;
  }
  void KeyReleased(WPARAM wp) override {
    if (held_key_ == wp) Let();
  }
  void FocusLost() override {
    if (held_key_ != 0) Let();
    Repaint();
  }

 private:
  void Hold(int arrow) {
    held_ = arrow;
    Repaint();
    SetTimer(hwnd_, kSpinRepeatTimer, kSpinRepeatMs, nullptr);
  }
  void Let() {
    held_ = 0;
    held_key_ = 0;
    KillTimer(hwnd_, kSpinRepeatTimer);
    Repaint();
  }

  int held_ = 0;          // -1 the left (down) arrow held, +1 the right (up) one
  WPARAM held_key_ = 0;   // the arrow key that holds it, if a key does
};

}  // namespace

std::unique_ptr<ChildView> ChildView::Create(FormWindow& owner, Control& c, HWND parent, int id) {
  std::unique_ptr<ChildView> view;
  switch (c.Kind()) {
    case ControlKind::Panel3D: view = std::make_unique<PanelView>(owner, c); break;
    case ControlKind::Image: view = std::make_unique<ImageView>(owner, c); break;
    case ControlKind::Label: view = std::make_unique<LabelView>(owner, c); break;
    case ControlKind::Command3D: view = std::make_unique<CommandView>(owner, c); break;
    case ControlKind::SpinButton: view = std::make_unique<SpinView>(owner, c); break;
    case ControlKind::Timer: return nullptr;
  }
  const RECT r = ToRect(forms::ControlRect(c, owner.scale()));
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  if (c.Visible()) style |= WS_VISIBLE;
  if (forms::TakesFocus(c)) style |= WS_TABSTOP;
  view->hwnd_ = CreateWindowExW(0, kChildClass, Widen(c.Caption()).c_str(), style, r.left, r.top,
                                r.right - r.left, r.bottom - r.top, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                owner.platform().instance(), nullptr);
  if (!view->hwnd_) throw forms::RunTimeError("Cannot create the control " + c.Name());
  SetWindowLongPtrW(view->hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view.get()));
  c.AttachView(view.get());
  return view;
}

void RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC proc) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = 0;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
}

void ChildView::RegisterClass(HINSTANCE instance) {
  RegisterWindowClass(instance, kChildClass, Proc);
}

ChildView::~ChildView() { control_.AttachView(nullptr); }

void ChildView::PropertyChanged(const Control& c, Property p) {
  switch (p) {
    case Property::Left:
    case Property::Top:
    case Property::Width:
    case Property::Height: Relayout(); break;
    case Property::Visible: ShowWindow(hwnd_, c.Visible() ? SW_SHOWNA : SW_HIDE); break;
    case Property::Enabled: EnableWindow(hwnd_, c.Enabled()); break;
    case Property::Caption:
      SetWindowTextW(hwnd_, Widen(c.Caption()).c_str());
      Repaint();
      // A value panel's caption is the value of its spin button.
      if (const Control* spin = forms::ValueShownBy(owner_.form(), c)) {
        AnnounceValueChange(owner_.ControlWindow(*spin));
      }
      break;
    case Property::Picture:
      PictureChanged();
      Repaint();
      break;
    default: Repaint(); break;
  }
}

std::optional<AccessibleFacts> ChildView::Facts() const {
  const forms::Form& form = owner_.form();
  AccessibleFacts f;
  f.name = Widen(forms::AccessibleName(control_));
  switch (control_.Kind()) {
    case ControlKind::Command3D:
      f.role = ROLE_SYSTEM_PUSHBUTTON;
      f.pressable = true;
      return f;
    case ControlKind::SpinButton:
      f.role = ROLE_SYSTEM_SPINBUTTON;
      if (auto value = forms::AccessibleValue(form, control_)) f.value = Widen(*value);
      return f;
    case ControlKind::Label: f.role = ROLE_SYSTEM_STATICTEXT; return f;
    default: return std::nullopt;
  }
}

void ChildView::Relayout() {
  const RECT r = ToRect(forms::ControlRect(control_, owner_.scale()));
  MoveWindow(hwnd_, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

forms::Scale ChildView::Scale() const { return owner_.scale(); }

void ChildView::Deliver(Event e) { owner_.Deliver(e, &control_); }

HFONT ChildView::Font() { return owner_.FontFor(control_.design().font); }

COLORREF ChildView::ContainerColor() const {
  const std::string& container = control_.Container();
  if (container.empty()) return ToColorRef(owner_.form().design().back_color);
  return ToColorRef(owner_.form().Get(container).design().back_color);
}

void ChildView::DrawCaption(HDC dc, RECT rc, UINT format) {
  win32::DrawCaption(dc, rc, control_, Font(), format);
}

bool ChildView::InsideClient(LPARAM lp) const {
  RECT rc;
  GetClientRect(hwnd_, &rc);
  return PtInRect(&rc, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
}

LRESULT CALLBACK ChildView::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* view = reinterpret_cast<ChildView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!view) return DefWindowProcW(hwnd, msg, wp, lp);
  return view->Handle(msg, wp, lp);
}

LRESULT ChildView::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      RECT rc;
      GetClientRect(hwnd_, &rc);
      Paint(dc, rc);
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_PRINTCLIENT: {
      RECT rc;
      GetClientRect(hwnd_, &rc);
      Paint(reinterpret_cast<HDC>(wp), rc);
      return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (msg == WM_KEYDOWN && wp == VK_TAB && GetKeyState(VK_CONTROL) >= 0) {
        owner_.MoveFocus(&control_, GetKeyState(VK_SHIFT) < 0);
        return 0;
      }
      // Bit 30: the key was already down (the keyboard's repeat).
      if (msg == WM_KEYDOWN && Key(wp, (lp & (1 << 30)) != 0)) return 0;
      owner_.Deliver(Event::KeyDown, nullptr);
      return msg == WM_SYSKEYDOWN ? DefWindowProcW(hwnd_, msg, wp, lp) : 0;
    case WM_KEYUP: KeyReleased(wp); return 0;
    case WM_SETFOCUS:
      owner_.ChildFocused(hwnd_);
      forms::EventLog::Note("Focus " + control_.Name());
      Repaint();
      return 0;
    case WM_KILLFOCUS:
      FocusLost();
      Repaint();
      return 0;
    case WM_GETOBJECT: {
      if (!Facts()) break;
      HWND self = hwnd_;
      const LRESULT answer = AnswerGetObject(self, wp, lp, [self] {
        const auto* view = reinterpret_cast<const ChildView*>(GetWindowLongPtrW(self, GWLP_USERDATA));
        return view ? view->Facts() : std::nullopt;
      });
      if (answer) return answer;
      break;
    }
    case kAccessiblePress:
      if (control_.Kind() == ControlKind::Command3D) Deliver(Event::Click);
      return 0;
    case WM_MOUSEMOVE: {
      if (captured_) Dragged(InsideClient(lp));
      POINT at{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      ClientToScreen(hwnd_, &at);
      owner_.DeliverMove(&control_, at);
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (msg == WM_LBUTTONDOWN) {
        SetCapture(hwnd_);
        captured_ = true;
        Pressed(lp);
      }
      Deliver(Event::MouseDown);
      if (msg == WM_LBUTTONDOWN) AfterMouseDown();
      return 0;
    case WM_LBUTTONUP: {
      if (!captured_) return 0;
      // Released before the capture goes: releasing it sends WM_CAPTURECHANGED at once.
      captured_ = false;
      const bool clicks = Released();
      ReleaseCapture();
      if (clicks && InsideClient(lp)) Deliver(Event::Click);
      return 0;
    }
    case WM_CAPTURECHANGED:
      captured_ = false;
      Released();
      return 0;
    case WM_TIMER:
      if (wp == kSpinRepeatTimer) RepeatTick();
      return 0;
    case WM_GETDLGCODE: return DLGC_WANTALLKEYS;
    default: break;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace quildor::win32
