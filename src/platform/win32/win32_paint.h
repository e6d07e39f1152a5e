// GDI drawing of the form model's controls, shared by the native views and the preview.
#pragma once

#include <windows.h>

#include <vector>

#include "forms/drawing.h"
#include "forms/form.h"

namespace quildor::win32 {

COLORREF ToColorRef(const forms::Color& c);
void Fill(HDC dc, const RECT& r, COLORREF color);
RECT ToRect(const forms::PixelRect& r);
forms::PixelRect ToPixelRect(const RECT& r);
// Fills each strip the core computed (bevels, 3-D borders) with its shade's colour.
void FillStrips(HDC dc, const std::vector<forms::Strip>& strips);
SIZE BitmapSize(HBITMAP bitmap);

// A GDI font for a designed font, at 96 pixels per inch (the resolution 15 twips per pixel
// stands for: 8.25 points is 11 pixels) times the scale. The caller deletes it.
HFONT CreateDesignFont(const forms::Font& f, forms::Scale scale = {});

// A picture scaled to another size, kept so that it is scaled once, not at every repaint.
class ScaledBitmap {
 public:
  ScaledBitmap() = default;
  ~ScaledBitmap() { Reset(); }
  ScaledBitmap(const ScaledBitmap&) = delete;
  ScaledBitmap& operator=(const ScaledBitmap&) = delete;
  // `bitmap` at `size`: itself when it has that size, else a smooth scaling of it, made when
  // the size is new (Reset when the picture changes).
  HBITMAP Of(HDC dc, HBITMAP bitmap, SIZE size);
  void Reset();

 private:
  HBITMAP scaled_ = nullptr;
  SIZE size_{};
};

// Draws `bitmap` scaled smoothly (never nearest-pixel) to fill `area`.
void StretchPicture(HDC dc, const RECT& area, HBITMAP bitmap);

// A button's raised or sunken edge in the system's colours: its two rings each one logical pixel
// wide, in whole device pixels.
void DrawButtonEdge(HDC dc, const RECT& r, bool sunken, forms::Scale scale);

// A filled arrow head in the middle of `r`, pointing left or right (the spin button's halves).
void DrawArrow(HDC dc, const RECT& r, bool left, COLORREF color);

// A control's caption in its font and colour, within `rc`.
void DrawCaption(HDC dc, RECT rc, const forms::Control& c, HFONT font, UINT format);

// A 3-D panel: background, bevels and centred caption.
void PaintPanel(HDC dc, const RECT& rc, const forms::Control& c, HFONT font,
                forms::Scale scale = {});

// An image control: its border, and its picture stretched to fill it or at its own size (in
// logical pixels, so larger on a high-DPI screen), drawn 1:1 when it already has that size in
// device pixels (the loader makes photographs so) and otherwise scaled smoothly once into
// `scaled`; `container` is the colour behind it.
void PaintImage(HDC dc, const RECT& rc, const forms::Control& c, COLORREF container,
                forms::Scale scale, ScaledBitmap& scaled);

}  // namespace quildor::win32
