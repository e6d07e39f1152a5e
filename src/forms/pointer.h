// Which mouse-move events are movement of the mouse. Windows (and some X servers and pointing
// devices) send a move event without any movement: when a window appears, disappears or changes
// under a resting pointer, such as a message box of the program closing over the slide show. A
// screen saver that counted those would end with nobody touching the mouse. A backend hands
// every move event here with the pointer's position on the screen; it is movement when that
// position differs from the one of the last move on the same surface (the window's own surface,
// or a control's), or for a surface's first move, from where the pointer stood when the window
// was shown. Real moves still count one by one, however small.
//
// Positions are in the backend's own screen coordinates, compared exactly: device pixels, or a
// toolkit's logical coordinates where a device pixel is a fraction of one.
#pragma once

#include <vector>

#include "forms/form.h"

namespace quildor::forms {

struct ScreenPoint {
  double x = 0;
  double y = 0;
  bool operator==(const ScreenPoint&) const = default;
};

class PointerMoves {
 public:
  // `form` was shown with the pointer at `at`.
  void Shown(const Form& form, ScreenPoint at);
  // A move event on `surface` of `form` (nullptr: the form's own surface) with the pointer at
  // `at`: true when the pointer moved, and `at` becomes that surface's last position.
  bool IsMovement(const Form& form, const Control* surface, ScreenPoint at);

 private:
  struct Last {
    const Form* form;
    const Control* surface;   // nullptr for the form's own surface; for a shown form, any
    ScreenPoint at;
  };
  Last* Find(const Form& form, const Control* surface, bool shown);
  std::vector<Last> last_;
  std::vector<Last> shown_;
};

}  // namespace quildor::forms
