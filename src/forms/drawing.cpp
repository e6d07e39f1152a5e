#include "forms/drawing.h"

#include <algorithm>
#include <cmath>

namespace quildor::forms {

int Scale::Pixels(int logical) const {
  if (logical <= 0) return 0;
  return std::max(1, static_cast<int>(std::lround(logical * device_per_logical)));
}

int Scale::Edge(int logical) const {
  return static_cast<int>(std::floor(logical * device_per_logical + 0.5));
}

int Scale::Logical(int device) const {
  return static_cast<int>(std::floor(device / device_per_logical + 0.5));
}

Scale ScaleForDpi(unsigned dpi) { return Scale{dpi > 0 ? dpi / 96.0 : 1.0}; }

Color ShadeColor(Shade s) {
  switch (s) {
    case Shade::Light: return Color::Rgb(255, 255, 255);
    case Shade::Shadow: return Color::Rgb(128, 128, 128);
    case Shade::DarkShadow: return Color::Rgb(64, 64, 64);
    case Shade::SoftLight: return Color::Rgb(212, 208, 200);
  }
  return Color::Rgb(0, 0, 0);
}

PixelRect ControlRect(const Control& c, Scale scale) {
  // The logical rectangle first (each of position and size rounded to whole pixels, as at 96
  // DPI), then each of its edges on the device: controls that meet in logical pixels meet in
  // device pixels at any scale, fractional ones included.
  const int left = TwipsToPixels(c.Left()), top = TwipsToPixels(c.Top());
  const int right = left + TwipsToPixels(c.Width()), bottom = top + TwipsToPixels(c.Height());
  return PixelRect{scale.Edge(left), scale.Edge(top), scale.Edge(right), scale.Edge(bottom)};
}

namespace {

// One ring of an edge, `i` device pixels inside `r`; false when nothing of it is left.
bool Ring(std::vector<Strip>& out, const PixelRect& r, int i, Shade top_left, Shade bottom_right) {
  const int l = r.left + i, t = r.top + i, rr = r.right - i, b = r.bottom - i;
  if (rr - l <= 0 || b - t <= 0) return false;
  const Strip strips[] = {{{l, t, rr, t + 1}, top_left},
                          {{l, t, l + 1, b}, top_left},
                          {{l + 1, b - 1, rr, b}, bottom_right},
                          {{rr - 1, t + 1, rr, b}, bottom_right}};
  for (const Strip& s : strips) {
    if (s.rect.Width() > 0 && s.rect.Height() > 0) out.push_back(s);
  }
  return true;
}

void AddBevel(std::vector<Strip>& out, const PixelRect& r, Bevel bevel, int device_width) {
  if (bevel == Bevel::None) return;
  const bool inset = bevel == Bevel::Inset;
  const Shade top_left = inset ? Shade::Shadow : Shade::Light;
  const Shade bottom_right = inset ? Shade::Light : Shade::Shadow;
  for (int i = 0; i < device_width; ++i) {
    if (!Ring(out, r, i, top_left, bottom_right)) break;
  }
}

PixelRect Inset(const PixelRect& r, int by) {
  return PixelRect{r.left + by, r.top + by, r.right - by, r.bottom - by};
}

}  // namespace

std::vector<Strip> BevelStrips(PixelRect r, Bevel bevel, int width, Scale scale) {
  std::vector<Strip> strips;
  AddBevel(strips, r, bevel, scale.Pixels(width));
  return strips;
}

PanelGeometry Panel(const Control::Design& d, PixelRect r, Scale scale) {
  PanelGeometry g;
  const int bevel = scale.Pixels(d.bevel_width);
  AddBevel(g.strips, r, d.outer_bevel, bevel);
  if (d.outer_bevel != Bevel::None) r = Inset(r, bevel);
  r = Inset(r, scale.Pixels(d.border_width));
  AddBevel(g.strips, r, d.inner_bevel, bevel);
  if (d.inner_bevel != Bevel::None) r = Inset(r, bevel);
  g.inner = r;
  return g;
}

ImageGeometry Image(const Control::Design& d, PixelRect r, Scale scale) {
  ImageGeometry g;
  g.area = r;
  if (d.border != BorderStyle::Single) return g;
  // The sunken 3-D border: an outer ring shaded and lit as an inset bevel, an inner ring darker
  // and softer, each one logical pixel wide.
  const int ring = scale.Pixels(1);
  for (int i = 0; i < ring; ++i) Ring(g.strips, r, i, Shade::Shadow, Shade::Light);
  for (int i = ring; i < 2 * ring; ++i) Ring(g.strips, r, i, Shade::DarkShadow, Shade::SoftLight);
  g.area = Inset(r, 2 * ring);
  return g;
}

int FontPixelHeight(float points, Scale scale) {
  return static_cast<int>(std::lround(points * 96.0 / 72.0 * scale.device_per_logical));
}

bool IsWindowed(ControlKind kind) {
  return kind != ControlKind::Image && kind != ControlKind::Label && kind != ControlKind::Timer;
}

}  // namespace quildor::forms
