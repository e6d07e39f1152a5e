// The drawing geometry both backends paint: bevel strips, panels, image borders, font heights.
#include "forms/drawing.h"

#include <gtest/gtest.h>

#include <vector>

namespace quildor::forms {
namespace {

using S = Shade;

struct BevelCase {
  const char* name;
  PixelRect r;
  Bevel bevel;
  int width;
  double scale;
  std::vector<Strip> strips;
};

class Bevels : public ::testing::TestWithParam<BevelCase> {};

TEST_P(Bevels, AreRingsOfOnePixelStripsFromTheOutside) {
  const BevelCase& c = GetParam();
  EXPECT_EQ(BevelStrips(c.r, c.bevel, c.width, Scale{c.scale}), c.strips) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Bevels,
    ::testing::Values(
        BevelCase{"none", {0, 0, 10, 10}, Bevel::None, 3, 1, {}},
        BevelCase{"no width", {0, 0, 10, 10}, Bevel::Inset, 0, 1, {}},
        BevelCase{"inset: shaded top and left",
                  {2, 3, 6, 7},
                  Bevel::Inset,
                  1,
                  1,
                  {{{2, 3, 6, 4}, S::Shadow},
                   {{2, 3, 3, 7}, S::Shadow},
                   {{3, 6, 6, 7}, S::Light},
                   {{5, 4, 6, 7}, S::Light}}},
        BevelCase{"raised, two rings, the inner one cut by the size",
                  {0, 0, 3, 3},
                  Bevel::Raised,
                  5,
                  1,
                  {{{0, 0, 3, 1}, S::Light},
                   {{0, 0, 1, 3}, S::Light},
                   {{1, 2, 3, 3}, S::Shadow},
                   {{2, 1, 3, 3}, S::Shadow},
                   {{1, 1, 2, 2}, S::Light},
                   {{1, 1, 2, 2}, S::Light}}},
        BevelCase{"twice the pixels at twice the scale",
                  {0, 0, 8, 8},
                  Bevel::Inset,
                  1,
                  2,
                  {{{0, 0, 8, 1}, S::Shadow},
                   {{0, 0, 1, 8}, S::Shadow},
                   {{1, 7, 8, 8}, S::Light},
                   {{7, 1, 8, 8}, S::Light},
                   {{1, 1, 7, 2}, S::Shadow},
                   {{1, 1, 2, 7}, S::Shadow},
                   {{2, 6, 7, 7}, S::Light},
                   {{6, 2, 7, 7}, S::Light}}}));

TEST(Panel, TheBandAndBothBevelsSetTheInnerRectangle) {
  Control::Design d;
  d.outer_bevel = Bevel::Inset;
  d.inner_bevel = Bevel::None;
  d.bevel_width = 8;
  d.border_width = 6;
  // The photograph's frame: 793 x 489 pixels, its sunken bevel of 8 and band of 6.
  const PanelGeometry frame = Panel(d, {0, 0, 793, 489});
  EXPECT_EQ(frame.strips.size(), 8u * 4);
  EXPECT_EQ(frame.strips.front(), (Strip{{0, 0, 793, 1}, S::Shadow}));
  EXPECT_EQ(frame.inner, (PixelRect{14, 14, 779, 475}));
  EXPECT_EQ(frame.strips, BevelStrips({0, 0, 793, 489}, Bevel::Inset, 8));

  d.inner_bevel = Bevel::Raised;
  d.bevel_width = 1;
  const PanelGeometry both = Panel(d, {0, 0, 40, 20});
  ASSERT_EQ(both.strips.size(), 8u);
  EXPECT_EQ(both.strips[4], (Strip{{7, 7, 33, 8}, S::Light})) << "inside outer bevel and band";
  EXPECT_EQ(both.inner, (PixelRect{8, 8, 32, 12}));
  EXPECT_EQ(Panel(d, {0, 0, 80, 40}, Scale{2}).inner, (PixelRect{16, 16, 64, 24}))
      << "bevels and band scale alike";

  Control::Design flat;   // the caption panel: no bevel, no band
  flat.outer_bevel = flat.inner_bevel = Bevel::None;
  flat.bevel_width = flat.border_width = 0;
  EXPECT_TRUE(Panel(flat, {0, 0, 253, 24}).strips.empty());
  EXPECT_EQ(Panel(flat, {0, 0, 253, 24}).inner, (PixelRect{0, 0, 253, 24}));
}

TEST(Image, ABorderedImageHasTwoSunkenRingsAndThePictureInside) {
  Control::Design d;
  d.border = BorderStyle::Single;
  const ImageGeometry g = Image(d, {0, 0, 10, 8});
  EXPECT_EQ(g.strips,
            (std::vector<Strip>{{{0, 0, 10, 1}, S::Shadow},
                                {{0, 0, 1, 8}, S::Shadow},
                                {{1, 7, 10, 8}, S::Light},
                                {{9, 1, 10, 8}, S::Light},
                                {{1, 1, 9, 2}, S::DarkShadow},
                                {{1, 1, 2, 7}, S::DarkShadow},
                                {{2, 6, 9, 7}, S::SoftLight},
                                {{8, 2, 9, 7}, S::SoftLight}}));
  EXPECT_EQ(g.area, (PixelRect{2, 2, 8, 6}));
  EXPECT_EQ(Image(d, {0, 0, 20, 16}, Scale{2}).area, (PixelRect{4, 4, 16, 12}));
  d.border = BorderStyle::None;
  EXPECT_TRUE(Image(d, {0, 0, 10, 8}).strips.empty());
  EXPECT_EQ(Image(d, {0, 0, 10, 8}).area, (PixelRect{0, 0, 10, 8}));
}

TEST(Fonts, PointsArePixelsAt96PerInch) {
  EXPECT_EQ(FontPixelHeight(8.25f), 11);
  EXPECT_EQ(FontPixelHeight(9.75f), 13);
  EXPECT_EQ(FontPixelHeight(12.0f), 16);
  EXPECT_EQ(FontPixelHeight(8.25f, Scale{2}), 22);
  EXPECT_EQ(FontPixelHeight(8.25f, Scale{1.5}), 17);
}

// Controls that meet in twips meet on the device at every scale, and the screen's logical size
// is its device size over the scale.
TEST(Scales, ControlsThatMeetStillMeetAndScreensCountLogically) {
  // A caption panel right under a frame, at logical rows 101..476 and 476..512.
  const Control frame(DesignRow("frame", ControlKind::Panel3D, "", 15, 1515, 11655, 5625, 0));
  const Control caption(DesignRow("caption", ControlKind::Panel3D, "", 15, 7140, 11655, 540, 1));
  for (double s : {1.0, 1.25, 1.5, 1.75, 2.0, 2.5}) {
    const PixelRect a = ControlRect(frame, Scale{s}), b = ControlRect(caption, Scale{s});
    EXPECT_EQ(a.bottom, b.top) << s;
    EXPECT_NEAR(a.Height(), 375 * s, 1) << s;
  }
  EXPECT_EQ(ControlRect(frame, ScaleForDpi(144)), (PixelRect{2, 152, 1167, 714}));
  EXPECT_EQ(ScaleForDpi(192).Logical(1600), 800);
  EXPECT_EQ(ScaleForDpi(144).Logical(1366), 911);
  EXPECT_EQ(ScaleForDpi(96).Logical(1024), 1024);
}

TEST(Stacking, OnlyImagesLabelsAndTimersAreNotWindows) {
  for (ControlKind k : {ControlKind::Panel3D, ControlKind::Command3D, ControlKind::SpinButton}) {
    EXPECT_TRUE(IsWindowed(k));
  }
  for (ControlKind k : {ControlKind::Image, ControlKind::Label, ControlKind::Timer}) {
    EXPECT_FALSE(IsWindowed(k));
  }
}

}  // namespace
}  // namespace quildor::forms
