#include "platform/qt/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

#include "forms/run_time_error.h"
#include "platform/platform.h"

namespace quildor::ini {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// The text split into lines without their line ends (LF or CRLF), a leading BOM dropped.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
  while (pos < text.size()) {
    std::size_t nl = text.find('\n', pos);
    std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    if (nl == std::string::npos) break;
    pos = nl + 1;
  }
  return lines;
}

struct Parsed {
  enum Kind { Other, Section, Entry } kind = Other;
  std::string name;    // section or key
  std::string value;   // entries only, decoded
};

std::string Unquote(const std::string& v) {
  std::string out;
  for (std::size_t i = 1; i + 1 < v.size(); ++i) {
    char c = v[i];
    if (c == '\\' && i + 2 < v.size()) {
      char n = v[++i];
      switch (n) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        default: out += n; break;   // \\ and \" and anything else: the character itself
      }
    } else {
      out += c;
    }
  }
  return out;
}

Parsed Parse(const std::string& raw) {
  Parsed p;
  const std::string line = Trim(raw);
  if (line.empty() || line[0] == ';' || line[0] == '#') return p;
  if (line[0] == '[') {
    const std::size_t close = line.find(']');
    if (close == std::string::npos) return p;
    p.kind = Parsed::Section;
    p.name = Trim(line.substr(1, close - 1));
    return p;
  }
  const std::size_t eq = line.find('=');
  if (eq == std::string::npos || eq == 0) return p;
  p.kind = Parsed::Entry;
  p.name = Trim(line.substr(0, eq));
  std::string value = Trim(line.substr(eq + 1));
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = Unquote(value);
  p.value = std::move(value);
  return p;
}

bool NeedsQuotes(const std::string& v) {
  if (v.empty()) return false;
  if (IsBlank(v.front()) || IsBlank(v.back()) || v.front() == '"') return true;
  return v.find_first_of("\r\n") != std::string::npos;
}

[[noreturn]] void Fail(const std::string& what, const std::string& path, int err) {
  throw forms::RunTimeError(what + " " + path + ": " + std::strerror(err));
}

std::string Folder(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

void MakeFolders(const std::string& folder) {
  if (folder.empty() || folder == "/" || folder == ".") return;
  struct stat st{};
  if (::stat(folder.c_str(), &st) == 0) return;
  MakeFolders(Folder(folder));
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    Fail("Cannot create the settings folder", folder, errno);
  }
}

void WriteAll(int fd, const std::string& content, const std::string& path) {
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("Cannot write the settings file", path, errno);
    }
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

std::optional<std::string> Find(const std::string& text, const std::string& section,
                                const std::string& key) {
  bool in_section = false;
  std::optional<std::string> found;
  for (const auto& raw : Lines(text)) {
    Parsed p = Parse(raw);
    if (p.kind == Parsed::Section) {
      in_section = SameName(p.name, section);
    } else if (p.kind == Parsed::Entry && in_section && SameName(p.name, key) && !found) {
      found = std::move(p.value);   // the first entry wins, as it is the one a write replaces
    }
  }
  return found;
}

std::string FormatEntry(const std::string& key, const std::string& value) {
  if (!NeedsQuotes(value)) return key + "=" + value;
  std::string out = key + "=\"";
  for (char c : value) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c; break;
    }
  }
  return out + "\"";
}

std::string Update(const std::string& text, const std::string& section, const std::string& key,
                   const std::string& value) {
  std::vector<std::string> lines = Lines(text);
  const std::string entry = FormatEntry(key, value);
  const std::string eol = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";

  bool in_section = false;
  bool replaced = false;
  std::size_t insert_at = std::string::npos;   // after the last non-blank line of the section
  for (std::size_t i = 0; i < lines.size(); ++i) {
    Parsed p = Parse(lines[i]);
    if (p.kind == Parsed::Section) {
      if (in_section) break;   // the section ended without the key
      in_section = SameName(p.name, section);
      if (in_section) insert_at = i + 1;
    } else if (in_section) {
      if (p.kind == Parsed::Entry && SameName(p.name, key)) {
        lines[i] = entry;
        replaced = true;
        break;
      }
      if (!Trim(lines[i]).empty()) insert_at = i + 1;
    }
  }
  if (replaced) {
    // nothing more to do
  } else if (insert_at != std::string::npos) {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insert_at), entry);
  } else {
    if (!lines.empty() && !Trim(lines.back()).empty()) lines.emplace_back();
    lines.push_back("[" + section + "]");
    lines.push_back(entry);
  }
  std::string out = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? "\xEF\xBB\xBF" : "";
  for (const auto& l : lines) out += l + eol;
  return out;
}

std::optional<std::string> ReadFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
    Fail("Cannot read the settings file", path, errno);
  }
  struct stat st{};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    throw forms::RunTimeError("The settings file " + path + " is not a regular file");
  }
  std::string content;
  char buffer[8192];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      Fail("Cannot read the settings file", path, err);
    }
    if (n == 0) break;
    content.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return content;
}

namespace {

// The file a write of `path` must replace: `path` itself, or, when it is a symbolic link (as
// dotfile managers make them), the file the chain of links ends at, which need not exist yet.
// The link is kept, so the user's managed copy is the one that changes.
std::string WriteTarget(const std::string& path) {
  std::string target = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st{};
    if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return target;
    std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
    if (n < 0 || static_cast<std::size_t>(n) >= link.size()) {
      Fail("Cannot follow the settings file's link", target, n < 0 ? errno : ENAMETOOLONG);
    }
    link.resize(static_cast<std::size_t>(n));
    target = link[0] == '/' ? link : Folder(target) + "/" + link;
  }
  Fail("Cannot follow the settings file's link", path, ELOOP);
}

}  // namespace

void WriteFileAtomically(const std::string& path, const std::string& content) {
  const std::string target = WriteTarget(path);
  const std::string folder = Folder(target);
  MakeFolders(folder);

  // An existing file keeps its mode, and one the user may not write is refused and left as it
  // is: replacing it would bypass its permissions, since only the folder's are checked by a
  // rename. A new file is the user's alone.
  mode_t mode = 0600;
  struct stat st{};
  if (::stat(target.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
      Fail("Cannot write the settings file", path, errno);
    }
  }

  // The temporary file gets a fresh name of its own, created exclusively, so that nothing placed
  // there beforehand (a file, a link) is written through.
  std::string temp = target + ".new-XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) Fail("Cannot write the settings file", temp, errno);
  try {
    if (::fchmod(fd, mode) != 0) Fail("Cannot write the settings file", temp, errno);
    WriteAll(fd, content, temp);
    if (::fsync(fd) != 0) Fail("Cannot write the settings file", temp, errno);
  } catch (...) {
    ::close(fd);
    ::unlink(temp.c_str());
    throw;
  }
  if (::close(fd) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    Fail("Cannot write the settings file", temp, err);
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    Fail("Cannot replace the settings file", target, err);
  }
  // The rename itself is durable only once the folder is flushed.
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

}  // namespace quildor::ini
