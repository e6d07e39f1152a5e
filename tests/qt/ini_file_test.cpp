// The Linux settings store: the INI file's reading, updating and atomic writing, and the store
// as the program uses it (QtPlatform::ReadSetting / WriteSetting on a real file).
#include "platform/qt/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "forms/run_time_error.h"
#include "platform/qt/qt_platform.h"
#include "unprivileged.h"

namespace quildor {
namespace {

namespace fs = std::filesystem;

class TempConfig : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/quildor-ini-XXXXXX";
    dir = ::mkdtemp(tmpl);
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    path = qt::QtPlatform::SettingsPath(kApp);
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string Read(const std::string& key, const std::string& def = "<none>") {
    return platform.ReadSetting(kApp, "Settings", key, def);
  }
  void Write(const std::string& key, const std::string& value) {
    platform.WriteSetting(kApp, "Settings", key, value);
  }
  void WriteRaw(const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  std::string ReadRaw() { return ini::ReadFile(path).value_or("<missing>"); }

  const std::string kApp = "SCRNSAVE: The Quildor Anthology";
  fs::path dir;
  std::string path;
  qt::QtPlatform platform{""};
};

TEST_F(TempConfig, LivesUnderXdgConfigHome) {
  EXPECT_EQ(path, (dir / "config" / "SCRNSAVE: The Quildor Anthology.ini").string());
}

TEST_F(TempConfig, FreshUserReadsDefaultsAndCreatesNothing) {
  EXPECT_EQ(Read("Interval", "2"), "2");
  EXPECT_EQ(Read("QuildorsDir", " "), " ");
  EXPECT_FALSE(fs::exists(dir / "config"));
  WriteRaw("[Other]\nInterval=9\n");
  EXPECT_EQ(Read("Interval", "2"), "2");
  EXPECT_EQ(ReadRaw(), "[Other]\nInterval=9\n");
}

TEST_F(TempConfig, ValuesRoundTripExactly) {
  const std::vector<std::string> values = {
      " ", "  two  ", "", "a,b,c", "\"quoted\"", "say \"hi\"", "semi;colon", "x=y", "#hash",
      ";start", "C:\\QUILDORS\\", "\\\\server\\share\\", "Ünïcödé ✓ 日本", "tab\tinside",
      "line\nbreak", "cr\rlf", "\"", "trailing\\"};
  for (const auto& v : values) {
    Write("QuildorsDir", v);
    EXPECT_EQ(Read("QuildorsDir"), v) << "file:\n" << ReadRaw();
  }
  Write("Interval", "15");
  EXPECT_EQ(Read("Interval"), "15");
  EXPECT_EQ(Read("QuildorsDir"), "trailing\\");
}

TEST_F(TempConfig, HandWrittenFilesReadAsAPersonExpects) {
  WriteRaw(
      "\xEF\xBB\xBF; written by hand\r\n"
      "junk line without equals\r\n"
      "[settings]\r\n"
      "  QuildorsDir = /media/cdrom/QUILDORS/  \r\n"
      "# a comment\r\n"
      "interval=5\r\n"
      "[Other]\r\n"
      "Interval=99");
  EXPECT_EQ(Read("QuildorsDir"), "/media/cdrom/QUILDORS/");
  EXPECT_EQ(Read("Interval"), "5");

  Write("Interval", "10");
  const std::string after = ReadRaw();
  EXPECT_EQ(Read("Interval"), "10");
  EXPECT_EQ(Read("QuildorsDir"), "/media/cdrom/QUILDORS/");
  EXPECT_NE(after.find("; written by hand\r\n"), std::string::npos) << after;
  EXPECT_NE(after.find("Interval=99"), std::string::npos) << after;
  EXPECT_EQ(after.find("interval=5"), std::string::npos) << after;
}

TEST_F(TempConfig, BinaryGarbageIsReadWithoutHarm) {
  std::string junk;
  for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 7919) & 0xFF);
  WriteRaw(junk);
  EXPECT_EQ(Read("Interval", "2"), "2");
  Write("Interval", "3");
  EXPECT_EQ(Read("Interval"), "3");
}

TEST_F(TempConfig, WriteAddsTheSectionAndKeepsOthers) {
  WriteRaw("[Other]\nkeep=me\n");
  Write("Interval", "60");
  Write("QuildorsDir", "/cd/QUILDORS/");
  Write("Interval", "1");
  EXPECT_EQ(ReadRaw(), "[Other]\nkeep=me\n\n[Settings]\nInterval=1\nQuildorsDir=/cd/QUILDORS/\n");
}

TEST_F(TempConfig, WriteIsCompleteWhenTheProcessEndsAtOnce) {
  const pid_t child = ::fork();
  if (child == 0) {
    Write("Interval", "45");
    ::_exit(0);   // no destructors, no flushing: what is on disk is what the write left
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(Read("Interval"), "45");
  // No temporary file is left beside the store.
  int files = 0;
  for (const auto& e : fs::directory_iterator(fs::path(path).parent_path())) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 1);
}

// As a user who may not read or write them; root reads and writes everything.
TEST_F(TempConfig, AnUnreadableFileOrUnwritableFolderFailsClearlyAndKeepsTheOldFile) {
  WriteRaw("[Settings]\nInterval=5\n");
  AsUnprivilegedUser::Reachable(dir);
  const std::string folder = fs::path(path).parent_path();
  struct Case {
    const char* what;
    const std::string& chmod_path;
    mode_t mode;
    std::function<void()> call;
  };
  const Case cases[] = {
      {"read an unreadable file", path, 0, [&] { Read("Interval"); }},
      {"write into an unwritable folder", folder, 0555, [&] { Write("Interval", "10"); }},
  };
  for (const Case& c : cases) {
    ::chmod(c.chmod_path.c_str(), c.mode);
    {
      AsUnprivilegedUser user;
      try {
        c.call();
        ADD_FAILURE() << c.what << ": did not fail";
      } catch (const forms::RunTimeError& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos)
            << c.what << ": " << e.what();
      }
    }
    ::chmod(c.chmod_path.c_str(), c.mode == 0 ? 0600 : 0755);
    EXPECT_EQ(ReadRaw(), "[Settings]\nInterval=5\n") << c.what;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1)
      << "no temporary file is left";
}

TEST_F(TempConfig, SomethingInTheWayOfTheFileFailsTheWrite) {
  // A folder standing where the settings file goes stops the write for every user, root too.
  fs::create_directories(path);
  EXPECT_THROW(Write("Interval", "10"), forms::RunTimeError);
  EXPECT_TRUE(fs::is_directory(path));
  EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(path).parent_path()),
                          fs::directory_iterator()),
            1)
      << "no temporary file is left";
}

// A dotfile manager's link is written through and stays a link; the file keeps its mode; a
// file its user may not write is refused and left exactly as it was.
TEST_F(TempConfig, WritesKeepTheLinkTheModeAndAReadOnlyFile) {
  const fs::path managed = dir / "dotfiles" / "quildor.ini";
  fs::create_directories(managed.parent_path());
  std::ofstream(managed) << "[Settings]\nInterval=5\n";
  ::chmod(managed.c_str(), 0640);
  fs::create_directories(fs::path(path).parent_path());
  fs::create_symlink("../dotfiles/quildor.ini", path);

  Write("Interval", "10");
  EXPECT_TRUE(fs::is_symlink(path));
  EXPECT_EQ(ini::ReadFile(managed.string()).value_or(""), "[Settings]\nInterval=10\n");
  EXPECT_EQ(fs::status(managed).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  AsUnprivilegedUser::Reachable(dir);
  AsUnprivilegedUser::Reachable(managed.parent_path());
  AsUnprivilegedUser::Reachable(managed);
  ::chmod(managed.c_str(), 0444);
  {
    AsUnprivilegedUser user;
    try {
      Write("Interval", "20");
      ADD_FAILURE() << "a read-only settings file was replaced";
    } catch (const forms::RunTimeError& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
  }
  EXPECT_TRUE(fs::is_symlink(path));
  EXPECT_EQ(ini::ReadFile(managed.string()).value_or(""), "[Settings]\nInterval=10\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(managed.parent_path()),
                          fs::directory_iterator()),
            1)
      << "no temporary file is left";
}

}  // namespace
}  // namespace quildor
