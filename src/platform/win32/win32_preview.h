// The still preview that Windows' Screen Saver Settings page asks for ("/p HANDLE"): a child
// window filling the given window, showing the slide-show window's design state (the photograph
// in its frame, the caption panel and the banner) as on an 800 x 600 screen, scaled to fit. It
// reacts to no input and leaves the cursor alone; it is destroyed with its parent, and the run
// ends then.
#pragma once

#include <windows.h>

#include "forms/form.h"

namespace quildor::win32 {

class Win32Platform;

class PreviewWindow {
 public:
  PreviewWindow(Win32Platform& platform, forms::Form& form, HWND parent);
  ~PreviewWindow();
  PreviewWindow(const PreviewWindow&) = delete;
  PreviewWindow& operator=(const PreviewWindow&) = delete;

  HWND hwnd() const { return hwnd_; }

  static void RegisterClass(HINSTANCE instance);

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void Render();   // draws the form once into canvas_

  Win32Platform& platform_;
  forms::Form& form_;
  HWND hwnd_ = nullptr;
  HBITMAP canvas_ = nullptr;
  SIZE canvas_size_{800, 600};
};

}  // namespace quildor::win32
