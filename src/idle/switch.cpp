#include "idle/switch.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace quildor::idle {

namespace {

std::string Env(const char* name, const std::string& otherwise) {
  const char* value = std::getenv(name);
  return value && *value ? value : otherwise;
}

std::string Home() { return Env("HOME", "."); }

std::string EntryPath() {
  return Env("XDG_CONFIG_HOME", Home() + "/.config") + "/autostart/quildor-idle.desktop";
}

std::string LockPath() {
  const std::string runtime = Env("XDG_RUNTIME_DIR", "");
  const std::string dir = !runtime.empty() ? runtime : Env("XDG_CACHE_HOME", Home() + "/.cache");
  return dir + "/quildor-idle.lock";
}

// The process number written in the lock while a watcher holds it, else 0.
long RunningWatcher() {
  const int fd = ::open(LockPath().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return 0;
  long pid = 0;
  if (::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    char text[32] = {};
    if (::read(fd, text, sizeof text - 1) > 0) pid = std::strtol(text, nullptr, 10);
    if (pid <= 0) pid = -1;   // held, by a watcher that has not written its number yet
  }
  ::close(fd);
  return pid;
}

// Writes the entry whole: a new file put in the old one's place, so that a desktop reading it at
// login never sees half of it.
bool WriteEntry(const std::string& text) {
  const std::string path = EntryPath();
  const std::string dir = path.substr(0, path.rfind('/'));
  const std::string parent = dir.substr(0, dir.rfind('/'));
  ::mkdir(parent.c_str(), 0700);
  ::mkdir(dir.c_str(), 0700);
  const std::string temporary = path + ".new";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
      std::fprintf(stderr, "quildor-idle: cannot write %s: %s\n", temporary.c_str(),
                   std::strerror(errno));
      ::unlink(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::fprintf(stderr, "quildor-idle: cannot write %s: %s\n", path.c_str(),
                 std::strerror(errno));
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

std::string Entry(long seconds, const std::string& self, bool on) {
  std::ostringstream text;
  text << "[Desktop Entry]\n"
          "Type=Application\n"
          "Name=Quildor After Idle\n"
          "Comment=Starts the Quildor slide show after "
       << seconds
       << " seconds without input\n"
          "Exec="
       << self << " " << seconds
       << "\n"
          "Icon=quildor\n"
          "Terminal=false\n"
          "NoDisplay=true\n"
          "X-GNOME-Autostart-enabled="
       << (on ? "true" : "false") << "\nHidden=" << (on ? "false" : "true") << "\n";
  return text.str();
}

// Whether the entry that counts is on, and its idle time (0 when it names none): the user's, else
// the first of the system's configuration folders that has one (as desktops read them).
bool EntryOn(long* seconds, std::string* where) {
  std::ifstream in(EntryPath());
  *where = EntryPath();
  std::stringstream dirs(Env("XDG_CONFIG_DIRS", "/etc/xdg"));
  for (std::string dir; !in && std::getline(dirs, dir, ':');) {
    *where = dir + "/autostart/quildor-idle.desktop";
    in.open(*where);
  }
  if (!in) return false;
  bool hidden = false;
  *seconds = 0;
  for (std::string line; std::getline(in, line);) {
    if (line == "Hidden=true") hidden = true;
    if (line.rfind("Exec=", 0) == 0) {
      const std::size_t blank = line.rfind(' ');
      if (blank != std::string::npos) *seconds = std::strtol(line.c_str() + blank + 1, nullptr, 10);
    }
  }
  return !hidden;
}

// Ends the watcher that runs, waiting up to five seconds for its lock to be free.
bool EndWatcher() {
  const long pid = RunningWatcher();
  if (pid <= 0) return pid == 0;
  ::kill(static_cast<pid_t>(pid), SIGTERM);
  for (int i = 0; i < 100 && RunningWatcher() != 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (RunningWatcher() != 0) {
    std::fprintf(stderr, "quildor-idle: the watcher (process %ld) did not end\n", pid);
    return false;
  }
  return true;
}

}  // namespace

bool TakeWatcherLock(long* owner) {
  *owner = 0;
  const std::string path = LockPath();
  ::mkdir(path.substr(0, path.rfind('/')).c_str(), 0700);   // ~/.cache, where no runtime folder
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0 && errno != ELOOP) {
    std::fprintf(stderr, "quildor-idle: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  struct stat st{};
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
    std::fprintf(stderr, "quildor-idle: %s is not a file of this user's own; remove it\n",
                 path.c_str());
    if (fd >= 0) ::close(fd);
    return false;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    *owner = RunningWatcher();
    return false;
  }
  // Held for the life of the process (the descriptor stays open; the kernel lets go at its end).
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd, 0) != 0 || ::write(fd, pid.data(), pid.size()) < 0) {
    std::fprintf(stderr, "quildor-idle: cannot write %s: %s\n", path.c_str(),
                 std::strerror(errno));
  }
  return true;
}

int Enable(long seconds, const std::string& self) {
  if (!WriteEntry(Entry(seconds, self, true))) return 1;
  // A watcher with another idle time gives way to one with this.
  if (!EndWatcher()) return 1;
  const pid_t child = ::fork();
  if (child == 0) {
    // A session of its own, detached from the caller's terminal and pipes, which must not wait
    // for it.
    ::setsid();
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, 0);
      ::dup2(null, 1);
      ::dup2(null, 2);
      if (null > 2) ::close(null);
    }
    const std::string arg = std::to_string(seconds);
    ::execl(self.c_str(), self.c_str(), arg.c_str(), static_cast<char*>(nullptr));
    std::_Exit(127);
  }
  if (child < 0) {
    std::perror("quildor-idle: cannot start the watcher");
    return 1;
  }
  std::printf("quildor-idle: on: the slide show starts after %ld s without input, from now and "
              "at each login (%s)\n",
              seconds, EntryPath().c_str());
  return 0;
}

int Disable() {
  if (!WriteEntry(Entry(300, "quildor-idle", false))) return 1;
  if (!EndWatcher()) return 1;
  std::printf("quildor-idle: off: no slide show after idle, now or at login (%s)\n",
              EntryPath().c_str());
  return 0;
}

int Status() {
  long seconds = 0;
  std::string where;
  if (EntryOn(&seconds, &where)) {
    std::printf("at login: on, after %ld s without input (%s)\n", seconds, where.c_str());
  } else {
    std::printf("at login: off\n");
  }
  const long pid = RunningWatcher();
  if (pid > 0) {
    std::printf("now: watching (process %ld)\n", pid);
  } else if (pid < 0) {
    std::printf("now: watching\n");
  } else {
    std::printf("now: not watching\n");
  }
  return 0;
}

}  // namespace quildor::idle
