// The Linux platform: Qt 6 Widgets. Native views of the form model (qt_views.h), pictures through
// QImageReader, the INI settings store, a lock file for the previous-instance flag, and a cursor
// display counter kept with the Windows rules (shown while 0 or more).
//
// Lifetime: one per process, created by app/main_qt.cpp after the QApplication. It owns the views
// of every form it has shown; where the process does not end through Exit (tests, the benchmark),
// DestroyViews must run before those forms are destroyed.
#pragma once

#include <QWindow>
#include <QSocketNotifier>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "forms/pointer.h"
#include "forms/worker.h"
#include "platform/platform.h"
#include "platform/qt/dir_enum.h"
#include "platform/qt/output_power.h"
#include "platform/qt/qt_form_host.h"

namespace quildor::qt {

class FormWidget;

// Delivers one event to the program (Module1::Dispatch).
using Dispatcher = std::function<void(forms::Form&, forms::Event, const forms::Control*)>;

class QtPlatform : public Platform, public ViewServices {
 public:
  // `command_line`: the program's arguments joined by blanks.
  explicit QtPlatform(std::string command_line);
  ~QtPlatform() override;

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
  bool CanBeSeen(const forms::Form& form) override;
  std::string DirStart(const std::string& pattern) override { return dir_.Start(pattern); }
  std::string DirNext() override { return dir_.Next(); }
  forms::Picture LoadPicture(const std::string& path, int width, int height) override;
  char32_t ToUpper(char32_t c) override;
  char32_t ToLower(char32_t c) override;
  forms::Picture ResourcePicture(forms::ResourcePicture which) override;
  void ShowForm(forms::Form& form) override;
  // The Linux program has no preview switch: a preview request runs the slide show.
  Preview ShowPreview(forms::Form&, std::uint64_t) override { return Preview::Unsupported; }
  void MsgBox(const std::string& text, const std::string& title) override;
  [[noreturn]] void Exit(int status) override;

  // The window a screen-saver daemon handed the program to draw in (the XSCREENSAVER_WINDOW
  // environment variable, or "-window-id ID" on the command line; decimal or 0x-hexadecimal),
  // or nullptr: the slide show then covers the screen. Its size stands for the screen's.
  QWindow* ForeignWindow() override;
  // That window's size in pixels, as the X server reports it.
  QSize ForeignSize() const override { return foreign_size_; }

  // The window id named by `value` ("0x1a00003" or "27262979"), or 0.
  static unsigned long ParseWindowId(const std::string& value);

  // The settings file of an application: ${XDG_CONFIG_HOME:-$HOME/.config}/<app>.ini
  static std::string SettingsPath(const std::string& app);

  // The instance lock: in ${XDG_RUNTIME_DIR}, else in ${XDG_CACHE_HOME:-$HOME/.cache}, folders
  // only the user can create files in (never a folder every user shares, such as /tmp).
  static std::string LockPath();

  // Turns SIGTERM, SIGINT and SIGHUP into a close of every window from outside, on the GUI
  // thread (each form's QueryUnload and Unload run), instead of ending the process mid-handler.
  void CloseOnTerminationSignals();

  // Closes every window of the program as the window manager would.
  void CloseAllFromOutside();

  // Destroys every native window. Views refer to their forms, so this must run before the forms
  // (Module1) go away.
  void DestroyViews();

  // The native window of a shown form, or nullptr.
  FormWidget* WidgetOf(const forms::Form& form) const;

  // Called by the views.
  void Deliver(forms::Form& form, forms::Event e, const forms::Control* source) override;
  // A mouse-move event on `source` (nullptr: the form's own surface) with the pointer at
  // `global`: delivered as MouseMove only when the pointer moved (forms/pointer.h).
  void DeliverMove(forms::Form& form, const forms::Control* source, QPointF global) override;
  // `form` came on the screen with the pointer where it is now.
  void FormShown(const forms::Form& form) override;

 protected:
  // Notes, on the GUI thread, the scale the loads that follow decode for: that of the screen
  // `form`'s window stands on.
  void NoteLoadScale(const forms::Form& form);

 private:
  std::string command_line_;
  Dispatcher dispatcher_;
  int lock_fd_ = -1;
  bool prev_instance_checked_ = false;
  bool prev_instance_ = false;
  std::int32_t cursor_counter_ = 0;
  bool box_inside_ = false;   // a message box stands inside the slide show
  DirEnumeration dir_;
  std::unique_ptr<QSocketNotifier> signal_notifier_;
  bool foreign_checked_ = false;
  QWindow* foreign_ = nullptr;
  QSize foreign_size_;
  std::map<const forms::Form*, std::unique_ptr<FormWidget>> forms_;
  // Where a wlroots compositor tells its outputs' power: asked at each tick.
  bool output_power_checked_ = false;
  std::unique_ptr<OutputPower> output_power_;
  forms::PointerMoves moves_;
  // The loader: its thread, where its completions are posted for the GUI thread (shared with
  // jobs that may outlive this platform), and the slide show's scale for the pictures it loads.
  struct Completions;
  std::shared_ptr<Completions> completions_;
  std::atomic<double> load_scale_{0};
  forms::Worker loader_;
};

}  // namespace quildor::qt
