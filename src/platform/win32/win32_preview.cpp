#include "platform/win32/win32_preview.h"

#include <algorithm>
#include <cmath>

#include "forms/run_time_error.h"
#include "platform/win32/win32_dpi.h"
#include "platform/win32/win32_paint.h"
#include "platform/win32/win32_platform.h"

namespace quildor::win32 {

namespace {
constexpr wchar_t kPreviewClass[] = L"QuildorPreview";
}  // namespace

void PreviewWindow::RegisterClass(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kPreviewClass;
  RegisterClassExW(&wc);
}

PreviewWindow::PreviewWindow(Win32Platform& platform, forms::Form& form, HWND parent)
    : platform_(platform), form_(form) {
  Render();
  // Made in the parent's DPI awareness, which Windows requires of a child of another program's
  // window; its size is then in the parent's own coordinates, and the rendered design is
  // scaled to whatever size that is.
  const ParentDpiContext context(parent);
  RECT client;
  GetClientRect(parent, &client);
  hwnd_ = CreateWindowExW(0, kPreviewClass, L"", WS_CHILD | WS_VISIBLE | WS_DISABLED, 0, 0,
                          client.right, client.bottom, parent, nullptr, platform.instance(), this);
  if (!hwnd_) throw forms::RunTimeError("Cannot create the preview window");
}

PreviewWindow::~PreviewWindow() {
  if (hwnd_) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  if (canvas_) DeleteObject(canvas_);
}

void PreviewWindow::Render() {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  canvas_ = CreateCompatibleBitmap(screen, canvas_size_.cx, canvas_size_.cy);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, canvas_);
  Fill(dc, RECT{0, 0, canvas_size_.cx, canvas_size_.cy}, ToColorRef(form_.design().back_color));
  for (const auto& owned : form_.Controls()) {
    const forms::Control& c = *owned;
    if (c.Kind() == forms::ControlKind::Timer || !c.Visible()) continue;
    // Positions are relative to the container: add the container's offset.
    int x = forms::TwipsToPixels(c.Left()), y = forms::TwipsToPixels(c.Top());
    COLORREF behind = ToColorRef(form_.design().back_color);
    if (!c.Container().empty()) {
      const forms::Control& container = form_.Get(c.Container());
      x += forms::TwipsToPixels(container.Left());
      y += forms::TwipsToPixels(container.Top());
      behind = ToColorRef(container.design().back_color);
    }
    const RECT r{x, y, x + forms::TwipsToPixels(c.Width()), y + forms::TwipsToPixels(c.Height())};
    if (c.Kind() == forms::ControlKind::Panel3D) {
      HFONT font = CreateDesignFont(c.design().font);
      PaintPanel(dc, r, c, font);
      DeleteObject(font);
    } else if (c.Kind() == forms::ControlKind::Image) {
      ScaledBitmap scaled;
      PaintImage(dc, r, c, behind, forms::Scale{}, scaled);
    }
  }
  SelectObject(dc, old);
  DeleteDC(dc);
}

LRESULT CALLBACK PreviewWindow::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<PreviewWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<PreviewWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT client;
      GetClientRect(hwnd, &client);
      // Scaled to fit, keeping the proportions; black around.
      const double scale = std::min(static_cast<double>(client.right) / self->canvas_size_.cx,
                                    static_cast<double>(client.bottom) / self->canvas_size_.cy);
      const int w = static_cast<int>(self->canvas_size_.cx * scale);
      const int h = static_cast<int>(self->canvas_size_.cy * scale);
      const int x = (client.right - w) / 2, y = (client.bottom - h) / 2;
      Fill(dc, client, RGB(0, 0, 0));
      StretchPicture(dc, RECT{x, y, x + w, y + h}, self->canvas_);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_DESTROY:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      self->hwnd_ = nullptr;
      self->platform_.FormWindowDestroyed();
      return 0;
    default: return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

}  // namespace quildor::win32
