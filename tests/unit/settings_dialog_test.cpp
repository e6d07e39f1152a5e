// The settings dialog on the fake platform: the delay cycle, its captions, storing and help.
#include "settings_dialog/frm_ss_settings.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "fake/fake_platform.h"
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

TEST_F(Dialog, AFailedSaveIsFatalAndNamesTheStore) {
  platform.fail_writes = true;
  EXPECT_THROW(Set(), ProgramExit);
  ASSERT_EQ(platform.message_boxes.size(), 1u);
  EXPECT_NE(platform.message_boxes[0].text.find("settings store"), std::string::npos);
}

}  // namespace
}  // namespace quildor
