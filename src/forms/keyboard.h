// Keyboard and assistive-technology rules of the form model, the same for every backend: which
// controls take the keyboard focus and in what order Tab walks them, what the arrow keys do on a
// spin button, and what a control is called and holds for a screen reader. A backend asks these
// and only turns them into its own focus calls, key codes and accessibility objects.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "forms/form.h"

namespace quildor::forms {

// True when `c` is a stop of the Tab key: a command button or a spin button with a tab index,
// visible and enabled. Panels, labels and images never take the focus.
bool TakesFocus(const Control& c);

// The controls of `form` that take the focus, by tab index (creation order among equals).
std::vector<const Control*> FocusOrder(const Form& form);

// The control Tab (or Shift+Tab, `backwards`) moves the focus to from `current`, wrapping at
// either end; from nullptr or a control outside the order, the first (or last). nullptr when the
// form has no stop at all.
const Control* NextFocus(const Form& form, const Control* current, bool backwards);

// The arrow keys, as every backend names them.
enum class ArrowKey { Left, Up, Right, Down };

// What an arrow key raises on a spin button: Up and Right step up, Down and Left step down, the
// same events as the arrows themselves.
Event SpinEventFor(ArrowKey key);

// What assistive technology calls a control: a button its caption, a spin button its tooltip.
std::string AccessibleName(const Control& c);

// What a control holds for assistive technology: a spin button the caption of the panel that
// shows its value; nothing for the others.
std::optional<std::string> AccessibleValue(const Form& form, const Control& c);

// The control whose accessible value `panel`'s caption is, or nullptr: a change of that caption
// is announced as a change of that control's value.
const Control* ValueShownBy(const Form& form, const Control& panel);

}  // namespace quildor::forms
