#include "forms/screens.h"

namespace quildor::forms {

std::size_t SlideShowScreenIndex(const std::vector<ScreenPlace>& screens,
                                 std::optional<std::size_t> named_primary) {
  if (named_primary && *named_primary < screens.size()) return *named_primary;
  for (std::size_t i = 0; i < screens.size(); ++i) {
    if (screens[i].x == 0 && screens[i].y == 0) return i;
  }
  return 0;
}

}  // namespace quildor::forms
