// AsUnprivilegedUser: while the object lives, the process's files are opened with the rights of a
// user who is not root, so that a test of an unreadable or unwritable file means the same when
// the tests run as root (who may read and write everything). As root, the effective user and
// group become "nobody" and come back at the end of the scope; as anyone else nothing changes.
// The files under test must be reachable by that user: see Reachable().
#pragma once

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <exception>
#include <stdexcept>
#include <string>

namespace quildor {

class AsUnprivilegedUser {
 public:
  AsUnprivilegedUser() : root_(::geteuid() == 0) {
    if (!root_) return;
    if (::setegid(Nobody().gid) != 0 || ::seteuid(Nobody().uid) != 0) {
      throw std::runtime_error("cannot become the user nobody");
    }
  }
  ~AsUnprivilegedUser() {
    if (root_ && (::seteuid(0) != 0 || ::setegid(0) != 0)) std::terminate();
  }
  AsUnprivilegedUser(const AsUnprivilegedUser&) = delete;
  AsUnprivilegedUser& operator=(const AsUnprivilegedUser&) = delete;

  // Gives `path` to the unprivileged user when the tests run as root, so that its own mode bits
  // (not the folders above it, made private by mkdtemp) decide what that user may do.
  static void Reachable(const std::string& path) {
    if (::geteuid() != 0) return;
    if (::chown(path.c_str(), Nobody().uid, Nobody().gid) != 0) {
      throw std::runtime_error("cannot give " + path + " to the user nobody");
    }
  }

 private:
  struct Ids {
    uid_t uid;
    gid_t gid;
  };
  static Ids Nobody() {
    const passwd* user = ::getpwnam("nobody");
    if (user == nullptr) throw std::runtime_error("there is no user nobody");
    return {user->pw_uid, user->pw_gid};
  }
  bool root_;
};

}  // namespace quildor
