// The child windows of a form's controls, one class per kind of control: the 3-D panel, the image,
// the label, the 3-D command button and the spin button. Each draws its control from the model
// with the paint helpers and turns its window's input into the control's events; what they all
// share (geometry and visibility from the model, a key as the form's KeyDown, Tab to the next
// stop, mouse input that stops at the control, the click on release, what a screen reader is
// told) lives in the base class.
//
// Ownership: the FormWindow owns its ChildViews; a ChildView detaches from its control and
// destroys what it drew with when it dies. The window itself is destroyed with its parent, after
// the FormWindow has unhooked it from its view.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>

#include "forms/drawing.h"
#include "forms/form.h"
#include "platform/win32/win32_accessible.h"

namespace quildor::win32 {

class FormWindow;

// Registers a window class of the program's: the arrow pointer, no double clicks (each press is a
// press; the spin button counts them), no background brush (every window paints its own).
void RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC proc);

class ChildView : public forms::ControlView {
 public:
  // The child window of `c` inside `parent`, the view of the control's kind behind it (a timer
  // has none). Throws forms::RunTimeError when the window cannot be made.
  static std::unique_ptr<ChildView> Create(FormWindow& owner, forms::Control& c, HWND parent,
                                           int id);
  static void RegisterClass(HINSTANCE instance);

  ~ChildView() override;
  ChildView(const ChildView&) = delete;
  ChildView& operator=(const ChildView&) = delete;

  HWND hwnd() const { return hwnd_; }
  forms::Control& control() const { return control_; }

  void PropertyChanged(const forms::Control& c, forms::Property p) override;
  // Places the window where the control stands at the form's scale (after a change of scale).
  void Relayout();
  // What assistive technology is told of the control; nothing for panels and images, which
  // Windows' standard object describes well enough.
  std::optional<AccessibleFacts> Facts() const;

  // Only the views of the control kinds are made (the class is abstract); see Create.
  ChildView(FormWindow& owner, forms::Control& c) : owner_(owner), control_(c) {}

 protected:
  virtual void Paint(HDC dc, const RECT& rc) = 0;
  // A key pressed in the control (`repeat`: held down, repeated by the keyboard): true when it is
  // the control's own (a button's Space, a spin button's arrows).
  virtual bool Key(WPARAM, bool /*repeat*/) { return false; }
  virtual void KeyReleased(WPARAM) {}
  // The control lost the keyboard focus.
  virtual void FocusLost() {}
  // The left button went down over the control, which now has the mouse; before MouseDown.
  virtual void Pressed(LPARAM) {}
  // After the MouseDown of a left-button press.
  virtual void AfterMouseDown() {}
  // The pointer moved while the control has the mouse; `inside`: over the control.
  virtual void Dragged(bool) {}
  // The control lost the mouse (released, or taken away); true when a release inside it clicks.
  virtual bool Released() { return true; }
  virtual void RepeatTick() {}
  virtual void PictureChanged() {}

  void Deliver(forms::Event e);
  void Repaint() { InvalidateRect(hwnd_, nullptr, FALSE); }
  HFONT Font();
  // The colour behind a transparent or empty control: its container's.
  COLORREF ContainerColor() const;
  void DrawCaption(HDC dc, RECT rc, UINT format);
  forms::Scale Scale() const;

  FormWindow& owner_;
  forms::Control& control_;
  HWND hwnd_ = nullptr;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  bool InsideClient(LPARAM lp) const;

  bool captured_ = false;
};

}  // namespace quildor::win32
