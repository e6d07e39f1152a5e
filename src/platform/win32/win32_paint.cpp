#include "platform/win32/win32_paint.h"

#include <algorithm>
#include <string>

#include "platform/win32/win32_pictures.h"
#include "platform/win32/win32_platform.h"

namespace quildor::win32 {

using forms::Control;

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
  for (const forms::Strip& s : strips) {
    Fill(dc, ToRect(s.rect), ToColorRef(forms::ShadeColor(s.shade)));
  }
}

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

void DrawButtonEdge(HDC dc, const RECT& r, bool sunken, forms::Scale scale) {
  const int ring = scale.Pixels(1);
  for (int i = 0; i < 2 * ring; ++i) {
    RECT edge = r;
    InflateRect(&edge, -i, -i);
    const UINT outer = sunken ? BDR_SUNKENOUTER : BDR_RAISEDOUTER;
    const UINT inner = sunken ? BDR_SUNKENINNER : BDR_RAISEDINNER;
    DrawEdge(dc, &edge, i < ring ? outer : inner, BF_RECT);
  }
}

HFONT CreateDesignFont(const forms::Font& f, forms::Scale scale) {
  return CreateFontW(-forms::FontPixelHeight(f.points, scale), 0, 0, 0,
                     f.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
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

void PaintPanel(HDC dc, const RECT& rc, const Control& c, HFONT font, forms::Scale scale) {
  const auto& d = c.design();
  Fill(dc, rc, ToColorRef(d.back_color));
  FillStrips(dc, forms::Panel(d, ToPixelRect(rc), scale).strips);
  DrawCaption(dc, rc, c, font, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void ScaledBitmap::Reset() {
  if (scaled_) DeleteObject(scaled_);
  scaled_ = nullptr;
  size_ = {};
}

HBITMAP ScaledBitmap::Of(HDC dc, HBITMAP bitmap, SIZE size) {
  const SIZE own = BitmapSize(bitmap);
  if (own.cx == size.cx && own.cy == size.cy) return bitmap;
  if (!scaled_ || size_.cx != size.cx || size_.cy != size.cy) {
    Reset();
    scaled_ = CreateCompatibleBitmap(dc, size.cx, size.cy);
    if (!scaled_) return bitmap;
    size_ = size;
    HDC dst = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(dst, scaled_);
    StretchPicture(dst, RECT{0, 0, size.cx, size.cy}, bitmap);
    SelectObject(dst, old);
    DeleteDC(dst);
  }
  return scaled_;
}

void PaintImage(HDC dc, const RECT& rc, const Control& c, COLORREF container, forms::Scale scale,
                ScaledBitmap& scaled) {
  const auto& d = c.design();
  const forms::ImageGeometry geometry = forms::Image(d, ToPixelRect(rc), scale);
  FillStrips(dc, geometry.strips);
  const RECT area = ToRect(geometry.area);
  const SIZE room{area.right - area.left, area.bottom - area.top};
  HBITMAP bitmap = BitmapOf(c.GetPicture());
  if (!bitmap || room.cx <= 0 || room.cy <= 0) {
    Fill(dc, area, container);
    return;
  }
  const SIZE own = BitmapSize(bitmap);
  const SIZE shown = d.stretch ? room : SIZE{scale.Pixels(own.cx), scale.Pixels(own.cy)};
  if (shown.cx <= 0 || shown.cy <= 0) {
    Fill(dc, area, container);
    return;
  }
  // Around a picture smaller than its control, the colour behind the control.
  if (shown.cx < room.cx) {
    Fill(dc, RECT{area.left + shown.cx, area.top, area.right, area.bottom}, container);
  }
  if (shown.cy < room.cy) {
    Fill(dc, RECT{area.left, area.top + shown.cy, area.right, area.bottom}, container);
  }
  HDC src = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(src, scaled.Of(dc, bitmap, shown));
  BitBlt(dc, area.left, area.top, std::min(room.cx, shown.cx), std::min(room.cy, shown.cy), src,
         0, 0, SRCCOPY);
  SelectObject(src, old);
  DeleteDC(src);
}

}  // namespace quildor::win32
