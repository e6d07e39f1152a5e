#include "platform/win32/win32_platform.h"

#include <objbase.h>

#include "platform/win32/win32_pictures.h"
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

Win32Platform::Win32Platform(HINSTANCE instance, std::string command_line)
    : instance_(instance), command_line_(std::move(command_line)) {
  com_initialized_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  FormWindow::RegisterClasses(instance);
}

Win32Platform::~Win32Platform() {
  DestroyViews();
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
    throw PlatformError("Cannot create the instance mutex (error " +
                        std::to_string(GetLastError()) + ")");
  }
  prev_instance_ = GetLastError() == ERROR_ALREADY_EXISTS;
  return prev_instance_;
}

float Win32Platform::ScreenWidth() {
  return static_cast<float>(GetSystemMetrics(SM_CXSCREEN) * forms::kTwipsPerPixel);
}

float Win32Platform::ScreenHeight() {
  return static_cast<float>(GetSystemMetrics(SM_CYSCREEN) * forms::kTwipsPerPixel);
}

std::int32_t Win32Platform::ShowCursor(bool show) { return ::ShowCursor(show ? TRUE : FALSE); }

std::string Win32Platform::ReadSetting(const std::string& app, const std::string& section,
                                       const std::string& key, const std::string& def) {
  const auto value = ReadRegistrySetting(Widen(app), Widen(section), Widen(key));
  return value ? Narrow(*value) : def;
}

void Win32Platform::WriteSetting(const std::string& app, const std::string& section,
                                 const std::string& key, const std::string& value) {
  WriteRegistrySetting(Widen(app), Widen(section), Widen(key), Widen(value));
}

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
  if (!data) throw PlatformError(std::string("The built-in picture is missing: ") + name);
  return DecodePicture(data, SizeofResource(instance_, found), name);
}

void Win32Platform::ShowForm(forms::Form& form) {
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

void Win32Platform::DestroyViews() { forms_.clear(); }

void Win32Platform::MsgBox(const std::string& text, const std::string& title) {
  // Owned by the program's visible window, so that it stands above even the full-screen one.
  HWND owner = nullptr;
  for (const auto& [form, view] : forms_) {
    if (view->hwnd() && IsWindowVisible(view->hwnd())) owner = view->hwnd();
  }
  ++message_boxes_open_;
  MessageBoxW(owner, Widen(text).c_str(), Widen(title).c_str(),
              MB_OK | MB_SETFOREGROUND | MB_TOPMOST);
  --message_boxes_open_;
}

void Win32Platform::Exit(int status) { ExitProcess(static_cast<UINT>(status)); }

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

void Win32Platform::Deliver(forms::Form& form, forms::Event e, const forms::Control* source) {
  if (dispatcher_) dispatcher_(form, e, source);
}

}  // namespace quildor::win32
