#include "platform/win32/win32_registry.h"

#include <windows.h>

#include <vector>

#include "forms/run_time_error.h"
#include "platform/platform.h"
#include "platform/win32/win32_platform.h"

namespace quildor::win32 {

std::wstring SettingsKeyPath(const std::wstring& app, const std::wstring& section) {
  return L"Software\\VB and VBA Program Settings\\" + app + L"\\" + section;
}

std::optional<std::wstring> ReadRegistrySetting(const std::wstring& app, const std::wstring& section,
                                                const std::wstring& key) {
  HKEY hkey = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, SettingsKeyPath(app, section).c_str(), 0, KEY_QUERY_VALUE,
                    &hkey) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::optional<std::wstring> result;
  DWORD type = 0, bytes = 0;
  if (RegQueryValueExW(hkey, key.c_str(), nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS) {
    std::vector<BYTE> data(bytes + sizeof(wchar_t) * 2, 0);
    DWORD size = bytes;
    if (RegQueryValueExW(hkey, key.c_str(), nullptr, &type, data.data(), &size) == ERROR_SUCCESS) {
      if (type == REG_SZ || type == REG_EXPAND_SZ) {
        // The stored bytes may or may not end in a terminator; stop at the first one.
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
        const auto nul = text.find(L'\0');
        if (nul != std::wstring::npos) text.resize(nul);
        result = text;
      } else if (type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD v;
        memcpy(&v, data.data(), sizeof v);
        result = std::to_wstring(v);
      } else if (type == REG_QWORD && size == sizeof(ULONGLONG)) {
        ULONGLONG v;
        memcpy(&v, data.data(), sizeof v);
        result = std::to_wstring(v);
      }
    }
  }
  RegCloseKey(hkey);
  return result;
}

void WriteRegistrySetting(const std::wstring& app, const std::wstring& section,
                          const std::wstring& key, const std::wstring& value) {
  const std::wstring path = SettingsKeyPath(app, section);
  HKEY hkey = nullptr;
  LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_SET_VALUE, nullptr, &hkey, nullptr);
  if (rc == ERROR_SUCCESS) {
    rc = RegSetValueExW(hkey, key.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    // The program may end at once after a write: make the value durable now.
    if (rc == ERROR_SUCCESS) rc = RegFlushKey(hkey);
    RegCloseKey(hkey);
  }
  if (rc != ERROR_SUCCESS) {
    throw forms::RunTimeError("Cannot save the setting \"" + Narrow(key) +
                              "\" in HKEY_CURRENT_USER\\" + Narrow(path) + " (error " +
                              std::to_string(rc) + ")");
  }
}

}  // namespace quildor::win32
