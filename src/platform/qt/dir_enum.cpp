#include "platform/qt/dir_enum.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "forms/run_time_error.h"
#include "platform/platform.h"

namespace quildor::qt {

DirEnumeration::~DirEnumeration() { Close(); }

namespace {

// One entry as the kernel's getdents64 returns it.
struct KernelDirEntry {
  std::uint64_t ino;
  std::int64_t off;
  unsigned short reclen;
  unsigned char type;
  char name[1];
};

constexpr std::size_t kFirstBlock = 1024;     // a few dozen names: what a start needs
constexpr std::size_t kLaterBlock = 32768;

}  // namespace

void DirEnumeration::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  used_ = pos_ = 0;
  ended_ = true;
}

bool DirEnumeration::Fill() {
  block_.resize(block_.empty() ? kFirstBlock : kLaterBlock);
  for (;;) {
    const long n = ::syscall(SYS_getdents64, fd_, block_.data(), block_.size());
    if (n > 0) {
      used_ = static_cast<std::size_t>(n);
      pos_ = 0;
      return true;
    }
    if (n == 0) return false;
    if (errno == EINVAL && block_.size() < kLaterBlock) {   // an entry larger than the block
      block_.resize(kLaterBlock);
      continue;
    }
    const int err = errno;
    Close();
    throw forms::RunTimeError("Cannot read the folder " + folder_ + ": " + std::strerror(err));
  }
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
  fd_ = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) {
    // A folder that does not exist, on a file system that can be read, has no files; anything
    // else (no permission, an I/O error, no medium) means the folder cannot be read at all.
    if (errno == ENOENT || errno == ENOTDIR) return "";
    throw forms::RunTimeError("Cannot read the folder " + folder_ + ": " + std::strerror(errno));
  }
  ended_ = false;
  block_.clear();   // the first block is a small one
  std::string first = Read();
  if (first.empty()) Close();
  return first;
}

std::string DirEnumeration::Next() {
  if (fd_ < 0 || ended_) throw forms::RunTimeError("No file enumeration is running");
  std::string name = Read();
  if (name.empty()) Close();
  return name;
}

std::string DirEnumeration::Read() {
  for (;;) {
    if (pos_ >= used_ && !Fill()) return "";
    const auto* entry = reinterpret_cast<const KernelDirEntry*>(block_.data() + pos_);
    pos_ += entry->reclen;
    const std::string name = entry->name;
    if (name.empty() || name[0] == '.') continue;   // hidden files, "." and ".."
    if (!Matches(wildcard_, name)) continue;
    bool regular = entry->type == DT_REG;
    if (entry->type == DT_UNKNOWN || entry->type == DT_LNK) {
      // Follow a link to see what it names; a dangling link or a loop is no file.
      struct stat st{};
      regular = fstatat(fd_, entry->name, &st, 0) == 0 && S_ISREG(st.st_mode);
    }
    if (regular) return name;
  }
}

}  // namespace quildor::qt
