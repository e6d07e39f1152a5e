// The idle watcher's rule for starting the slide show, as sequences of what the desktop and the
// programs say, each with the times at which a show must start.
#include "idle/idle_gate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quildor::idle {
namespace {

using std::chrono::seconds;

// One step of a sequence, at a time in seconds: the desktop's idle (I) or input (A), a program's
// reported activity (S), an inhibition taken (H) or ended (E), or the clock alone (T).
struct Step {
  int at;
  char what;
};

struct Case {
  std::string name;
  std::vector<Step> steps;
  std::vector<int> shows;   // the times at which the show starts
};

class IdleGateRule : public testing::TestWithParam<Case> {};

TEST_P(IdleGateRule, StartsTheShowWhenTheRuleSays) {
  const IdleGate::Clock::time_point zero{};
  IdleGate gate(seconds(10));
  bool held = false;
  std::vector<int> shows;
  auto advance_to = [&](int t) {
    // Whatever falls due before the next step is looked at at its time, as the watcher's timer
    // does.
    while (auto due = gate.Due()) {
      const int when = static_cast<int>((*due - zero) / seconds(1));
      if (when > t) break;
      if (gate.Update(held, *due)) shows.push_back(when);
      if (gate.Due() == due) break;
    }
  };
  for (const Step& step : GetParam().steps) {
    advance_to(step.at);
    const auto now = zero + seconds(step.at);
    switch (step.what) {
      case 'I': gate.Idle(now); break;
      case 'A': gate.Active(); break;
      case 'S': gate.Activity(now); break;
      case 'H': held = true; break;
      case 'E': held = false; break;
      case 'T': break;
    }
    if (gate.Update(held, now)) shows.push_back(step.at);
  }
  EXPECT_EQ(shows, GetParam().shows);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, IdleGateRule,
    testing::Values(
        Case{"IdleStartsTheShowOncePerPeriod", {{10, 'I'}, {50, 'T'}, {60, 'A'}, {70, 'I'}},
             {10, 70}},
        Case{"NoShowWhileHeldOverSeveralIdlePeriods",
             {{0, 'H'}, {10, 'I'}, {15, 'A'}, {25, 'I'}, {100, 'T'}}, {}},
        Case{"TheShowFollowsTheIdleTimeAfterTheLastInhibitionEnds",
             {{0, 'H'}, {10, 'I'}, {40, 'E'}, {60, 'T'}}, {50}},
        Case{"InputAfterTheEndWaitsForTheDesktopsNextIdle",
             {{0, 'H'}, {10, 'I'}, {40, 'E'}, {45, 'A'}, {55, 'I'}}, {55}},
        Case{"AnInhibitionTakenAgainBeforeTheTimeRestartsTheCount",
             {{0, 'H'}, {10, 'I'}, {40, 'E'}, {45, 'H'}, {47, 'E'}, {70, 'T'}}, {57}},
        Case{"AnInhibitionEndedWhileTheUserWorksCountsForNothing",
             {{0, 'H'}, {5, 'E'}, {20, 'I'}}, {20}},
        Case{"ReportedActivityCountsAsInput", {{5, 'S'}, {10, 'I'}, {30, 'T'}}, {15}},
        Case{"ReportedActivityWhileIdleRestartsTheCount",
             {{0, 'H'}, {10, 'I'}, {20, 'E'}, {25, 'S'}, {50, 'T'}}, {35}},
        Case{"ActivityReportedAfterTheShowStartedWaitsForTheNextPeriod",
             {{10, 'I'}, {12, 'S'}, {40, 'T'}, {41, 'A'}, {45, 'I'}}, {10, 45}},
        Case{"HeldWhenTheShowWouldStartAfterActivity",
             {{5, 'S'}, {10, 'I'}, {12, 'H'}, {30, 'E'}, {50, 'T'}}, {40}}),
    [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
}  // namespace quildor::idle
