// The settings dialog as designed: the window and its ten controls in creation order. Every
// control but the backdrop lies inside pnlSSaver; positions in twips relative to the container.
#include "settings_dialog/frm_ss_settings.h"

#include <vector>

namespace quildor {

using forms::Align;
using forms::Bevel;
using forms::Color;
using forms::ControlKind;
using forms::DesignRow;
using forms::Font;

namespace {

constexpr Color kWhite = Color::Rgb(255, 255, 255);
constexpr Color kBlack = Color::Rgb(0, 0, 0);
constexpr Color kRed = Color::Rgb(255, 0, 0);
constexpr Color kNavy = Color::Rgb(0, 0, 128);

forms::Control::Design Button(const char* name, float left, int tab_index, const char* caption,
                              Color caption_color) {
  auto d = DesignRow(name, ControlKind::Command3D, "pnlSSaver", left, 3720, 1815, 375, tab_index);
  d.caption = caption;
  d.fore_color = caption_color;
  d.back_color = Color::Rgb(192, 192, 192);   // the 3-D button library's own light grey face
  d.font = Font{"System", 9.75f, true};
  return d;
}

forms::Control::Design Title(const char* name, float left, float top, float width, int tab_index,
                             const char* caption) {
  auto d = DesignRow(name, ControlKind::Label, "pnlSSaver", left, top, width, 375, tab_index);
  d.caption = caption;
  d.fore_color = kRed;
  d.back_color = kWhite;
  d.transparent = true;
  d.font = Font{"MS Sans Serif", 12.0f, true};
  d.alignment = Align::Center;
  return d;
}

}  // namespace

forms::FormDesign SettingsDialogDesign() {
  forms::FormDesign f;
  f.name = "frmSSSettings";
  f.caption = "Screen Saver Settings";
  f.back_color = Color::Named(Color::System::ButtonFace);
  f.client_left = 2490;
  f.client_top = 2655;
  f.client_width = 6225;
  f.client_height = 4440;
  f.has_icon = false;
  f.frameless = false;
  f.blank_pointer = false;
  return f;
}

std::vector<forms::Control::Design> SettingsDialogControls() {
  std::vector<forms::Control::Design> v;

  auto backdrop = DesignRow("pnlSSaver", ControlKind::Panel3D, "", 0, 0, 6255, 4455, 0);
  backdrop.caption = "";
  backdrop.fore_color = Color::Named(Color::System::ButtonText);
  backdrop.back_color = kWhite;
  backdrop.font = Font{"MS Sans Serif", 8.25f, false};
  backdrop.outer_bevel = Bevel::Raised;
  backdrop.bevel_width = 6;
  backdrop.inner_bevel = Bevel::None;
  backdrop.border_width = 4;
  v.push_back(backdrop);

  v.push_back(Button("SSCommand4", 360, 1, "Set", kBlack));
  v.push_back(Button("SSCommand5", 3960, 2, "Help", Color::Named(Color::System::ButtonText)));
  v.push_back(Button("SSCommand6", 2160, 3, "Exit", kBlack));

  auto value =
      DesignRow("panInterval", ControlKind::Panel3D, "pnlSSaver", 4080, 3240, 1410, 255, 4);
  value.caption = "1 Second";
  value.fore_color = kNavy;
  value.back_color = kWhite;
  value.font = Font{"MS Sans Serif", 8.25f, true};
  value.outer_bevel = Bevel::Inset;
  value.bevel_width = 3;
  value.inner_bevel = Bevel::None;
  value.border_width = 4;
  v.push_back(value);

  auto spin =
      DesignRow("SpinInterval", ControlKind::SpinButton, "pnlSSaver", 3120, 3240, 975, 255, 5);
  spin.fore_color = Color::Rgb(0, 0, 255);
  spin.back_color = Color::Rgb(192, 192, 192);
  spin.tooltip = "Set Slide Show Delay";
  spin.value_panel = "panInterval";
  v.push_back(spin);

  v.push_back(Title("Label7", 1440, 240, 3495, 8, "The Quildor Anthology"));
  v.push_back(Title("Label8", 1800, 600, 2775, 7, "Screen Saver Settings"));

  auto prompt = DesignRow("Label9", ControlKind::Label, "pnlSSaver", 600, 3240, 2415, 375, 6);
  prompt.caption = "Select the photo delay:";
  prompt.fore_color = kNavy;
  prompt.back_color = kWhite;
  prompt.transparent = true;
  prompt.font = Font{"MS Sans Serif", 9.75f, true};
  prompt.alignment = Align::Left;
  v.push_back(prompt);

  auto picture = DesignRow("Image2", ControlKind::Image, "pnlSSaver", 840, 1200, 4395, 1725, -1);
  picture.stretch = false;
  picture.border = forms::BorderStyle::None;
  picture.has_picture = true;
  picture.picture_resource = forms::ResourcePicture::DialogPhoto;
  v.push_back(picture);

  return v;
}

}  // namespace quildor
