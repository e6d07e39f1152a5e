// Native Win32 views of the form model: one top-level window per form and one child window per
// visible control, all drawn with GDI (3-D panels, images, labels, 3-D command buttons and the
// spin button are the project's own controls), plus a window timer per timer control.
//
// Input routing: a key pressed in the window or any of its children is the form's KeyDown. Mouse
// input over a child is that control's and never reaches the form beneath it. Tab and Shift+Tab
// walk the form's stops in the order of their tab indexes; the first has the keyboard when the
// form is shown, and the last one to have it gets it back when the form is activated again. Every tick is
// delivered; the program drops those that fall due while one of its message boxes is open.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "forms/drawing.h"
#include "forms/form.h"
#include "platform/win32/win32_controls.h"

namespace quildor::win32 {

class Win32Platform;

class FormWindow : public forms::FormView {
 public:
  FormWindow(Win32Platform& platform, forms::Form& form);
  ~FormWindow() override;
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  forms::Form& form() { return form_; }
  Win32Platform& platform() { return platform_; }

  // Device pixels per logical pixel on the monitor the window stands on; the layout is in
  // logical pixels and is drawn at this scale.
  forms::Scale scale() const { return forms::ScaleForDpi(dpi_); }

  // The child window of a control (timers have none).
  HWND ControlWindow(const forms::Control& c) const;

  // Places the window as the model says, shows it and gives it the keyboard.
  void ShowAsModelled();

  void PropertyChanged(const forms::Form& f, forms::Property p) override;

  // A GDI font for a designed font at the window's scale, made once per window and scale.
  HFONT FontFor(const forms::Font& f);

  static void RegisterClasses(HINSTANCE instance);

 private:
  struct TimerView;
  friend class ChildView;   // delivers its control's events through the form

  static LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT HandleFormMessage(UINT msg, WPARAM wp, LPARAM lp);

  void CreateControls();
  // The window's rectangle, frame included, for the model's position and client size at the
  // window's DPI.
  RECT FramedRect(DWORD style, DWORD ex_style) const;
  void ApplyWindowGeometry();
  // The window now stands on a monitor of `dpi`: its controls, fonts and frame are made again at
  // that scale. `suggested` is where Windows proposes the window goes (a dialog moved between
  // monitors); the full-screen slide show covers the primary monitor again instead.
  void ChangeDpi(UINT dpi, const RECT* suggested);
  // While the window covers the primary monitor in full: one black cover window over each other
  // monitor, made anew when the displays change.
  void UpdateCovers();
  static LRESULT CALLBACK CoverProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void Deliver(forms::Event e, const forms::Control* source);
  // Tab (or Shift+Tab) in `from`: the keyboard goes to the next stop of the form.
  void MoveFocus(const forms::Control* from, bool backwards);
  // A control's window took the keyboard: it gets it back when the form is active again.
  void ChildFocused(HWND child) { focus_ = child; }
  // A key, a button or a mouse move on `hwnd`, the window's own surface or a cover of another
  // monitor: delivered as the form's own event. False for any other message.
  bool DeliverSurfaceInput(HWND hwnd, UINT msg, LPARAM lp);
  // A mouse move with the pointer at `screen`, on `source` (nullptr: the form's own surface).
  void DeliverMove(const forms::Control* source, POINT screen);
  void CloseFromOutside();

  Win32Platform& platform_;
  forms::Form& form_;
  HWND hwnd_ = nullptr;
  HWND tooltip_ = nullptr;
  UINT dpi_ = 96;   // of the monitor the window stands on
  bool closing_ = false;
  std::vector<std::unique_ptr<ChildView>> children_;
  std::vector<std::unique_ptr<TimerView>> timers_;
  std::vector<std::pair<forms::Font, HFONT>> fonts_;
  std::vector<HWND> covers_;
  // The slide show hears when the displays power off or on and when the session locks, so that
  // it does nothing while no one can see it.
  void ListenForDarkness();
  std::vector<HPOWERNOTIFY> power_notifications_;
  bool session_notifications_ = false;
  HWND focus_ = nullptr;   // the control window that last had the keyboard
};

}  // namespace quildor::win32
