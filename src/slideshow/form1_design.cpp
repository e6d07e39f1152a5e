// The slide-show window as designed: the window's own settings and its five controls in creation
// order. Positions and sizes in twips relative to the container.
#include "slideshow/form1.h"

namespace quildor {

using forms::Bevel;
using forms::BorderStyle;
using forms::Color;
using forms::ControlKind;

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

  forms::Control::Design timer;
  timer.name = "Timer1";
  timer.kind = ControlKind::Timer;
  timer.left = 840;
  timer.top = 0;
  timer.interval = 1000;
  timer.enabled = true;
  v.push_back(timer);

  forms::Control::Design year;
  year.name = "panYear";
  year.kind = ControlKind::Panel3D;
  year.left = 1800;
  year.top = 8160;
  year.width = 3795;
  year.height = 360;
  year.visible = false;
  year.caption = "Kelmarion";
  year.fore_color = Color::Rgb(255, 0, 0);
  year.back_color = Color::Rgb(0, 0, 0);
  year.font = {"MS Sans Serif", 8.25f, true};
  year.outer_bevel = Bevel::None;
  year.inner_bevel = Bevel::None;
  year.bevel_width = 0;
  year.border_width = 0;
  year.tab_index = 0;
  v.push_back(year);

  forms::Control::Design frame;
  frame.name = "SSPanel1";
  frame.kind = ControlKind::Panel3D;
  frame.left = -120;
  frame.top = 0;
  frame.width = 11895;
  frame.height = 7335;
  frame.caption = "SSPanel1";
  frame.fore_color = Color::Rgb(0, 0, 255);
  frame.back_color = Color::Rgb(0, 0, 0);
  frame.font = {"MS Sans Serif", 8.25f, false};
  frame.outer_bevel = Bevel::Inset;
  frame.inner_bevel = Bevel::None;
  frame.bevel_width = 8;
  frame.border_width = 6;
  frame.tab_index = 1;
  v.push_back(frame);

  forms::Control::Design photo;
  photo.name = "Image1";
  photo.kind = ControlKind::Image;
  photo.container = "SSPanel1";
  photo.left = 120;
  photo.top = 120;
  photo.width = 11655;
  photo.height = 7095;
  photo.stretch = true;
  photo.border = BorderStyle::None;
  photo.has_picture = true;
  photo.picture_resource = forms::ResourcePicture::DesignPhoto;
  v.push_back(photo);

  forms::Control::Design banner;
  banner.name = "Image2";
  banner.kind = ControlKind::Image;
  banner.left = 1560;
  banner.top = 7695;
  banner.width = 8700;
  banner.height = 1125;
  banner.stretch = false;
  banner.border = BorderStyle::Single;
  banner.has_picture = true;
  banner.picture_resource = forms::ResourcePicture::TitleBanner;
  v.push_back(banner);

  return v;
}

}  // namespace quildor
