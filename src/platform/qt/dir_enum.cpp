#include "platform/qt/dir_enum.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

#include "forms/run_time_error.h"

namespace quildor::qt {

DirEnumeration::~DirEnumeration() { Close(); }

void DirEnumeration::Close() {
  if (dir_) ::closedir(dir_);
  dir_ = nullptr;
  ended_ = true;
}

bool DirEnumeration::Matches(const std::string& pattern, const std::string& name) {
  if (pattern == "*.*" || pattern == "*") return true;
  return fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD | FNM_PERIOD) == 0;
}

std::string DirEnumeration::Start(const std::string& pattern) {
  Close();
  const std::size_t slash = pattern.rfind('/');
  folder_ = slash == std::string::npos ? "." : pattern.substr(0, slash + 1);
  wildcard_ = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
  const int fd = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    // On Linux a disc that is not in the drive shows as a folder that does not exist (an empty
    // mount point, or a path that appears once the disc is mounted), so a missing folder fails
    // like a missing disc, as do no permission, an I/O error and no medium.
    throw forms::RunTimeError("Cannot read the folder " + folder_ + ": " + std::strerror(errno));
  }
  dir_ = ::fdopendir(fd);
  if (!dir_) {
    const int err = errno;
    ::close(fd);
    throw forms::RunTimeError("Cannot read the folder " + folder_ + ": " + std::strerror(err));
  }
  ended_ = false;
  std::string first = Read();
  if (first.empty()) Close();
  return first;
}

std::string DirEnumeration::Next() {
  if (!dir_ || ended_) throw forms::RunTimeError("No file enumeration is running");
  std::string name = Read();
  if (name.empty()) Close();
  return name;
}

std::string DirEnumeration::Read() {
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir_);
    if (!entry) {
      if (errno == 0) return "";   // the end of the folder
      const int err = errno;
      Close();
      throw forms::RunTimeError("Cannot read the folder " + folder_ + ": " + std::strerror(err));
    }
    const std::string name = entry->d_name;
    if (name.empty() || name[0] == '.') continue;   // hidden files, "." and ".."
    if (!Matches(wildcard_, name)) continue;
    bool regular = entry->d_type == DT_REG;
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      // Follow a link to see what it names; a dangling link or a loop is no file.
      struct stat st{};
      regular = ::fstatat(::dirfd(dir_), entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
    }
    if (regular) return name;
  }
}

}  // namespace quildor::qt
