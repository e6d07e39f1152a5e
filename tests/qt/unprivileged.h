// AsUnprivilegedUser: while the object lives, the process's files are opened with the rights of
// the user "nobody", so that a test of an unreadable or unwritable file means the same whoever
// runs the tests: a process allowed to change its user (root, who may also read and write every
// file) becomes "nobody" for the scope; a process that is not allowed is an ordinary user already,
// whose own file modes hold, and stays as it is. The files under test must be reachable by the
// user the case runs as: see Reachable().
#pragma once

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <stdexcept>
#include <string>

namespace quildor {

class AsUnprivilegedUser {
 public:
  AsUnprivilegedUser() : uid_(::geteuid()), gid_(::getegid()) {
    const Ids nobody = Nobody();
    if (::setegid(nobody.gid) != 0) return;   // not allowed: an ordinary user already
    if (::seteuid(nobody.uid) != 0) {
      if (::setegid(gid_) != 0) std::terminate();
      return;
    }
    switched_ = true;
  }
  ~AsUnprivilegedUser() {
    if (switched_ && (::seteuid(uid_) != 0 || ::setegid(gid_) != 0)) std::terminate();
  }
  AsUnprivilegedUser(const AsUnprivilegedUser&) = delete;
  AsUnprivilegedUser& operator=(const AsUnprivilegedUser&) = delete;

  // Gives `path` to "nobody" where this process may, so that its own mode bits (not the folders
  // above it, made private by mkdtemp) decide what the case's user may do; where it may not, the
  // case runs as the path's owner anyway.
  static void Reachable(const std::string& path) {
    if (::chown(path.c_str(), Nobody().uid, Nobody().gid) != 0 && errno != EPERM) {
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
  uid_t uid_;
  gid_t gid_;
  bool switched_ = false;
};

}  // namespace quildor
