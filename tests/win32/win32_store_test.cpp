// The Win32 backend's store and start under Wine: the registry store keeps every value as
// written and survives the process ending at once, reads create nothing; the instance mutex tells
// the second holder of a previous instance; the command line's arguments follow the program's
// path.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_registry.h"

namespace quildor {
namespace {

class RegistryStore : public ::testing::Test {
 protected:
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER,
                   (L"Software\\VB and VBA Program Settings\\" + app).c_str());
  }
  std::wstring app = L"Quildor store test";
};

TEST_F(RegistryStore, ValuesRoundTripAndReadsCreateNothing) {
  win32::Win32Platform platform(GetModuleHandleW(nullptr), "");
  const std::string a = win32::Narrow(app);
  EXPECT_EQ(platform.ReadSetting(a, "Settings", "Interval", "2"), "2");
  HKEY probe;
  EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, win32::SettingsKeyPath(app, L"Settings").c_str(), 0,
                          KEY_READ, &probe),
            ERROR_SUCCESS)
      << "a read must not create the key";
  for (const std::string v : {" ", "", "a,b;c=d#e", "\"q\"", "C:\\QUILDORS\\", "Ünïcödé ✓",
                              "  padded  "}) {
    platform.WriteSetting(a, "Settings", "QuildorsDir", v);
    EXPECT_EQ(platform.ReadSetting(a, "Settings", "QuildorsDir", "<none>"), v);
  }
  platform.WriteSetting(a, "Settings", "Interval", "60");
  platform.WriteSetting(a, "Settings", "Interval", "15");
  EXPECT_EQ(platform.ReadSetting(a, "Settings", "Interval", "2"), "15");
  EXPECT_EQ(platform.ReadSetting(a, "Settings", "QuildorsDir", "<none>"), "  padded  ");
}

// Numbers read as their text, an expandable string (as the collection's software or a person
// may store the photo folder) with its variables expanded, other types as missing.
TEST_F(RegistryStore, NumbersAndExpandableTextReadAsTextAndOtherTypesAsMissing) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, win32::SettingsKeyPath(app, L"Settings").c_str(),
                            0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const DWORD five = 5;
  RegSetValueExW(key, L"Interval", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&five), 4);
  const BYTE blob[3] = {1, 2, 3};
  RegSetValueExW(key, L"QuildorsDir", 0, REG_BINARY, blob, 3);
  const std::wstring folder = L"%QUILDOR_TEST_DRIVE%\\Photos\\QUILDORS\\";
  RegSetValueExW(key, L"Expandable", 0, REG_EXPAND_SZ,
                 reinterpret_cast<const BYTE*>(folder.c_str()),
                 static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  SetEnvironmentVariableW(L"QUILDOR_TEST_DRIVE", L"D:");
  EXPECT_EQ(win32::ReadRegistrySetting(app, L"Settings", L"Interval").value_or(L"?"), L"5");
  EXPECT_FALSE(win32::ReadRegistrySetting(app, L"Settings", L"QuildorsDir").has_value());
  EXPECT_EQ(win32::ReadRegistrySetting(app, L"Settings", L"Expandable").value_or(L"?"),
            L"D:\\Photos\\QUILDORS\\");
}

// Run by the test below in a process of its own: writes, then ends at once.
TEST(RegistryChild, WriteThenEndAtOnce) {
  if (!GetEnvironmentVariableW(L"QUILDOR_WRITE_AND_EXIT", nullptr, 0)) {
    GTEST_SKIP() << "runs only as the child of AWriteSurvivesTheProcessEndingAtOnce";
  }
  win32::Win32Platform platform(GetModuleHandleW(nullptr), "");
  platform.WriteSetting("Quildor store test", "Settings", "Interval", "45");
  platform.Exit(0);
}

TEST_F(RegistryStore, AWriteSurvivesTheProcessEndingAtOnce) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) +
                         L"\" --gtest_filter=RegistryChild.WriteThenEndAtOnce";
  SetEnvironmentVariableW(L"QUILDOR_WRITE_AND_EXIT", L"1");
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &si, &pi));
  SetEnvironmentVariableW(L"QUILDOR_WRITE_AND_EXIT", nullptr);
  ASSERT_EQ(WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(win32::ReadRegistrySetting(app, L"Settings", L"Interval").value_or(L"?"), L"45");
}

TEST(InstanceMutex, TheSecondHolderSeesAPreviousInstance) {
  win32::Win32Platform first(GetModuleHandleW(nullptr), "");
  win32::Win32Platform second(GetModuleHandleW(nullptr), "");
  EXPECT_FALSE(first.PrevInstance());
  EXPECT_TRUE(second.PrevInstance());
}

TEST(CommandLine, SkipsTheProgramPathAndOneSeparator) {
  EXPECT_EQ(win32::ArgumentsOf(L"\"C:\\Windows\\Quildor.scr\" /c:1234"), L"/c:1234");
  EXPECT_EQ(win32::ArgumentsOf(L"C:\\WINDOWS\\QUILDO~1.SCR /s"), L"/s");
  EXPECT_EQ(win32::ArgumentsOf(L"Quildor.scr  /c"), L" /c");
  EXPECT_EQ(win32::ArgumentsOf(L"\"Quildor.scr\""), L"");
  EXPECT_EQ(win32::ArgumentsOf(L"Quildor.scr"), L"");
  EXPECT_EQ(win32::ArgumentsOf(L"\"C:\\Program Files\\Q.scr\" /p 66048"), L"/p 66048");
}

}  // namespace
}  // namespace quildor
