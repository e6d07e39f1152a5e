// The slide-show window as designed: the window's own settings and its five controls in creation
// order. Positions and sizes in twips relative to the container.
#include "slideshow/form1.h"

#include <vector>

namespace quildor {

using forms::Bevel;
using forms::BorderStyle;
using forms::Color;
using forms::ControlKind;
using forms::DesignRow;

forms::FormDesign Form1Design() {
  forms::FormDesign f;
  f.name = "Form1";
  f.caption = "";
  f.back_color = Color::Rgb(0, 0, 0);
  f.client_left = -30;
  f.client_top = 135;
  f.client_width = 10035;
  f.client_height = 8610;
  f.has_icon = true;
  f.frameless = true;
  f.blank_pointer = true;
  return f;
}

std::vector<forms::Control::Design> Form1Controls() {
  std::vector<forms::Control::Design> v;

  auto timer = DesignRow("Timer1", ControlKind::Timer, "", 840, 0, 0, 0);
  timer.interval = 1000;
  timer.enabled = true;
  v.push_back(timer);

  auto year = DesignRow("panYear", ControlKind::Panel3D, "", 1800, 8160, 3795, 360, 0);
  year.visible = false;
  year.caption = "Kelmarion";
  year.fore_color = Color::Rgb(255, 0, 0);
  year.back_color = Color::Rgb(0, 0, 0);
  year.font = {"MS Sans Serif", 8.25f, true};
  year.outer_bevel = Bevel::None;
  year.inner_bevel = Bevel::None;
  year.bevel_width = 0;
  year.border_width = 0;
  v.push_back(year);

  auto frame = DesignRow("SSPanel1", ControlKind::Panel3D, "", -120, 0, 11895, 7335, 1);
  frame.caption = "SSPanel1";
  frame.fore_color = Color::Rgb(0, 0, 255);
  frame.back_color = Color::Rgb(0, 0, 0);
  frame.font = {"MS Sans Serif", 8.25f, false};
  frame.outer_bevel = Bevel::Inset;
  frame.inner_bevel = Bevel::None;
  frame.bevel_width = 8;
  frame.border_width = 6;
  v.push_back(frame);

  auto photo = DesignRow("Image1", ControlKind::Image, "SSPanel1", 120, 120, 11655, 7095);
  photo.stretch = true;
  photo.border = BorderStyle::None;
  photo.has_picture = true;
  photo.picture_resource = forms::ResourcePicture::DesignPhoto;
  v.push_back(photo);

  auto banner = DesignRow("Image2", ControlKind::Image, "", 1560, 7695, 8700, 1125);
  banner.stretch = false;
  banner.border = BorderStyle::Single;
  banner.has_picture = true;
  banner.picture_resource = forms::ResourcePicture::TitleBanner;
  v.push_back(banner);

  return v;
}

}  // namespace quildor
