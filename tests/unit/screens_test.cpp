// The slide show's screen: the desktop's own primary, else the one at the origin, else the first,
// whatever order the screens were announced in.
#include "forms/screens.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <optional>
#include <vector>

namespace quildor::forms {
namespace {

struct ScreenCase {
  const char* name;
  std::vector<ScreenPlace> screens;
  std::optional<std::size_t> named_primary;
  std::size_t expected;
};

class SlideShowScreen : public ::testing::TestWithParam<ScreenCase> {};

TEST_P(SlideShowScreen, IsChosenByTheDesktopOrTheOrigin) {
  const ScreenCase& c = GetParam();
  EXPECT_EQ(SlideShowScreenIndex(c.screens, c.named_primary), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SlideShowScreen,
    ::testing::Values(
        ScreenCase{"one screen", {{0, 0}}, std::nullopt, 0},
        ScreenCase{"origin announced first", {{0, 0}, {1024, 0}}, std::nullopt, 0},
        ScreenCase{"origin announced second", {{1024, 0}, {0, 0}}, std::nullopt, 1},
        ScreenCase{"origin among three", {{0, 768}, {1024, 0}, {0, 0}}, std::nullopt, 2},
        ScreenCase{"the desktop's primary beside the origin", {{0, 0}, {1024, 0}}, 1, 1},
        ScreenCase{"a primary out of range is no primary", {{1024, 0}, {0, 0}}, 5, 1},
        ScreenCase{"none at the origin: the first", {{-800, 0}, {200, 0}}, std::nullopt, 0}));

}  // namespace
}  // namespace quildor::forms
