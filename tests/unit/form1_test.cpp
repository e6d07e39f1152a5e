// The slide-show window on the fake platform: layout at load for each screen, the stored delay,
// and dismissal on input.
#include "slideshow/form1.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fake/fake_platform.h"
#include "forms/pointer.h"
#include "forms/run_time_error.h"
#include "module/module1.h"

namespace quildor {
namespace {

using fake::FakePlatform;
using fake::ProgramExit;
using forms::Event;

const std::string kApp = "SCRNSAVE: The Quildor Anthology";

void Store(FakePlatform& p, const std::string& key, const std::string& value) {
  p.settings[{kApp, "Settings", key}] = value;
}

struct LayoutCase {
  float screen_width, screen_height;
  float frame_left, frame_top, year_left, year_top, banner_left, banner_top;
};

class Layout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(Layout, PlacesTheColumnForTheScreen) {
  const LayoutCase& c = GetParam();
  FakePlatform platform;
  platform.screen_width = c.screen_width;
  platform.screen_height = c.screen_height;
  Module1 module(platform);
  module.Start();
  Form1& f = *module.form1();

  EXPECT_EQ(f.SSPanel1.Left(), c.frame_left);
  EXPECT_EQ(f.SSPanel1.Top(), c.frame_top);
  EXPECT_EQ(f.panYear.Left(), c.year_left);
  EXPECT_EQ(f.panYear.Top(), c.year_top);
  EXPECT_EQ(f.Image2.Left(), c.banner_left);
  EXPECT_EQ(f.Image2.Top(), c.banner_top);
  EXPECT_EQ(f.Left(), 0);
  EXPECT_EQ(f.Top(), 0);
  EXPECT_EQ(f.State(), forms::WindowState::Maximized);
  // Sizes and the photograph inside its frame never change.
  EXPECT_EQ(f.SSPanel1.Width(), 11895);
  EXPECT_EQ(f.Image1.Left(), 120);
  EXPECT_EQ(f.Image1.Top(), 120);
  EXPECT_EQ(f.Image2.Width(), 8700);
  EXPECT_EQ(f.Image2.Height(), 1125);
}

INSTANTIATE_TEST_SUITE_P(
    Screens, Layout,
    ::testing::Values(LayoutCase{12000, 9000, 52.5f, 0, 4102.5f, 7335, 1650, 7695},
                      LayoutCase{9600, 7200, -1147.5f, 0, 2902.5f, 7335, 450, 7695},
                      LayoutCase{15360, 11520, 1732.5f, 1400, 5782.5f, 8735, 3330, 9095},
                      LayoutCase{12000, 7200, 52.5f, 1400, 4102.5f, 8735, 1650, 9095},
                      LayoutCase{9600, 9000, -1147.5f, 1400, 2902.5f, 8735, 450, 9095}));

// Counts how often the screen size is read, to see the probe's short-circuits.
class CountingPlatform : public FakePlatform {
 public:
  int width_reads = 0, height_reads = 0;
  float ScreenWidth() override { ++width_reads; return FakePlatform::ScreenWidth(); }
  float ScreenHeight() override { ++height_reads; return FakePlatform::ScreenHeight(); }
};

TEST(IsScreenSize, ReadsTheHeightOnlyWhenTheWidthMatches) {
  CountingPlatform platform;
  platform.screen_width = 15360;
  platform.screen_height = 11520;
  Module1 module(platform);
  EXPECT_FALSE(module.IsScreenSize(800, 600));
  EXPECT_EQ(platform.height_reads, 0);
  EXPECT_TRUE(module.IsScreenSize(1024, 768));
  EXPECT_EQ(platform.height_reads, 1);
  EXPECT_FALSE(module.IsScreenSize(1024, 767));
}

TEST(IsScreenSize, OverflowingSizeIsAnError) {
  FakePlatform platform;
  Module1 module(platform);
  EXPECT_THROW(module.IsScreenSize(200000000, 1), forms::RunTimeError);
  EXPECT_THROW(module.IsScreenSize(1, 200000000), forms::RunTimeError);
}

TEST(Load, FreshUserGetsTheDefaults) {
  FakePlatform platform;
  Module1 module(platform);
  module.Start();
  EXPECT_EQ(module.IntervalSeconds, 2);
  EXPECT_EQ(module.form1()->Timer1.Interval(), 2000);
  EXPECT_EQ(module.PhotoDir, " ");
  EXPECT_TRUE(platform.settings.empty()) << "a read must not create anything";
}

TEST(Load, KeepsThePhotoFolderAsStored) {
  FakePlatform platform;
  Store(platform, "QuildorsDir", "E:\\QUILDORS\\");
  Module1 module(platform);
  module.Start();
  EXPECT_EQ(module.PhotoDir, "E:\\QUILDORS\\");
}

struct IntervalCase {
  const char* text;
  std::int32_t timer_ms;   // -1: the fatal error
};

class IntervalSetting : public ::testing::TestWithParam<IntervalCase> {};

TEST_P(IntervalSetting, ArmsTheTimerOrFailsClearly) {
  FakePlatform platform;
  Store(platform, "Interval", GetParam().text);
  platform.cursor_counter = -1;
  Module1 module(platform);
  if (GetParam().timer_ms >= 0) {
    module.Start();
    EXPECT_EQ(module.form1()->Timer1.Interval(), GetParam().timer_ms);
    EXPECT_TRUE(platform.message_boxes.empty());
    return;
  }
  try {
    module.Start();
    FAIL() << "no fatal error for \"" << GetParam().text << "\"";
  } catch (const ProgramExit& e) {
    EXPECT_EQ(e.status, 1);
  }
  EXPECT_TRUE(platform.shown_forms.empty()) << "nothing is shown";
  ASSERT_EQ(platform.message_boxes.size(), 1u);
  const std::string& text = platform.message_boxes[0].text;
  EXPECT_NE(text.find("\"Interval\""), std::string::npos) << text;
  EXPECT_NE(text.find(std::string("\"") + GetParam().text + "\""), std::string::npos) << text;
  EXPECT_GE(platform.cursor_counter, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, IntervalSetting,
    ::testing::Values(IntervalCase{"1", 1000}, IntervalCase{"2", 2000}, IntervalCase{"15", 15000},
                      IntervalCase{"60", 60000}, IntervalCase{" 5 ", 5000},
                      IntervalCase{"+7", 7000}, IntervalCase{"\t10", 10000},
                      IntervalCase{"0", 0}, IntervalCase{"-0", 0}, IntervalCase{"007", 7000},
                      IntervalCase{"2147483", 2147483000}, IntervalCase{"abc", -1},
                      IntervalCase{"", -1}, IntervalCase{" ", -1}, IntervalCase{"-5", -1},
                      IntervalCase{"2.5", -1}, IntervalCase{"5s", -1}, IntervalCase{"+", -1},
                      IntervalCase{"1 0", -1}, IntervalCase{"3000000", -1},
                      IntervalCase{"2147484", -1}, IntervalCase{"99999999999999999999", -1}));

class Dismissal : public ::testing::Test {
 protected:
  void SetUp() override {
    platform.cursor_counter = -1;
    module.Start();
  }
  // Delivers one event; true when it ended the program.
  bool Ends(Event e, const forms::Control* source) {
    try {
      module.Dispatch(*module.form1(), e, source);
      return false;
    } catch (const ProgramExit& x) {
      EXPECT_EQ(x.status, 0);
      EXPECT_GT(platform.cursor_counter, 0);
      return true;
    }
  }
  Form1& form() { return *module.form1(); }

  FakePlatform platform;
  Module1 module{platform};
};

TEST_F(Dismissal, FourthMoveOverTheWindowEnds) {
  EXPECT_FALSE(Ends(Event::MouseMove, nullptr));
  EXPECT_FALSE(Ends(Event::MouseMove, nullptr));
  EXPECT_FALSE(Ends(Event::MouseMove, nullptr));
  EXPECT_TRUE(Ends(Event::MouseMove, nullptr));
}

TEST_F(Dismissal, CountersAreIndependent) {
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(Ends(Event::MouseMove, nullptr));
    EXPECT_FALSE(Ends(Event::MouseMove, &form().Image1));
  }
  EXPECT_EQ(form().FormMoveCount, 3);
  EXPECT_EQ(form().ImageMoveCount, 3);
  EXPECT_TRUE(Ends(Event::MouseMove, &form().Image1));
}

// A move event that leaves the pointer where it was is no movement: the window appearing under a
// resting pointer, ten moves at the same place, a move back on another surface are not counted;
// each real move is, however small, and the fourth ends the show.
TEST_F(Dismissal, OnlyMovesThatMoveThePointerCount) {
  forms::PointerMoves moves;
  const forms::Control* image = &form().Image1;
  auto move = [&](const forms::Control* surface, double x, double y) {
    return moves.IsMovement(form(), surface, {x, y}) && Ends(Event::MouseMove, surface);
  };
  moves.Shown(form(), {500, 400});
  struct Step {
    const forms::Control* surface;
    double x, y;
    int form_count, image_count;
  };
  const Step steps[] = {
      {nullptr, 500, 400, 0, 0},     // the window appeared under the resting pointer
      {image, 500, 400, 0, 0},       // and so did the photograph
      {nullptr, 500, 400, 0, 0},     {nullptr, 501, 400, 1, 0},   // one pixel is a move
      {nullptr, 501, 400, 1, 0},     {nullptr, 501, 400.5, 2, 0},  // half a logical pixel too
      {image, 600, 300, 2, 1},       {image, 600, 300, 2, 1},      {nullptr, 600, 300, 3, 1},
  };
  for (const Step& s : steps) {
    EXPECT_FALSE(move(s.surface, s.x, s.y)) << s.x << "," << s.y;
    EXPECT_EQ(form().FormMoveCount, s.form_count) << s.x << "," << s.y;
    EXPECT_EQ(form().ImageMoveCount, s.image_count) << s.x << "," << s.y;
  }
  for (int i = 0; i < 10; ++i) EXPECT_FALSE(move(nullptr, 600, 300));
  EXPECT_TRUE(move(nullptr, 600, 301)) << "the fourth real move ends it";
}

TEST(PointerMoves, AWindowShownAgainComparesWithTheNewPlace) {
  fake::FakePlatform platform;
  Module1 module{platform};
  module.Start();
  forms::PointerMoves moves;
  const forms::Form& f = *module.form1();
  EXPECT_TRUE(moves.IsMovement(f, nullptr, {1, 1})) << "never shown: every move counts";
  moves.Shown(f, {5, 5});
  EXPECT_FALSE(moves.IsMovement(f, nullptr, {5, 5}));
  EXPECT_TRUE(moves.IsMovement(f, nullptr, {1, 1}));
}

TEST_F(Dismissal, KeysAndButtonsEndAtOnce) {
  EXPECT_TRUE(Ends(Event::KeyDown, nullptr));
  EXPECT_TRUE(Ends(Event::MouseDown, nullptr));
  EXPECT_TRUE(Ends(Event::MouseDown, &form().Image1));
  EXPECT_TRUE(Ends(Event::Click, &form().Image1));
}

TEST_F(Dismissal, PanelsAndBannerIgnoreInput) {
  for (const forms::Control* c : {&form().panYear, &form().SSPanel1, &form().Image2}) {
    for (int i = 0; i < 10; ++i) {
      EXPECT_FALSE(Ends(Event::MouseMove, c));
      EXPECT_FALSE(Ends(Event::MouseDown, c));
      EXPECT_FALSE(Ends(Event::Click, c));
    }
  }
  EXPECT_EQ(form().FormMoveCount, 0);
  EXPECT_EQ(form().ImageMoveCount, 0);
}

TEST_F(Dismissal, CloseFromOutsideShowsTheCursorTwiceAndDoesNotEnd) {
  platform.cursor_results.clear();
  EXPECT_FALSE(Ends(Event::QueryUnload, nullptr));
  EXPECT_FALSE(Ends(Event::Unload, nullptr));
  EXPECT_EQ(platform.cursor_results, (std::vector<std::int32_t>{0, 1, 2}));
}

}  // namespace
}  // namespace quildor
