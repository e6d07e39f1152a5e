// The settings store of the Linux build: one INI file per application, one [group] per section.
// Reading is forgiving, as for a file a person edits: a byte-order mark, CRLF line ends, comment
// lines (';' or '#'), blanks around keys and values and lines that are neither are all accepted.
// Section and key names match regardless of ASCII letter case, as the Windows registry does.
// A value written with leading or trailing blanks, a leading quote or a line break is written in
// double quotes with backslash escapes, so that every value reads back exactly as written.
//
// Writes replace the whole file atomically (a temporary file, flushed to disk, renamed over the
// old one, then the folder flushed), so a crash at any moment leaves the old or the new file.
// They keep the owner's habits: a settings file that is a symbolic link is written through to the
// file it names and stays a link, the file's mode is kept, and a file the user may not write is
// refused and left as it is.
#pragma once

#include <optional>
#include <string>

namespace quildor::ini {

// The value of `key` in `section` of the INI text, or nothing.
std::optional<std::string> Find(const std::string& text, const std::string& section,
                                const std::string& key);

// The INI text with `key` in `section` set to `value`; every other line is kept as it was.
std::string Update(const std::string& text, const std::string& section, const std::string& key,
                   const std::string& value);

// The line that stores `value` under `key`.
std::string FormatEntry(const std::string& key, const std::string& value);

// Reads the whole file; nothing when it does not exist. Throws forms::RunTimeError when it exists
// but cannot be read.
std::optional<std::string> ReadFile(const std::string& path);

// Replaces the file's content atomically and durably, creating its folder when missing. Throws
// forms::RunTimeError with the path and the reason when that cannot be done; the old file is then
// kept.
void WriteFileAtomically(const std::string& path, const std::string& content);

}  // namespace quildor::ini
