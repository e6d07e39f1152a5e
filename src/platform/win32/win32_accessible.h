// The program's windows as assistive technology (screen readers, through Windows' accessibility
// interface IAccessible) sees them. The controls are windows of the program's own classes, which
// Windows' standard accessible objects know only as unnamed client areas; a control's window
// answers WM_GETOBJECT with an object that says its role, name and value itself and leaves the
// rest (state, focus, location, parent, navigation) to the standard object of the same window.
//
// Lifetime: the object is reference-counted and may outlive its window; it asks the window for
// its facts at each call and answers "disconnected" once the window is gone.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

namespace quildor::win32 {

struct AccessibleFacts {
  LONG role = 0;                       // ROLE_SYSTEM_PUSHBUTTON, ROLE_SYSTEM_SPINBUTTON, ...
  std::wstring name;
  std::optional<std::wstring> value;   // a spin button's shown value
  bool pressable = false;              // a button: its default action is "Press"
};

// What a window says of itself, or nothing once it is gone.
using AccessibleFactsOf = std::function<std::optional<AccessibleFacts>()>;

// The message a pressable window receives when a screen reader asks for its default action; it
// is posted, so that the program's handler runs from the window's own message loop.
inline constexpr UINT kAccessiblePress = WM_APP + 0x51;

// The answer to WM_GETOBJECT (`wp`, `lp`) for `hwnd`: for its client area an object with `facts`;
// for anything else 0, so that Windows answers itself.
LRESULT AnswerGetObject(HWND hwnd, WPARAM wp, LPARAM lp, AccessibleFactsOf facts);

// Tells assistive technology that the value of `hwnd`'s client area changed.
void AnnounceValueChange(HWND hwnd);

}  // namespace quildor::win32
