#include "module/module1.h"

#include "forms/event_log.h"

#include <cstddef>
#include <cstdlib>
#include <exception>
#include <new>
#include <utility>

#include "forms/arith.h"
#include "forms/run_time_error.h"

#include "settings_dialog/frm_ss_settings.h"
#include "slideshow/form1.h"

namespace quildor {

std::optional<std::uint64_t> PreviewParentHandle(const std::string& command) {
  if (command.size() < 4 || command[0] != '/' || (command[1] != 'p' && command[1] != 'P')) {
    return std::nullopt;
  }
  if (command[2] != ' ' && command[2] != ':') return std::nullopt;
  std::size_t i = 3, end = command.size();
  while (i < end && command[i] == ' ') ++i;
  while (end > i && command[end - 1] == ' ') --end;
  if (i == end || end - i > 20) return std::nullopt;
  std::uint64_t value = 0;
  for (; i < end; ++i) {
    if (command[i] < '0' || command[i] > '9') return std::nullopt;
    const std::uint64_t next = value * 10 + static_cast<std::uint64_t>(command[i] - '0');
    if (next / 10 != value) return std::nullopt;   // past 64 bits
    value = next;
  }
  return value;
}

Module1::Module1(Platform& platform) : platform_(platform) {}
Module1::~Module1() = default;

std::string Module1::AppTitle() { return "SCRNSAVE: The Quildor Anthology"; }

void Module1::Main() {
  const std::string command = platform_.CommandLine();

  // Windows starts a screen saver with "/p" and a window handle whenever its Screen Saver
  // Settings page shows it in its little monitor. There the program draws a still preview into
  // that window: the full-screen show would cover the settings page. A preview takes no
  // previous-instance lock and leaves the cursor alone.
  if (const auto parent = PreviewParentHandle(command)) {
    auto preview = std::make_unique<Form1>(*this);
    preview->LayOutForPreview();
    switch (platform_.ShowPreview(*preview, *parent)) {
      case Platform::Preview::Shown: form1_ = std::move(preview); return;
      case Platform::Preview::InvalidParent: platform_.Exit(1); std::abort();
      case Platform::Preview::Unsupported: break;   // the slide show, as for any other switch
    }
  }

  if (platform_.PrevInstance()) EndProgram();

  // Only the configuration switch is told apart: its first two characters, exactly and
  // case-sensitively ("/C" or " /c" run the slide show).
  if (command.compare(0, 2, "/c") == 0) {
    SlideDelayMs = 1000;   // the dialog always opens at one second; the stored value is not read
    if (!settings_) settings_ = std::make_unique<frmSSSettings>(*this);
    Show(*settings_);
    return;
  }

  if (!form1_) form1_ = std::make_unique<Form1>(*this);
  Show(*form1_);
  // The caption panel appears only once the window is laid out and on the screen.
  form1_->panYear.SetVisible(true);
}

void Module1::Show(forms::Form& form) {
  if (!form.Loaded()) {
    form.MarkLoaded();
    form.HandleEvent(forms::Event::Load, nullptr);
  }
  platform_.ShowForm(form);
}

void Module1::ShowCursorFully() {
  // The counter is read back as a signed 16-bit value; stop at the first one above 0.
  for (;;) {
    const auto counter = static_cast<std::int16_t>(platform_.ShowCursor(true));
    if (counter > 0) return;
  }
}

void Module1::EndProgram() {
  ShowCursorFully();
  platform_.Exit(0);
  std::abort();   // Exit does not return
}

void Module1::FatalError(const std::string& what) {
  // Make the pointer visible first, so that the user can reach the box's button.
  ShowCursorFully();
  forms::EventLog::Note("Fatal " + what);
  MsgBox(what, AppTitle());
  platform_.Exit(1);
  std::abort();
}

void Module1::MsgBox(const std::string& text, const std::string& title) {
  // The box runs its own event loop; events arrive through Dispatch while it is open.
  struct Open {
    explicit Open(int& n) : n_(n) { ++n_; }
    ~Open() { --n_; }
    int& n_;
  } open(message_boxes_open_);
  platform_.MsgBox(text, title);
}

void Module1::Start() {
  Trap([this] { Main(); });
}

void Module1::Dispatch(forms::Form& form, forms::Event event, const forms::Control* source) {
  if (event == forms::Event::Timer && message_boxes_open_ > 0) return;
  Trap([&] { form.HandleEvent(event, source); });
}

void Module1::Trap(const std::function<void()>& body) {
  std::string what;
  try {
    body();
    return;
  } catch (const forms::RunTimeError& e) {
    what = e.what();
  } catch (const std::bad_alloc&) {
    what = "Out of memory";
  } catch (const std::exception& e) {
    what = std::string("Internal error: ") + e.what();
  }
  FatalError(what);
}

bool Module1::IsScreenSize(std::int32_t width, std::int32_t height) {
  const std::int32_t want_width = forms::CheckedMul<std::int32_t>(width, forms::kTwipsPerPixel);
  const std::int32_t want_height = forms::CheckedMul<std::int32_t>(height, forms::kTwipsPerPixel);
  if (static_cast<double>(platform_.ScreenWidth()) != static_cast<double>(want_width)) return false;
  return static_cast<double>(platform_.ScreenHeight()) == static_cast<double>(want_height);
}

}  // namespace quildor
