// The Windows file enumeration and picture loader (FindFirstFileW/FindNextFileW, WIC) on a real
// folder.
#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "../data/shown_pictures.h"
#include "forms/run_time_error.h"
#include "platform/win32/win32_pictures.h"
#include "platform/win32/win32_platform.h"

namespace quildor {
namespace {

using win32::Narrow;
using win32::Widen;

class Win32Folder : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    root = std::wstring(temp) + L"quildor-files-" + std::to_wstring(GetCurrentProcessId());
    dir = root + L"\\QUILDORS\\";
    CreateDirectoryW(root.c_str(), nullptr);
    CreateDirectoryW(dir.c_str(), nullptr);
  }
  void TearDown() override { RemoveTree(root); }
  // Deletes a folder of this test and everything in it, long paths included. (The shell's own
  // recursive delete is not used: under Wine it mishandles paths longer than MAX_PATH.)
  static void RemoveTree(const std::wstring& folder) {
    ASSERT_NE(folder.find(L"quildor-files-"), std::wstring::npos);
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(win32::LongPath(folder + L"\\*").c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveTree(path);
        } else {
          SetFileAttributesW(win32::LongPath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
          DeleteFileW(win32::LongPath(path).c_str());
        }
      } while (FindNextFileW(h, &data));
      FindClose(h);
    }
    RemoveDirectoryW(win32::LongPath(folder).c_str());
  }
  void Touch(const std::wstring& name, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    HANDLE h = CreateFileW((dir + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written;
    WriteFile(h, "x", 1, &written, nullptr);
    CloseHandle(h);
    SetFileAttributesW((dir + name).c_str(), attributes);
  }
  std::set<std::string> All() {
    std::set<std::string> names;
    for (std::string n = platform.DirStart(Narrow(dir) + "*.*"); !n.empty(); n = platform.DirNext()) {
      names.insert(n);
    }
    return names;
  }

  std::wstring root, dir;
  win32::Win32Platform platform{GetModuleHandleW(nullptr), ""};
};

TEST_F(Win32Folder, ListsOrdinaryFilesOnly) {
  Touch(L"MA0001.JPG");
  Touch(L"NODOT");
  Touch(L"55 coupé.jpg");
  Touch(L"HIDDEN.JPG", FILE_ATTRIBUTE_HIDDEN);
  Touch(L"SYSTEM.JPG", FILE_ATTRIBUTE_SYSTEM);
  Touch(L"READONLY.JPG", FILE_ATTRIBUTE_READONLY);
  CreateDirectoryW((dir + L"SUBFOLDER").c_str(), nullptr);
  CreateDirectoryW((dir + L"FOLDER.JPG").c_str(), nullptr);
  EXPECT_EQ(All(), (std::set<std::string>{"MA0001.JPG", "NODOT", "55 coupé.jpg", "READONLY.JPG"}));
  SetFileAttributesW((dir + L"READONLY.JPG").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Win32Folder, EndsWithAnEmptyNameAndThenFails) {
  Touch(L"A");
  EXPECT_EQ(platform.DirStart(Narrow(dir) + "*.*"), "A");
  EXPECT_EQ(platform.DirNext(), "");
  EXPECT_THROW(platform.DirNext(), forms::RunTimeError);
  EXPECT_EQ(platform.DirStart(Narrow(dir) + "*.*"), "A");
}

TEST_F(Win32Folder, MissingOrEmptyFoldersHaveNoFiles) {
  EXPECT_EQ(platform.DirStart(Narrow(dir) + "*.*"), "");
  EXPECT_THROW(platform.DirNext(), forms::RunTimeError);
  EXPECT_EQ(platform.DirStart(Narrow(dir) + "NOT-THERE\\*.*"), "");
  EXPECT_EQ(platform.DirStart(Narrow(dir) + "NOT-THERE\\DEEPER\\*.*"), "");
  EXPECT_EQ(platform.DirStart(" *.*"), "");
}

TEST_F(Win32Folder, PathsLongerThanMaxPathWork) {
  std::wstring deep = dir;
  while (deep.size() < 300) {
    deep += L"a long folder name for the test\\";
    ASSERT_TRUE(CreateDirectoryW(win32::LongPath(deep).c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
  }
  const std::wstring picture = deep + L"MA0001.PNG";
  std::wstring source = Widen(std::string(QUILDOR_TEST_DATA) + "\\picture.png");
  ASSERT_TRUE(CopyFileW(source.c_str(), win32::LongPath(picture).c_str(), FALSE));
  // The same folder as a user may spell it: plainly, with "." and ".." segments, with forward
  // slashes, and relative to the current folder.
  const std::string folder = Narrow(deep);
  const std::string last = "a long folder name for the test\\";
  std::string slashes = folder;
  std::replace(slashes.begin(), slashes.end(), '\\', '/');
  wchar_t cwd[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, cwd);
  ASSERT_TRUE(SetCurrentDirectoryW(dir.c_str()));
  for (const std::string& spelt : {folder, folder + "..\\" + last + ".\\", slashes,
                                   folder.substr(Narrow(dir).size())}) {
    EXPECT_EQ(platform.DirStart(spelt + "*.*"), "MA0001.PNG") << spelt;
    EXPECT_EQ(platform.LoadPicture(spelt + "MA0001.PNG", 777, 473)->width, 64) << spelt;
  }
  SetCurrentDirectoryW(cwd);
}

// Every kind of picture shown, as a photo viewer shows it (the table is both loaders').
TEST(Win32Loader, ShowsEveryKindUprightInSrgbOverBlack) {
  win32::Win32Platform platform(GetModuleHandleW(nullptr), "");
  for (const test::ShownPicture& c : test::kShownPictures) {
    const forms::Picture p =
        platform.LoadPicture(std::string(QUILDOR_TEST_DATA) + "\\" + c.name, 777, 473);
    ASSERT_NE(p, nullptr) << c.name;
    EXPECT_EQ(p->width, 64) << c.name;
    EXPECT_EQ(p->height, 48) << c.name;
    HBITMAP bitmap = win32::BitmapOf(p);
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    GetObject(bitmap, sizeof info, &info);
    ASSERT_EQ(info.bmWidth, 64) << c.name;
    ASSERT_EQ(info.bmHeight, 48) << c.name;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const std::uint32_t expected[] = {c.top_left, c.top_right, c.bottom_left, c.bottom_right};
    for (int i = 0; i < 4; ++i) {
      const auto [x, y] = test::kShownCorners[i];
      const COLORREF pixel = GetPixel(dc, x, y);
      const std::uint32_t seen =
          (GetRValue(pixel) << 16) | (GetGValue(pixel) << 8) | GetBValue(pixel);
      EXPECT_TRUE(test::NearColour(seen, expected[i]))
          << c.name << " at " << x << "," << y << ": " << std::hex << seen << " for "
          << expected[i];
    }
    SelectObject(dc, old);
    DeleteDC(dc);
  }
}

TEST(Win32Loader, DecodesLargePicturesNoLargerThanNeeded) {
  win32::Win32Platform platform(GetModuleHandleW(nullptr), "");
  const forms::Picture p =
      platform.LoadPicture(std::string(QUILDOR_TEST_DATA) + "\\baseline.jpg", 32, 24);
  EXPECT_EQ(p->width, 64);
  BITMAP info{};
  GetObjectW(win32::BitmapOf(p), sizeof info, &info);
  EXPECT_EQ(info.bmWidth, 32);
  EXPECT_EQ(info.bmHeight, 24);
}

TEST(Win32Loader, PicturesLargerOneWayAreScaledOnceToTheWholeControl) {
  // 64 x 48 for a stretched control of 80 x 40: the control's exact size comes back, so the view
  // copies it without resampling it a second time.
  win32::Win32Platform platform(GetModuleHandleW(nullptr), "");
  for (const char* name : {"baseline.jpg", "picture.png"}) {
    const forms::Picture p =
        platform.LoadPicture(std::string(QUILDOR_TEST_DATA) + "\\" + name, 80, 40);
    EXPECT_EQ(p->width, 64) << name;
    BITMAP info{};
    GetObjectW(win32::BitmapOf(p), sizeof info, &info);
    EXPECT_EQ(info.bmWidth, 80) << name;
    EXPECT_EQ(info.bmHeight, 40) << name;
  }
}

TEST(Win32Loader, RefusesHostileFilesWithoutLargeAllocations) {
  win32::Win32Platform platform(GetModuleHandleW(nullptr), "");
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  // A 1 GB file named like a photograph, nothing but zeros (sparse where the disc allows).
  const std::wstring sparse = std::wstring(temp) + L"quildor-sparse.jpg";
  HANDLE h = CreateFileW(sparse.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size;
  size.QuadPart = 1LL << 30;
  SetFilePointerEx(h, size, nullptr, FILE_BEGIN);
  SetEndOfFile(h);
  CloseHandle(h);
  const std::string data = QUILDOR_TEST_DATA;
  for (const std::string& path : {data + "\\bomb.jpg", data + "\\bomb.png", data + "\\bomb.gif",
                                  data + "\\truncated.jpg", data + "\\truncated.png",
                                  data + "\\truncated.gif", data + "\\truncated.bmp",
                                  data + "\\empty.jpg", Narrow(sparse)}) {
    EXPECT_THROW(platform.LoadPicture(path, 777, 473), forms::RunTimeError) << path;
  }
  DeleteFileW(sparse.c_str());
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters));
  EXPECT_LT(counters.PeakWorkingSetSize / (1024 * 1024), 150u) << "peak working set in MB";
}

TEST(Win32Loader, RefusesWhatIsNotAPicture) {
  win32::Win32Platform platform(GetModuleHandleW(nullptr), "");
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  for (const std::string& path : {std::string(QUILDOR_TEST_DATA) + "\\text.jpg",
                                  std::string(QUILDOR_TEST_DATA), Narrow(temp),
                                  std::string(QUILDOR_TEST_DATA) + "\\MISSING.JPG",
                                  std::string(" "), std::string("")}) {
    EXPECT_THROW(platform.LoadPicture(path, 777, 473), forms::RunTimeError) << path;
  }
}

TEST(Win32CaseMapping, IsOneCharacterToOne) {
  win32::Win32Platform platform(GetModuleHandleW(nullptr), "");
  EXPECT_EQ(platform.ToUpper(U'a'), U'A');
  EXPECT_EQ(platform.ToUpper(U'é'), U'É');
  EXPECT_EQ(platform.ToLower(U'Ω'), U'ω');
  EXPECT_EQ(platform.ToUpper(U'1'), U'1');
}

}  // namespace
}  // namespace quildor
