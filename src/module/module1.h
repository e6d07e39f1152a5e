// Module1: the program's code module. It owns the module-level variables (they live for the whole
// run), the two windows once created, and the routines every window shares: start-up (Main), the
// cursor restoration and program end, the settings store calls and the screen-size probe.
//
// It also runs every event handler inside the fatal-error trap: a failure that no handler traps
// shows a message box with the program's title and what failed, makes the cursor visible and ends
// the process with a non-zero status.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "forms/form.h"
#include "platform/platform.h"

namespace quildor {

class Form1;
class frmSSSettings;

// The window handle of a preview request: "/p" (or "/P") followed by a blank or a colon and a
// decimal handle, as Windows' Screen Saver Settings page passes it; nothing for anything else.
std::optional<std::uint64_t> PreviewParentHandle(const std::string& command_line);

class Module1 {
 public:
  explicit Module1(Platform& platform);
  ~Module1();
  Module1(const Module1&) = delete;
  Module1& operator=(const Module1&) = delete;

  // The application title: the name the settings are stored under and the version block's
  // product name.
  static std::string AppTitle();

  // The single entry point: picks the mode from the previous-instance flag and the command line,
  // creates and shows at most one window, and returns.
  void Main();

  // Runs Main inside the fatal-error trap; what the platform's start calls.
  void Start();

  // Raises the cursor display counter until it is above 0 (at least one call).
  void ShowCursorFully();

  // Makes the cursor visible and ends the program at once; no further handler runs.
  [[noreturn]] void EndProgram();

  // The fatal run-time error: a message box naming what failed, the cursor visible, exit status 1.
  [[noreturn]] void FatalError(const std::string& what);

  // Runs one event handler of `form` with the fatal-error trap around it. Backends deliver every
  // event through here. A timer tick that arrives while one of the program's message boxes is
  // open is dropped, so that a slide-show step never starts behind a box and boxes never stack up.
  void Dispatch(forms::Form& form, forms::Event event, const forms::Control* source);

  // A modal message box of the program, with an OK button; every box of the program opens here,
  // so that Dispatch knows while one is open.
  void MsgBox(const std::string& text, const std::string& title);

  // The slide-show window's screen-size probe: true when the screen measures exactly
  // width x 15 by height x 15 twips. The height is read only when the width matches.
  bool IsScreenSize(std::int32_t width, std::int32_t height);

  // Loads `form` (its Load handler) if not loaded yet and shows it modeless.
  void Show(forms::Form& form);

  Platform& platform() { return platform_; }
  Form1* form1() { return form1_.get(); }
  frmSSSettings* settings_dialog() { return settings_.get(); }

  // Module-level variables.
  std::int32_t SlideDelayMs = 0;      // the delay being chosen in the settings dialog, in ms
  std::int32_t IntervalSeconds = 0;   // the slide delay read from the settings, in seconds
  std::string PhotoDir;               // the photo directory read from the settings

 private:
  // Runs `body`; a failure that escapes it is the fatal run-time error.
  void Trap(const std::function<void()>& body);

  Platform& platform_;
  int message_boxes_open_ = 0;
  std::unique_ptr<Form1> form1_;
  std::unique_ptr<frmSSSettings> settings_;
};

}  // namespace quildor
