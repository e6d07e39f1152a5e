// The settings dialog on the fake platform: the delay cycle, its captions, storing and help.
#include "settings_dialog/frm_ss_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fake/fake_platform.h"
#include "forms/keyboard.h"
#include "forms/run_time_error.h"
#include "module/module1.h"

namespace quildor {
namespace {

using fake::FakePlatform;
using fake::ProgramExit;
using forms::Event;

struct CycleCase {
  std::int32_t ms, down, up;
};

class DelayCycle : public ::testing::TestWithParam<CycleCase> {};

TEST_P(DelayCycle, StepsBothWays) {
  EXPECT_EQ(StepDelayDown(GetParam().ms), GetParam().down);
  EXPECT_EQ(StepDelayUp(GetParam().ms), GetParam().up);
}

INSTANTIATE_TEST_SUITE_P(
    Values, DelayCycle,
    ::testing::Values(CycleCase{1000, 60000, 2000}, CycleCase{2000, 1000, 3000},
                      CycleCase{3000, 2000, 4000}, CycleCase{4000, 3000, 5000},
                      CycleCase{5000, 4000, 10000}, CycleCase{10000, 5000, 15000},
                      CycleCase{15000, 10000, 20000}, CycleCase{20000, 15000, 25000},
                      CycleCase{25000, 20000, 30000}, CycleCase{30000, 25000, 35000},
                      CycleCase{35000, 30000, 40000}, CycleCase{40000, 35000, 45000},
                      CycleCase{45000, 40000, 50000}, CycleCase{50000, 45000, 55000},
                      CycleCase{55000, 50000, 60000}, CycleCase{60000, 55000, 1000}));

TEST(DelayCycle, OverflowOffTheCycleIsAnError) {
  EXPECT_THROW(StepDelayUp(2147483647), forms::RunTimeError);
  EXPECT_THROW(StepDelayDown(-2147483647), forms::RunTimeError);
}

TEST(DelaySecondsText, IsTheShortestDecimalText) {
  EXPECT_EQ(DelaySecondsText(1000), "1");
  EXPECT_EQ(DelaySecondsText(15000), "15");
  EXPECT_EQ(DelaySecondsText(60000), "60");
  EXPECT_EQ(DelaySecondsText(2500), "2.5");
}

class Dialog : public ::testing::Test {
 protected:
  void SetUp() override {
    platform.command_line = "/c";
    module.Start();
  }
  frmSSSettings& dialog() { return *module.settings_dialog(); }
  void Send(Event e, const forms::Control& c) { module.Dispatch(dialog(), e, &c); }
  void Down() { Send(Event::SpinDown, dialog().SpinInterval); }
  void Up() { Send(Event::SpinUp, dialog().SpinInterval); }
  void Set() { Send(Event::Click, dialog().SSCommand4); }

  FakePlatform platform;
  Module1 module{platform};
};

TEST_F(Dialog, CaptionsFollowTheSteps) {
  EXPECT_EQ(dialog().panInterval.Caption(), "1 Second");
  Down();
  EXPECT_EQ(dialog().panInterval.Caption(), "60 Seconds");
  Up();
  EXPECT_EQ(dialog().panInterval.Caption(), "1 Seconds");
  std::vector<std::string> seen;
  for (int i = 0; i < 5; ++i) {
    Up();
    seen.push_back(dialog().panInterval.Caption());
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"2 Seconds", "3 Seconds", "4 Seconds", "5 Seconds",
                                            "10 Seconds"}));
  Down();
  EXPECT_EQ(dialog().panInterval.Caption(), "5 Seconds");
  Down();
  EXPECT_EQ(dialog().panInterval.Caption(), "4 Seconds");
}

TEST_F(Dialog, SetStoresTheDelayAndNothingElse) {
  Set();
  ASSERT_NE(platform.Stored("Interval"), nullptr);
  EXPECT_EQ(*platform.Stored("Interval"), "1");
  for (int i = 0; i < 6; ++i) Up();   // 15 seconds
  Set();
  EXPECT_EQ(*platform.Stored("Interval"), "15");
  EXPECT_EQ(platform.settings.size(), 1u) << "Set never touches QuildorsDir";
  EXPECT_EQ(platform.shown_forms.size(), 1u);
  EXPECT_TRUE(platform.message_boxes.empty());
}

TEST_F(Dialog, SetLeavesAnExistingPhotoFolderAlone) {
  platform.settings[{"SCRNSAVE: The Quildor Anthology", "Settings", "QuildorsDir"}] = "E:\\QUILDORS\\";
  Down();
  Set();
  EXPECT_EQ(*platform.Stored("Interval"), "60");
  EXPECT_EQ(*platform.Stored("QuildorsDir"), "E:\\QUILDORS\\");
}

TEST_F(Dialog, HelpShowsTheExactText) {
  Send(Event::Click, dialog().SSCommand5);
  ASSERT_EQ(platform.message_boxes.size(), 1u);
  const std::string& text = platform.message_boxes[0].text;
  EXPECT_EQ(platform.message_boxes[0].title, "The Quildor Anthology Screen Saver Settings");
  EXPECT_TRUE(text.starts_with(
      "The Quildor Anthology Screen Saver must be initially installed from \r\nwithin"));
  EXPECT_NE(text.find("adjust the \r\ntiming interval of the presentation.\r\n\r\nAdditional"),
            std::string::npos);
  EXPECT_TRUE(text.ends_with("within\r\nthe Quildor Anthology software.\r\n\r\n"));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 10);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 10);
  EXPECT_EQ(platform.settings_writes, 0);
}

TEST_F(Dialog, ExitEndsWithoutSaving) {
  Up();
  platform.cursor_counter = -2;
  try {
    Send(Event::Click, dialog().SSCommand6);
    FAIL() << "Exit returned";
  } catch (const ProgramExit& e) {
    EXPECT_EQ(e.status, 0);
  }
  EXPECT_EQ(platform.settings_writes, 0);
  EXPECT_EQ(platform.cursor_counter, 1);
}

// Keyboard users walk "Set", "Help", "Exit" and the spin button by tab index, wrapping both ways;
// the panels, labels and picture are no stops, and a hidden or disabled button is skipped.
TEST_F(Dialog, TabWalksTheButtonsAndTheSpinButtonByTabIndex) {
  auto& d = dialog();
  EXPECT_EQ(forms::FocusOrder(d), (std::vector<const forms::Control*>{
                                      &d.SSCommand4, &d.SSCommand5, &d.SSCommand6,
                                      &d.SpinInterval}));
  struct Step {
    const forms::Control* from;
    bool backwards;
    const forms::Control* to;
  };
  for (const Step& s : {Step{nullptr, false, &d.SSCommand4}, Step{nullptr, true, &d.SpinInterval},
                        Step{&d.SSCommand4, false, &d.SSCommand5},
                        Step{&d.SSCommand6, false, &d.SpinInterval},
                        Step{&d.SpinInterval, false, &d.SSCommand4},
                        Step{&d.SSCommand4, true, &d.SpinInterval},
                        Step{&d.SSCommand5, true, &d.SSCommand4},
                        Step{&d.panInterval, false, &d.SSCommand4}}) {
    EXPECT_EQ(forms::NextFocus(d, s.from, s.backwards), s.to)
        << (s.from ? s.from->Name() : "nothing") << (s.backwards ? " back" : " on");
  }
  d.SSCommand5.SetVisible(false);
  d.SSCommand6.SetEnabled(false);
  EXPECT_EQ(forms::NextFocus(d, &d.SSCommand4, false), &d.SpinInterval);
}

// A screen reader hears each button by its caption and the spin button by its tooltip, with the
// value panel's caption as its value; Up and Right step up, Down and Left down.
TEST_F(Dialog, ControlsHaveAccessibleNamesAndTheSpinButtonTheShownValue) {
  auto& d = dialog();
  EXPECT_EQ(forms::AccessibleName(d.SSCommand4), "Set");
  EXPECT_EQ(forms::AccessibleName(d.SSCommand5), "Help");
  EXPECT_EQ(forms::AccessibleName(d.SSCommand6), "Exit");
  EXPECT_EQ(forms::AccessibleName(d.SpinInterval), "Set Slide Show Delay");
  EXPECT_EQ(forms::AccessibleValue(d, d.SpinInterval), "1 Second");
  EXPECT_EQ(forms::AccessibleValue(d, d.SSCommand4), std::nullopt);
  EXPECT_EQ(forms::ValueShownBy(d, d.panInterval), &d.SpinInterval);
  EXPECT_EQ(forms::ValueShownBy(d, d.pnlSSaver), nullptr);
  using forms::ArrowKey;
  for (ArrowKey key : {ArrowKey::Up, ArrowKey::Right, ArrowKey::Down, ArrowKey::Left}) {
    Send(forms::SpinEventFor(key), d.SpinInterval);
  }
  EXPECT_EQ(forms::AccessibleValue(d, d.SpinInterval), "1 Seconds") << "up twice, down twice";
  Send(forms::SpinEventFor(ArrowKey::Left), d.SpinInterval);
  EXPECT_EQ(forms::AccessibleValue(d, d.SpinInterval), "60 Seconds");
}

TEST_F(Dialog, AFailedSaveIsFatalAndNamesTheStore) {
  platform.fail_writes = true;
  EXPECT_THROW(Set(), ProgramExit);
  ASSERT_EQ(platform.message_boxes.size(), 1u);
  EXPECT_NE(platform.message_boxes[0].text.find("settings store"), std::string::npos);
}

}  // namespace
}  // namespace quildor
