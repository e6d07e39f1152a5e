// The Windows settings store: HKCU\Software\VB and VBA Program Settings\<app>\<section>, one
// string (REG_SZ) value per key, where the companion application writes "QuildorsDir".
#pragma once

#include <optional>
#include <string>

namespace quildor::win32 {

// The registry path of an application's section, below HKEY_CURRENT_USER.
std::wstring SettingsKeyPath(const std::wstring& app, const std::wstring& section);

// The stored text, or nothing when the key, its section or its application is missing. A value
// stored as REG_EXPAND_SZ reads with its environment variables expanded. A value of another type
// than a string reads as nothing, except a DWORD or QWORD, which reads as its decimal text. Never
// creates anything.
std::optional<std::wstring> ReadRegistrySetting(const std::wstring& app, const std::wstring& section,
                                                const std::wstring& key);

// Stores a REG_SZ value, creating the keys when missing, and flushes it to disk before returning.
// Throws forms::RunTimeError naming the key when that fails.
void WriteRegistrySetting(const std::wstring& app, const std::wstring& section,
                          const std::wstring& key, const std::wstring& value);

}  // namespace quildor::win32
