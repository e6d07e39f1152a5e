// An optional record of what the program was asked to handle, for end-to-end tests: when the
// environment variable QUILDOR_EVENT_LOG names a file, each event delivered to a handler and each
// change of the cursor display counter is appended to it as one line, flushed at once (the
// program may end right after). Without the variable nothing is written anywhere.
#pragma once

#include <cstdint>
#include <string>

#include "forms/form.h"

namespace quildor::forms {

class EventLog {
 public:
  // Opens the file QUILDOR_EVENT_LOG names, if any.
  static void OpenFromEnvironment();
  static bool Enabled();

  // "Form1 Image1 MouseMove", "Form1 - KeyDown" (the form itself)
  static void Event(const Form& form, forms::Event e, const Control* source);
  // "ShowCursor 1"
  static void Cursor(std::int32_t counter);
  // Any other line, such as "Painted Form1" (a window's first frame on the screen).
  static void Note(const std::string& line);
};

const char* EventName(forms::Event e);

}  // namespace quildor::forms
