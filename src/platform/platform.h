// The services the program asks of its operating system: one small interface with one
// implementation per OS (platform/qt, platform/win32) and a full in-memory peer for tests
// (tests/fake). Every call runs on the GUI thread, except the photo folder's (DirStart, DirNext,
// LoadPicture), which run only inside work handed to StartLoad. A call that fails throws
// forms::RunTimeError with a clear message; the caller decides whether that is a handled failure
// or a fatal one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "forms/form.h"
#include "forms/run_time_error.h"

namespace quildor {

class Platform {
 public:
  virtual ~Platform() = default;

  // The argument text after the program's own path, as one string (UTF-8), without the path.
  virtual std::string CommandLine() = 0;

  // True when another process of this program already runs for this user. Asked once, at start;
  // the answer holds the flag for the rest of the process, so two simultaneous starts cannot both
  // see false.
  virtual bool PrevInstance() = 0;

  // Size of the whole (primary) screen in twips, 15 per logical (96-DPI) pixel.
  virtual float ScreenWidth() = 0;
  virtual float ScreenHeight() = 0;

  // The cursor display counter: show=true raises it by one, false lowers it; returns the new
  // value. The pointer is shown while the counter is 0 or more.
  virtual std::int32_t ShowCursor(bool show) = 0;

  // The per-user settings store: the value stored under application/section/key, or `def` when
  // the key (or its section or application) does not exist. A read never creates anything.
  virtual std::string ReadSetting(const std::string& app, const std::string& section,
                                  const std::string& key, const std::string& def) = 0;
  // Stores `value`, creating the application and section entries when missing. The write is
  // complete and durable when the call returns; it never damages the store or another key.
  virtual void WriteSetting(const std::string& app, const std::string& section,
                            const std::string& key, const std::string& value) = 0;

  // Runs `work` off the GUI thread, then delivers forms::Event::LoadComplete from `source` to
  // `form` on the GUI thread, through the dispatcher like any event. The photo folder can stall
  // a read for seconds (a disc spinning up, a sleeping network drive) or for ever (a server that
  // is gone), and the GUI thread must go on answering the user meanwhile. The caller runs at most
  // one job at a time; `work` catches its own failures. Ending the program never waits for a
  // job: one still running when the process ends is abandoned.
  virtual void StartLoad(forms::Form& form, const forms::Control& source,
                         std::function<void()> work) = 0;

  // Whether the window of `form` can be seen now: false while every output it stands on is
  // powered off, or while it is wholly covered (a lock screen over it, the session locked). A
  // screen-saver daemon's window counts as seen while its daemon shows it. Asked when a tick
  // falls due, so that the slide show does no work that no one sees.
  virtual bool CanBeSeen(const forms::Form& form) = 0;

  // The wildcard file enumeration, one running enumeration for the whole program. DirStart begins
  // a new one for `pattern` (a folder path followed by a wildcard name such as "*.*", which matches
  // every name, with or without a dot), ending any earlier one, and returns the first matching
  // name, or "" when nothing matches (on Windows also when the folder does not exist on a drive
  // that can be read). Only ordinary files are returned: no folders, no hidden or system files
  // (on Linux: no names beginning with a dot, nothing that is not a regular file). Names come
  // bare, in the file system's own order. Throws when the folder cannot be read at all (no disc,
  // an I/O error, no permission; on Linux also a folder that does not exist, since that is how
  // a disc that is not mounted shows there).
  virtual std::string DirStart(const std::string& pattern) = 0;
  // The next name of the running enumeration, or "" once it is exhausted. Throws when there is
  // no running enumeration, or when the last call already returned "".
  virtual std::string DirNext() = 0;

  // Loads the picture file at `path` (the first frame) for a control of width x height logical
  // pixels that stretches its picture. A picture larger than the control's size in device
  // pixels (width x height times the scale of the screen the slide show stands on; on Windows the
  // primary monitor's, where the show always stands) in either direction comes back
  // scaled smoothly to exactly that size, so it is resampled once, here, and drawn 1:1; a
  // smaller one comes back at its own size. The picture's own size is kept in the result.
  // Throws when the path names no regular file or a file that is not a picture of a kind it
  // reads.
  virtual forms::Picture LoadPicture(const std::string& path, int width, int height) = 0;

  // The runtime's one-character case mappings (a character whose mapping is not exactly one
  // character maps to itself, so a converted text keeps its length).
  virtual char32_t ToUpper(char32_t c) = 0;
  virtual char32_t ToLower(char32_t c) = 0;

  // A picture stored with the windows' composition.
  virtual forms::Picture ResourcePicture(forms::ResourcePicture which) = 0;

  // Creates the native window for `form` (if not created yet) and shows it modeless, with no
  // owner. The form's Load handler has already run.
  virtual void ShowForm(forms::Form& form) = 0;

  // What ShowPreview did.
  enum class Preview { Unsupported, Shown, InvalidParent };

  // Draws a still picture of `form` inside the window `parent` (a handle the system passed on
  // the command line), as a child window that fills it and reacts to no input; the run ends when
  // the parent goes away. Unsupported where the platform has no such preview.
  virtual Preview ShowPreview(forms::Form& form, std::uint64_t parent) = 0;

  // A modal message box with `text`, an OK button alone, no icon and `title`; returns when the
  // user closes it. Owned by the program's visible window so it is never hidden behind it. Events
  // go on arriving while it is open (timer ticks too).
  virtual void MsgBox(const std::string& text, const std::string& title) = 0;

  // Ends the process at once with `status`: no further handler runs.
  [[noreturn]] virtual void Exit(int status) = 0;
};

}  // namespace quildor
