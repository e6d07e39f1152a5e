// Drawing geometry of the controls, shared by every backend: where a control stands in pixels,
// the one-pixel strips of a 3-D panel's bevels and of an image control's 3-D border (each marked
// with its shade, in the order they are drawn), the rectangle left inside them, the pixel height
// of a designed font, and which controls are windows of their own. A backend fills the strips it
// is handed with the shade's colour and draws text and pictures into the rectangles; it computes
// no geometry of its own.
//
// Every measure is in device pixels for a Scale (device pixels per logical pixel). Layouts are in
// logical (96-DPI) pixels; a high-DPI screen has a scale above 1 (2 at 192 DPI), and a caller
// that passes none gets 1.
#pragma once

#include <cstdint>
#include <vector>

#include "forms/form.h"

namespace quildor::forms {

struct Scale {
  double device_per_logical = 1.0;
  // A length of `logical` pixels in whole device pixels (the nearest, at least 1 for a length
  // above 0, so that a bevel never vanishes).
  int Pixels(int logical) const;
  // The device pixel at which logical pixel `logical` starts (the nearest, halves up). Edges go
  // through this one by one, so that two things that meet in logical pixels meet on the device.
  int Edge(int logical) const;
  // A length of `device` pixels in logical pixels, the nearest: a screen's logical size.
  int Logical(int device) const;
};

// The scale of a screen of `dpi` dots per inch; 96 is 1.
Scale ScaleForDpi(unsigned dpi);

// A rectangle of pixels; right and bottom are just outside it.
struct PixelRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const PixelRect&) const = default;
};

// The colours of 3-D edges.
enum class Shade : std::uint8_t {
  Light,        // a bevel's lit side, white
  Shadow,       // a bevel's shaded side, grey
  DarkShadow,   // the inner shaded side of a sunken 3-D border
  SoftLight,    // the inner lit side of a sunken 3-D border
};
Color ShadeColor(Shade s);

struct Strip {
  PixelRect rect;
  Shade shade;
  bool operator==(const Strip&) const = default;
};

// The control's rectangle within its container.
PixelRect ControlRect(const Control& c, Scale scale = {});

// The strips of a bevel `width` logical pixels wide just inside `r`: ring by ring from the
// outside, each ring's top, left, bottom and right edges. An inset bevel is shaded at the top
// and left, a raised one at the bottom and right. A ring that would be empty ends it.
std::vector<Strip> BevelStrips(PixelRect r, Bevel bevel, int width, Scale scale = {});

// A 3-D panel in `r` (its own rectangle, from 0, 0): the outer bevel, the border band and the
// inner bevel, and the rectangle inside them all. The band itself shows the panel's background.
struct PanelGeometry {
  std::vector<Strip> strips;
  PixelRect inner;
};
PanelGeometry Panel(const Control::Design& d, PixelRect r, Scale scale = {});

// An image control in `r`: its sunken 3-D border when it has one (two rings, one logical pixel
// each), and the area its picture fills.
struct ImageGeometry {
  std::vector<Strip> strips;
  PixelRect area;
};
ImageGeometry Image(const Control::Design& d, PixelRect r, Scale scale = {});

// The pixel height of a font of `points` points at 96 pixels per inch, the resolution that 15
// twips per pixel stands for: 8.25 points is 11 pixels.
int FontPixelHeight(float points, Scale scale = {});

// Whether a control of this kind is a window of its own, drawn above the image controls and
// labels of its container whatever their creation order.
bool IsWindowed(ControlKind kind);

}  // namespace quildor::forms
