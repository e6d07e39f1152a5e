#include "platform/win32/win32_platform.h"

#include <objbase.h>

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <utility>

#include "forms/event_log.h"
#include "forms/run_time_error.h"
#include "platform/win32/win32_dpi.h"
#include "platform/win32/win32_pictures.h"
#include "platform/win32/win32_preview.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_views.h"
#include "resources/resource_ids.h"

namespace quildor::win32 {

std::wstring Widen(const std::string& s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::string Narrow(const std::wstring& w) {
  if (w.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                      nullptr);
  return s;
}

std::wstring ArgumentsOf(const wchar_t* command_line) {
  const wchar_t* p = command_line ? command_line : L"";
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p == L'"') ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  if (*p == L' ' || *p == L'\t') ++p;
  return p;
}

std::wstring LongPath(const std::wstring& path) {
  if (path.compare(0, 4, L"\\\\?\\") == 0) return path;
  // Behind the prefix Windows takes the path literally: "." and ".." segments, forward slashes
  // and a path relative to the current folder would no longer be resolved. So the full path is
  // made first, as Windows itself makes it for a path without the prefix.
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(),
                                     nullptr);
    if (n == 0) return path;   // not a path Windows can resolve; let the call that uses it fail
    if (n < full.size()) {
      full.resize(n);
      break;
    }
    full.resize(n);   // n counts the terminator when the buffer was too small
  }
  if (full.size() < MAX_PATH - 12) return path;   // short enough: Windows resolves it itself
  if (full.size() > 2 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
  if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return path;
}

namespace {

BOOL CALLBACK CollectOtherMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM found) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoW(monitor, &info) && !(info.dwFlags & MONITORINFOF_PRIMARY)) {
    reinterpret_cast<std::vector<RECT>*>(found)->push_back(info.rcMonitor);
  }
  return TRUE;
}

}  // namespace

std::vector<RECT> Win32Platform::OtherMonitors() const {
  if (monitors_) return *monitors_;
  std::vector<RECT> others;
  EnumDisplayMonitors(nullptr, nullptr, CollectOtherMonitor, reinterpret_cast<LPARAM>(&others));
  return others;
}

namespace {
// The announcement that a loader job has finished; it carries nothing.
constexpr UINT kLoadComplete = WM_APP + 1;
constexpr wchar_t kLoaderClass[] = L"QuildorLoader";
}  // namespace

// The finished loader jobs waiting for the GUI thread, the window that is told of them (none once
// it is gone), and how many jobs have not finished yet.
struct Win32Platform::Completions {
  std::mutex mutex;
  HWND window = nullptr;
  std::deque<std::pair<forms::Form*, const forms::Control*>> done;
  int unfinished = 0;
};

Win32Platform::Win32Platform(HINSTANCE instance, std::string command_line)
    : instance_(instance),
      command_line_(std::move(command_line)),
      completions_(std::make_shared<Completions>()),
      // The loader's thread reads pictures through WIC, a COM component, in an apartment of
      // its own.
      loader_([] {
        SetThreadErrorMode(kErrorMode, nullptr);
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
      }) {
  // First of all: a CD drive without a disc or a card reader without a card must not raise the
  // system's critical-error box, which would stand behind the top-most slide show where no one
  // can answer it, and hold the thread that asked. The program's own box asks for the disc.
  // Threads made later take the process's mode; the loader's sets its own as well.
  SetErrorMode(kErrorMode);
  SetThreadErrorMode(kErrorMode, nullptr);
  com_initialized_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  FormWindow::RegisterClasses(instance);
  PreviewWindow::RegisterClass(instance);
  WNDCLASSW wc{};
  wc.lpfnWndProc = LoaderProc;
  wc.hInstance = instance;
  wc.lpszClassName = kLoaderClass;
  RegisterClassW(&wc);
  // A message-only window: it never shows, and message boxes' own loops dispatch to it too.
  loader_window_ = CreateWindowExW(0, kLoaderClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   instance, nullptr);
  if (loader_window_) {
    SetWindowLongPtrW(loader_window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    completions_->window = loader_window_;
  } else {
    loader_window_error_ = GetLastError();
  }
}

void Win32Platform::StartLoader() {
  if (!loader_window_) {
    throw forms::RunTimeError("Cannot create the window that receives the loaded photographs "
                              "(error " + std::to_string(loader_window_error_) + ")");
  }
  try {
    loader_.Start();
  } catch (const std::system_error& e) {
    throw forms::RunTimeError(std::string("Cannot start the thread that loads the photographs: ") +
                              e.what());
  }
}

void Win32Platform::StartLoad(forms::Form& form, const forms::Control& source,
                              std::function<void()> work) {
  load_scale_ = PrimaryScale().device_per_logical;
  {
    const std::lock_guard<std::mutex> lock(completions_->mutex);
    ++completions_->unfinished;
  }
  loader_.Post([work = std::move(work), completions = completions_, form = &form,
                source = &source] {
    work();
    const std::lock_guard<std::mutex> lock(completions->mutex);
    --completions->unfinished;
    if (!completions->window) return;
    completions->done.emplace_back(form, source);
    PostMessageW(completions->window, kLoadComplete, 0, 0);
  });
}

LRESULT CALLBACK Win32Platform::LoaderProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg != kLoadComplete) return DefWindowProcW(hwnd, msg, wp, lp);
  // Whatever the message carries is ignored: only the jobs waiting in the queue are delivered,
  // so a message that another program posts finds nothing, or delivers a job a little early.
  auto* self = reinterpret_cast<Win32Platform*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self) self->DeliverCompletions();
  return 0;
}

void Win32Platform::DeliverCompletions() {
  for (;;) {
    std::pair<forms::Form*, const forms::Control*> next;
    {
      const std::lock_guard<std::mutex> lock(completions_->mutex);
      if (completions_->done.empty()) return;
      next = completions_->done.front();
      completions_->done.pop_front();
    }
    Deliver(*next.first, forms::Event::LoadComplete, next.second);
  }
}

Win32Platform::~Win32Platform() {
  // A job still running announces nothing from now on.
  {
    const std::lock_guard<std::mutex> lock(completions_->mutex);
    completions_->window = nullptr;
  }
  if (loader_window_) DestroyWindow(loader_window_);
  DestroyViews();
  CloseFind();
  if (instance_mutex_) CloseHandle(instance_mutex_);
  if (com_initialized_) CoUninitialize();
}

bool Win32Platform::PrevInstance() {
  if (prev_instance_checked_) return prev_instance_;
  prev_instance_checked_ = true;
  // A named mutex of this user's session, held for the life of the process: creating it is
  // atomic, so of two simultaneous starts exactly one sees it new.
  instance_mutex_ = CreateMutexW(nullptr, FALSE, L"Local\\Quildor.SCRNSAVE.TheQuildorAnthology");
  if (!instance_mutex_) {
    throw forms::RunTimeError("Cannot create the instance mutex (error " +
                              std::to_string(GetLastError()) + ")");
  }
  prev_instance_ = GetLastError() == ERROR_ALREADY_EXISTS;
  return prev_instance_;
}

// The primary monitor in logical pixels: Windows gives its device pixels (the program is
// DPI-aware), so a 1600 x 1200 monitor at 200 % counts as 800 x 600.
float Win32Platform::ScreenWidth() {
  const int logical = PrimaryScale().Logical(GetSystemMetrics(SM_CXSCREEN));
  return static_cast<float>(logical * forms::kTwipsPerPixel);
}

float Win32Platform::ScreenHeight() {
  const int logical = PrimaryScale().Logical(GetSystemMetrics(SM_CYSCREEN));
  return static_cast<float>(logical * forms::kTwipsPerPixel);
}

std::int32_t Win32Platform::ShowCursor(bool show) {
  const int counter = ::ShowCursor(show ? TRUE : FALSE);
  forms::EventLog::Cursor(counter);
  return counter;
}

std::string Win32Platform::ReadSetting(const std::string& app, const std::string& section,
                                       const std::string& key, const std::string& def) {
  const auto value = ReadRegistrySetting(Widen(app), Widen(section), Widen(key));
  return value ? Narrow(*value) : def;
}

void Win32Platform::WriteSetting(const std::string& app, const std::string& section,
                                 const std::string& key, const std::string& value) {
  WriteRegistrySetting(Widen(app), Widen(section), Widen(key), Widen(value));
}

void Win32Platform::CloseFind() {
  if (find_ != INVALID_HANDLE_VALUE) FindClose(find_);
  find_ = INVALID_HANDLE_VALUE;
  find_ended_ = true;
}

// The first ordinary file (no folder, no hidden or system file) from `data` on, or "" at the end.
std::string Win32Platform::NextOrdinaryFile(WIN32_FIND_DATAW& data, bool have_entry) {
  constexpr DWORD kSkipped = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                             FILE_ATTRIBUTE_SYSTEM;
  for (;;) {
    if (!have_entry) {
      if (!FindNextFileW(find_, &data)) {
        const DWORD err = GetLastError();
        CloseFind();
        if (err == ERROR_NO_MORE_FILES) return "";
        throw forms::RunTimeError("Cannot read the photo folder (error " + std::to_string(err) +
                                  ")");
      }
    }
    have_entry = false;
    if (!(data.dwFileAttributes & kSkipped)) return Narrow(data.cFileName);
  }
}

std::string Win32Platform::DirStart(const std::string& pattern) {
  CloseFind();
  WIN32_FIND_DATAW data;
  find_ = FindFirstFileW(LongPath(Widen(pattern)).c_str(), &data);
  if (find_ == INVALID_HANDLE_VALUE) {
    const DWORD err = GetLastError();
    // No match, or no such folder on a drive that can be read: no files. Anything else (no disc
    // in the drive, an unreadable disc, no permission) is a failure.
    if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND || err == ERROR_NO_MORE_FILES) {
      return "";
    }
    throw forms::RunTimeError("Cannot read the photo folder " + pattern + " (error " +
                              std::to_string(err) + ")");
  }
  find_ended_ = false;
  return NextOrdinaryFile(data, true);
}

std::string Win32Platform::DirNext() {
  if (find_ == INVALID_HANDLE_VALUE || find_ended_) {
    throw forms::RunTimeError("No file enumeration is running");
  }
  WIN32_FIND_DATAW data;
  return NextOrdinaryFile(data, false);
}

forms::Picture Win32Platform::LoadPicture(const std::string& path, int width, int height) {
  // The control's size is in logical pixels; on a high-DPI monitor the photograph is decoded and
  // scaled once to its size in device pixels, so that it is drawn 1:1, every pixel sharp. On the
  // loader's thread, the scale its job was started with.
  const double loading = load_scale_;
  const forms::Scale scale = loading > 0 ? forms::Scale{loading} : PrimaryScale();
  return LoadPictureFile(LongPath(Widen(path)), path, scale.Pixels(width), scale.Pixels(height));
}

namespace {

// Maps one character through LCMapString; a mapping that is not one character keeps it as is.
char32_t MapCase(char32_t c, DWORD flags) {
  wchar_t in[2];
  int n = 1;
  if (c >= 0x10000) {
    in[0] = static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
    in[1] = static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    n = 2;
  } else {
    in[0] = static_cast<wchar_t>(c);
  }
  wchar_t out[4];
  const int m = LCMapStringW(LOCALE_INVARIANT, flags, in, n, out, 4);
  if (m == 1 && n == 1) return out[0];
  if (m == 2 && n == 2 && out[0] >= 0xD800 && out[0] < 0xDC00) {
    return 0x10000 + ((static_cast<char32_t>(out[0]) - 0xD800) << 10) + (out[1] - 0xDC00);
  }
  return c;
}

}  // namespace

char32_t Win32Platform::ToUpper(char32_t c) { return MapCase(c, LCMAP_UPPERCASE); }
char32_t Win32Platform::ToLower(char32_t c) { return MapCase(c, LCMAP_LOWERCASE); }

forms::Picture Win32Platform::ResourcePicture(forms::ResourcePicture which) {
  int id = 0;
  const char* name = "";
  switch (which) {
    case forms::ResourcePicture::DesignPhoto: id = IDR_DESIGN_PHOTO; name = "design photo"; break;
    case forms::ResourcePicture::TitleBanner: id = IDR_TITLE_BANNER; name = "title banner"; break;
    case forms::ResourcePicture::DialogPhoto: id = IDR_DIALOG_PHOTO; name = "dialog photo"; break;
    case forms::ResourcePicture::Icon: id = IDR_ICON_FILE; name = "icon"; break;
  }
  HRSRC found = FindResourceW(instance_, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /*RT_RCDATA*/);
  HGLOBAL loaded = found ? LoadResource(instance_, found) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) throw forms::RunTimeError(std::string("The built-in picture is missing: ") + name);
  return DecodePicture(data, SizeofResource(instance_, found), name);
}

void Win32Platform::ShowForm(forms::Form& form) {
  // The slide show (the frameless window) loads its photographs through the loader.
  if (form.design().frameless) StartLoader();
  auto& view = forms_[&form];
  if (!view) {
    view = std::make_unique<FormWindow>(*this, form);
    ++live_windows_;
  }
  view->ShowAsModelled();
}

FormWindow* Win32Platform::WindowOf(const forms::Form& form) const {
  auto it = forms_.find(&form);
  return it == forms_.end() ? nullptr : it->second.get();
}

void Win32Platform::DestroyViews() {
  preview_.reset();
  forms_.clear();
}

Platform::Preview Win32Platform::ShowPreview(forms::Form& form, std::uint64_t parent) {
  HWND window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(parent));
  if (parent == 0 || parent != static_cast<std::uintptr_t>(parent) || !IsWindow(window)) {
    return Preview::InvalidParent;
  }
  preview_ = std::make_unique<PreviewWindow>(*this, form, window);
  ++live_windows_;
  return Preview::Shown;
}

void Win32Platform::MsgBox(const std::string& text, const std::string& title) {
  // Owned by the program's visible window, so that it stands above even the full-screen one.
  HWND owner = nullptr;
  for (const auto& [form, view] : forms_) {
    // A window still being made (a failure while it is made is reported here) has no view yet.
    if (view && view->hwnd() && IsWindowVisible(view->hwnd())) owner = view->hwnd();
  }
  MessageBoxW(owner, Widen(text).c_str(), Widen(title).c_str(),
              MB_OK | MB_SETFOREGROUND | MB_TOPMOST);
}

void Win32Platform::Exit(int status) {
  // The screen and the instance mutex are the user's again before the process ends. A loader
  // thread in a read that cannot be cancelled (a network share whose server is gone) keeps a
  // process in its teardown until the read ends; it must keep neither the windows nor the mutex
  // meanwhile, so that the screen comes back and a new start works at once. No handler of the
  // program runs from here on, whatever destroying the windows sends.
  ending_ = true;
  bool loading = false;
  {
    const std::lock_guard<std::mutex> lock(completions_->mutex);
    completions_->window = nullptr;
    loading = completions_->unfinished > 0;
  }
  // Windows takes a thread's windows down when the thread ends, but a process that lingers may
  // hold them under Wine, where they belong to its display connection; so while a job may hold
  // the process they are destroyed here, the covers and the preview with them. Otherwise nothing
  // can hold it, and they go with it: one by one, Wine without a window manager would wait 2 s
  // for a window manager's answer to each.
  if (loading) {
    for (const auto& [form, view] : forms_) {
      if (view && view->hwnd()) DestroyWindow(view->hwnd());
    }
    if (preview_ && preview_->hwnd()) DestroyWindow(preview_->hwnd());
  }
  if (instance_mutex_) CloseHandle(instance_mutex_);
  instance_mutex_ = nullptr;
  // Ends without the libraries' detach handlers, which a thread killed inside one of them (the
  // loader, in a decoder) could keep waiting; nothing is left to flush (every setting is durable
  // once written, the event log is flushed line by line).
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
  ExitProcess(static_cast<UINT>(status));
}

int Win32Platform::RunMessageLoop() {
  MSG msg;
  while (live_windows_ > 0) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) return got == 0 ? static_cast<int>(msg.wParam) : 1;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

void Win32Platform::FormWindowDestroyed() {
  if (--live_windows_ <= 0) PostQuitMessage(0);
}

void Win32Platform::DeliverMove(forms::Form& form, const forms::Control* source, POINT screen) {
  if (moves_.IsMovement(form, source, {static_cast<double>(screen.x),
                                       static_cast<double>(screen.y)})) {
    Deliver(form, forms::Event::MouseMove, source);
  }
}

void Win32Platform::FormShown(const forms::Form& form) {
  POINT at{};
  if (GetCursorPos(&at)) moves_.Shown(form, {static_cast<double>(at.x), static_cast<double>(at.y)});
}

void Win32Platform::Deliver(forms::Form& form, forms::Event e, const forms::Control* source) {
  if (ending_) return;
  forms::EventLog::Event(form, e, source);
  if (dispatcher_) dispatcher_(form, e, source);
}

}  // namespace quildor::win32
