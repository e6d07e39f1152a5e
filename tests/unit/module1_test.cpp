// Start-up, cursor restoration and program end, and the fatal-error trap, on the fake platform.
#include "module/module1.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "fake/fake_platform.h"
#include "forms/run_time_error.h"
#include "settings_dialog/frm_ss_settings.h"
#include "slideshow/form1.h"

namespace quildor {
namespace {

using fake::FakePlatform;
using fake::ProgramExit;

struct ModeCase {
  const char* command_line;
  bool settings_dialog;
};

class ModeSelection : public ::testing::TestWithParam<ModeCase> {};

TEST_P(ModeSelection, OpensExactlyOneWindow) {
  FakePlatform platform;
  platform.command_line = GetParam().command_line;
  Module1 module(platform);
  module.Start();

  ASSERT_EQ(platform.shown_forms.size(), 1u);
  if (GetParam().settings_dialog) {
    ASSERT_NE(module.settings_dialog(), nullptr);
    EXPECT_EQ(module.form1(), nullptr);
    EXPECT_EQ(platform.shown_forms[0], module.settings_dialog());
    EXPECT_EQ(module.SlideDelayMs, 1000);
    EXPECT_EQ(module.settings_dialog()->panInterval.Caption(), "1 Second");
  } else {
    ASSERT_NE(module.form1(), nullptr);
    EXPECT_EQ(module.settings_dialog(), nullptr);
    EXPECT_EQ(platform.shown_forms[0], module.form1());
    EXPECT_EQ(module.SlideDelayMs, 0);
    EXPECT_TRUE(module.form1()->panYear.Visible());
  }
  EXPECT_TRUE(platform.message_boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ModeSelection,
    ::testing::Values(ModeCase{"/c", true}, ModeCase{"/c:1234", true}, ModeCase{"/c 1234", true},
                      ModeCase{"/cx", true}, ModeCase{"/C", false}, ModeCase{" /c", false},
                      ModeCase{"", false}, ModeCase{"/", false}, ModeCase{"/s", false},
                      ModeCase{"/p 1234", false}, ModeCase{"/p", false}, ModeCase{"c/", false}));

// The caption panel becomes visible only after the window has been shown.
class RecordingPlatform : public FakePlatform {
 public:
  bool panel_visible_when_shown = true;
  void ShowForm(forms::Form& form) override {
    panel_visible_when_shown = form.Get("panYear").Visible();
    FakePlatform::ShowForm(form);
  }
};

TEST(Main, ShowsTheSlideShowBeforeRevealingTheCaptionPanel) {
  RecordingPlatform platform;
  Module1 module(platform);
  module.Start();
  EXPECT_FALSE(platform.panel_visible_when_shown);
  EXPECT_TRUE(module.form1()->panYear.Visible());
  EXPECT_EQ(module.form1()->panYear.Caption(), "Kelmarion");
}

TEST(Main, SecondInstanceEndsAtOnceWithTheCursorVisible) {
  for (const char* command : {"", "/c", "/s"}) {
    FakePlatform platform;
    platform.prev_instance = true;
    platform.command_line = command;
    platform.cursor_counter = -2;
    Module1 module(platform);
    try {
      module.Start();
      FAIL() << "Main returned for a second instance";
    } catch (const ProgramExit& e) {
      EXPECT_EQ(e.status, 0);
    }
    EXPECT_TRUE(platform.shown_forms.empty());
    EXPECT_EQ(module.form1(), nullptr);
    EXPECT_EQ(module.settings_dialog(), nullptr);
    EXPECT_EQ(platform.cursor_counter, 1);
    EXPECT_EQ(platform.settings_reads, 0);
  }
}

struct CursorCase {
  std::int32_t start;
  std::vector<std::int32_t> results;
};

class CursorLoop : public ::testing::TestWithParam<CursorCase> {};

TEST_P(CursorLoop, RaisesTheCounterToOne) {
  FakePlatform platform;
  platform.cursor_counter = GetParam().start;
  Module1 module(platform);
  module.ShowCursorFully();
  EXPECT_EQ(platform.cursor_results, GetParam().results);
}

INSTANTIATE_TEST_SUITE_P(Counters, CursorLoop,
                         ::testing::Values(CursorCase{-3, {-2, -1, 0, 1}}, CursorCase{0, {1}},
                                           CursorCase{5, {6}}, CursorCase{-1, {0, 1}}));

TEST(CursorLoop, TwoCallsInARowRaiseTheCounterTwice) {
  FakePlatform platform;
  Module1 module(platform);
  module.ShowCursorFully();
  module.ShowCursorFully();
  EXPECT_EQ(platform.cursor_results, (std::vector<std::int32_t>{1, 2}));
}

TEST(CursorLoop, ReadsTheCounterAsSixteenBits) {
  // 65535 is -1 as a 16-bit value: the loop goes on to 65537, which is 1.
  FakePlatform platform;
  platform.cursor_counter = 65534;
  Module1 module(platform);
  module.ShowCursorFully();
  EXPECT_EQ(platform.cursor_results, (std::vector<std::int32_t>{65535, 65536, 65537}));
}

TEST(EndProgram, ShowsTheCursorThenExitsWithStatusZero) {
  FakePlatform platform;
  platform.cursor_counter = -3;
  Module1 module(platform);
  try {
    module.EndProgram();
    FAIL() << "EndProgram returned";
  } catch (const ProgramExit& e) {
    EXPECT_EQ(e.status, 0);
  }
  EXPECT_EQ(platform.cursor_results, (std::vector<std::int32_t>{-2, -1, 0, 1}));
}

// A handler that fails with nothing to trap it.
class FailingForm : public forms::Form {
 public:
  FailingForm() : forms::Form(forms::FormDesign{}, {}) {}
  void HandleEvent(forms::Event, const forms::Control*) override {
    throw forms::RunTimeError("Cannot reach the disc");
  }
};

TEST(FatalError, ShowsWhatFailedAndExitsWithNonZeroStatus) {
  FakePlatform platform;
  platform.cursor_counter = -1;
  Module1 module(platform);
  FailingForm form;
  try {
    module.Dispatch(form, forms::Event::KeyDown, nullptr);
    FAIL() << "a fatal error returned";
  } catch (const ProgramExit& e) {
    EXPECT_NE(e.status, 0);
  }
  ASSERT_EQ(platform.message_boxes.size(), 1u);
  EXPECT_EQ(platform.message_boxes[0].text, "Cannot reach the disc");
  EXPECT_EQ(platform.message_boxes[0].title, "SCRNSAVE: The Quildor Anthology");
  EXPECT_GE(platform.cursor_counter, 0);
}

}  // namespace
}  // namespace quildor

namespace quildor {
namespace {

TEST(PreviewParentHandle, IsTheDecimalHandleAfterTheSwitch) {
  EXPECT_EQ(PreviewParentHandle("/p 1234"), 1234u);
  EXPECT_EQ(PreviewParentHandle("/p:66048"), 66048u);
  EXPECT_EQ(PreviewParentHandle("/P 5"), 5u);
  EXPECT_EQ(PreviewParentHandle("/p  77 "), 77u);
  EXPECT_EQ(PreviewParentHandle("/p 0"), 0u);
  EXPECT_EQ(PreviewParentHandle("/p 18446744073709551615"), 18446744073709551615u);
  for (const char* other : {"/p", "/p ", "/p abc", "/p 12x", "/p -1", "/p 18446744073709551616",
                            "/s", "/c 1234", " /p 1234", "/p1234", ""}) {
    EXPECT_FALSE(PreviewParentHandle(other).has_value()) << other;
  }
}

TEST(Preview, DrawsIntoTheGivenWindowWithoutLockOrCursor) {
  FakePlatform platform;
  platform.command_line = "/p 4242";
  platform.prev_instance = true;   // a running slide show does not stop a preview
  platform.preview_result = Platform::Preview::Shown;
  Module1 module(platform);
  module.Start();
  EXPECT_EQ(platform.previews, (std::vector<std::uint64_t>{4242}));
  EXPECT_FALSE(platform.prev_instance_asked);
  EXPECT_TRUE(platform.shown_forms.empty());
  EXPECT_TRUE(platform.cursor_results.empty());
  EXPECT_EQ(platform.settings_reads, 0);
  ASSERT_NE(module.form1(), nullptr);
  // The design state laid out as on an 800 x 600 screen, caption panel shown.
  EXPECT_EQ(module.form1()->SSPanel1.Left(), 52.5f);
  EXPECT_EQ(module.form1()->Image2.Top(), 7695);
  EXPECT_TRUE(module.form1()->panYear.Visible());
  EXPECT_EQ(module.form1()->panYear.Caption(), "Kelmarion");
}

TEST(Preview, AnInvalidWindowEndsTheRunAtOnce) {
  FakePlatform platform;
  platform.command_line = "/p 99999";
  platform.preview_result = Platform::Preview::InvalidParent;
  Module1 module(platform);
  try {
    module.Start();
    FAIL() << "Main returned";
  } catch (const ProgramExit& e) {
    EXPECT_EQ(e.status, 1);
  }
  EXPECT_TRUE(platform.shown_forms.empty());
  EXPECT_FALSE(platform.prev_instance_asked);
  EXPECT_TRUE(platform.message_boxes.empty());
}

TEST(Preview, WithoutAPreviewThePlatformRunsTheSlideShow) {
  FakePlatform platform;
  platform.command_line = "/p 4242";
  Module1 module(platform);
  module.Start();
  EXPECT_EQ(platform.previews.size(), 1u);
  ASSERT_EQ(platform.shown_forms.size(), 1u);
  EXPECT_EQ(platform.shown_forms[0], module.form1());
  EXPECT_TRUE(platform.prev_instance_asked);
}

}  // namespace
}  // namespace quildor
