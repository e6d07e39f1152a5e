// Which of the desktop's screens the full-screen slide show belongs on, by one rule for every
// platform: the screen the desktop itself calls primary, where it tells programs that; else the
// screen at the layout's origin (0, 0), which is where desktops put the main monitor; else the
// first. Never merely the screen the display server happened to announce first: Wayland
// compositors (and the Xwayland they run) announce outputs in an order they do not promise.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

namespace quildor::forms {

// A screen's place in the desktop's layout, in logical pixels.
struct ScreenPlace {
  int x = 0;
  int y = 0;
};

// The index into `screens` (which is not empty) of the slide show's screen. `named_primary` is
// the index of the screen the desktop names as primary, when it names one.
std::size_t SlideShowScreenIndex(const std::vector<ScreenPlace>& screens,
                                 std::optional<std::size_t> named_primary);

}  // namespace quildor::forms
