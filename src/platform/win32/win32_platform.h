// The Windows platform: native Win32 windows drawn with GDI (win32_views.h), pictures through WIC
// (win32_pictures.h), the registry store where the companion application writes
// (win32_registry.h), a named mutex for the previous-instance flag and the system's cursor
// display counter. Wide (UTF-16) APIs throughout; the program's strings are UTF-8.
//
// Lifetime: one per process, created by app/main_win32.cpp; it owns the native windows of the
// forms it has shown. DestroyViews must run before the forms (Module1) are destroyed.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "forms/pointer.h"
#include "forms/worker.h"
#include "platform/platform.h"

namespace quildor::win32 {

class FormWindow;
class PreviewWindow;

using Dispatcher = std::function<void(forms::Form&, forms::Event, const forms::Control*)>;

// UTF-8 <-> UTF-16.
std::wstring Widen(const std::string& s);
std::string Narrow(const std::wstring& s);

// The argument text of a full command line: the program's path (quoted or not) and the one blank
// that separates it from the arguments are skipped; everything after is kept as it stands.
std::wstring ArgumentsOf(const wchar_t* command_line);

// A path that the wide file APIs accept at any length: a path whose full form is near MAX_PATH
// characters or more becomes that full form (relative parts, "." and ".." segments and forward
// slashes resolved, which the prefixed form needs) behind the "\\?\" prefix. Shorter paths come
// back as they are.
std::wstring LongPath(const std::wstring& path);

class Win32Platform : public Platform {
 public:
  Win32Platform(HINSTANCE instance, std::string command_line);
  ~Win32Platform() override;

  void SetDispatcher(Dispatcher d) { dispatcher_ = std::move(d); }

  std::string CommandLine() override { return command_line_; }
  bool PrevInstance() override;
  float ScreenWidth() override;
  float ScreenHeight() override;
  std::int32_t ShowCursor(bool show) override;
  std::string ReadSetting(const std::string& app, const std::string& section,
                          const std::string& key, const std::string& def) override;
  void WriteSetting(const std::string& app, const std::string& section, const std::string& key,
                    const std::string& value) override;
  void StartLoad(forms::Form& form, const forms::Control& source,
                 std::function<void()> work) override;
  bool CanBeSeen(const forms::Form&) override { return displays_on_ && !session_locked_; }
  std::string DirStart(const std::string& pattern) override;
  std::string DirNext() override;
  forms::Picture LoadPicture(const std::string& path, int width, int height) override;
  char32_t ToUpper(char32_t c) override;
  char32_t ToLower(char32_t c) override;
  forms::Picture ResourcePicture(forms::ResourcePicture which) override;
  void ShowForm(forms::Form& form) override;
  Preview ShowPreview(forms::Form& form, std::uint64_t parent) override;
  void MsgBox(const std::string& text, const std::string& title) override;
  [[noreturn]] void Exit(int status) override;

  // The error mode every thread of the program runs with: no system box for a drive without a
  // medium or a file that cannot be opened; the program's own box says what is missing.
  static constexpr UINT kErrorMode = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;

  // Runs the message loop until the last window is gone; returns the exit status.
  int RunMessageLoop();

  void DestroyViews();
  HINSTANCE instance() const { return instance_; }
  FormWindow* WindowOf(const forms::Form& form) const;
  PreviewWindow* preview() const { return preview_.get(); }

  // Called by the views.
  void Deliver(forms::Form& form, forms::Event e, const forms::Control* source);
  // A WM_MOUSEMOVE on `source` (nullptr: the form's own surface or a cover) with the pointer at
  // `screen`: delivered as MouseMove only when the pointer moved (forms/pointer.h).
  void DeliverMove(forms::Form& form, const forms::Control* source, POINT screen);
  // `form` came on the screen with the pointer where it is now.
  void FormShown(const forms::Form& form);
  void FormWindowDestroyed();
  // What the slide show's window heard: the displays powered on or off (dimmed counts as on),
  // the session locked or unlocked.
  void DisplaysPowered(bool on) { displays_on_ = on; }
  void SessionLocked(bool locked) { session_locked_ = locked; }

  // The rectangles (virtual-screen pixels) of the monitors other than the primary one, which
  // the full-screen slide show covers with black windows. From Windows itself, unless a list
  // was handed in (tests, with monitors the test display does not have).
  std::vector<RECT> OtherMonitors() const;
  void UseMonitors(std::optional<std::vector<RECT>> others) { monitors_ = std::move(others); }

 private:
  HINSTANCE instance_;
  std::string command_line_;
  Dispatcher dispatcher_;
  HANDLE instance_mutex_ = nullptr;
  bool prev_instance_checked_ = false;
  bool prev_instance_ = false;
  bool com_initialized_ = false;
  HANDLE find_ = INVALID_HANDLE_VALUE;   // the running file enumeration
  bool find_ended_ = true;
  void CloseFind();
  std::string NextOrdinaryFile(WIN32_FIND_DATAW& data, bool have_entry);
  int live_windows_ = 0;
  std::map<const forms::Form*, std::unique_ptr<FormWindow>> forms_;
  std::unique_ptr<PreviewWindow> preview_;
  std::optional<std::vector<RECT>> monitors_;
  forms::PointerMoves moves_;
  // The loader: its thread, the message-only window its completions are announced to, and the
  // primary monitor's scale for the pictures it loads. A finished job's completion waits in
  // `completions_` (shared with jobs that may outlive this platform); the message that announces
  // it carries nothing, so that whatever another program posts to the window is no completion.
  struct Completions;
  std::shared_ptr<Completions> completions_;
  HWND loader_window_ = nullptr;
  DWORD loader_window_error_ = 0;
  static LRESULT CALLBACK LoaderProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void DeliverCompletions();
  // Makes sure the loader can work before the slide show is shown: its window exists and its
  // thread runs. Throws forms::RunTimeError when either could not be made.
  void StartLoader();
  std::atomic<double> load_scale_{0};
  forms::Worker loader_;
  bool ending_ = false;   // Exit has begun: no handler of the program runs any more
  bool displays_on_ = true;
  bool session_locked_ = false;
};

}  // namespace quildor::win32
