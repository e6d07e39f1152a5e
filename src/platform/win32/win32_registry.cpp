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
  // Text comes back terminated, a REG_EXPAND_SZ value (as "%USERPROFILE%\Pictures\") with its
  // variables expanded; numbers are read as their decimal text. A value that grows between the
  // size query and the read is read again at its new size.
  constexpr DWORD kTypes = RRF_RT_REG_SZ | RRF_RT_REG_DWORD | RRF_RT_REG_QWORD;
  std::optional<std::wstring> result;
  std::vector<BYTE> data;
  DWORD type = 0, bytes = 0;
  LONG rc = RegGetValueW(hkey, nullptr, key.c_str(), kTypes, &type, nullptr, &bytes);
  int tries = 0;
  while (rc == ERROR_SUCCESS || (rc == ERROR_MORE_DATA && ++tries < 16)) {
    data.assign(bytes + sizeof(wchar_t), 0);   // bytes: the size last reported
    bytes = static_cast<DWORD>(data.size());
    rc = RegGetValueW(hkey, nullptr, key.c_str(), kTypes, &type, data.data(), &bytes);
    if (rc == ERROR_SUCCESS) break;
  }
  RegCloseKey(hkey);
  if (rc != ERROR_SUCCESS) return std::nullopt;
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), bytes / sizeof(wchar_t));
    const auto nul = text.find(L'\0');
    if (nul != std::wstring::npos) text.resize(nul);
    result = text;
  } else if (type == REG_DWORD && bytes == sizeof(DWORD)) {
    DWORD v;
    memcpy(&v, data.data(), sizeof v);
    result = std::to_wstring(v);
  } else if (type == REG_QWORD && bytes == sizeof(ULONGLONG)) {
    ULONGLONG v;
    memcpy(&v, data.data(), sizeof v);
    result = std::to_wstring(v);
  }
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
