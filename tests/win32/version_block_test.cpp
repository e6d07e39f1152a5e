// The built Quildor.scr carries the designed version block and icon.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

std::wstring StringValue(const std::vector<BYTE>& info, const wchar_t* name) {
  wchar_t* value = nullptr;
  UINT length = 0;
  const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
  if (!VerQueryValueW(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) {
    return L"<missing>";
  }
  return std::wstring(value, length > 0 ? length - 1 : 0);
}

TEST(VersionBlock, HoldsExactlyTheDesignedEntries) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(QUILDOR_SCR_NAME, &handle);
  ASSERT_GT(size, 0u) << "no version block in Quildor.scr";
  std::vector<BYTE> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(QUILDOR_SCR_NAME, 0, size, info.data()));

  EXPECT_EQ(StringValue(info, L"FileVersion"), L"1.00");
  EXPECT_EQ(StringValue(info, L"ProductVersion"), L"1.00");
  EXPECT_EQ(StringValue(info, L"ProductName"), L"SCRNSAVE: The Quildor Anthology");
  EXPECT_EQ(StringValue(info, L"InternalName"), L"Quildor");
  EXPECT_EQ(StringValue(info, L"OriginalFilename"), L"Quildor.scr");
  EXPECT_EQ(StringValue(info, L"CompanyName"), L"Kelmarion");
  EXPECT_EQ(StringValue(info, L"FileDescription"), L"<missing>");
  EXPECT_EQ(StringValue(info, L"LegalCopyright"), L"<missing>");

  struct Translation {
    WORD language, code_page;
  }* translations = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translations), &length));
  ASSERT_EQ(length, sizeof(Translation)) << "one string table only";
  EXPECT_EQ(translations[0].language, 0x0409);
  EXPECT_EQ(translations[0].code_page, 1200);

  VS_FIXEDFILEINFO* fixed = nullptr;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
}

#pragma pack(push, 2)
struct IconGroupEntry {
  BYTE width, height, colors, reserved;
  WORD planes, bit_count;
  DWORD bytes;
  WORD id;
};
struct IconGroup {
  WORD reserved, type, count;
  IconGroupEntry entries[1];
};
#pragma pack(pop)

TEST(Icon, IsOne32By32SixteenColourImage) {
  HMODULE scr = LoadLibraryExW(QUILDOR_SCR_NAME, nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(scr, nullptr);
  HRSRC group = FindResourceW(scr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14) /*RT_GROUP_ICON*/);
  ASSERT_NE(group, nullptr);
  const auto* g = static_cast<const IconGroup*>(LockResource(LoadResource(scr, group)));
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->count, 1);
  EXPECT_EQ(g->entries[0].width, 32);
  EXPECT_EQ(g->entries[0].height, 32);
  EXPECT_EQ(g->entries[0].colors, 16);
  EXPECT_EQ(g->entries[0].bit_count, 4);
  // The image itself: a 4-bit DIB with its 16-colour palette, its pixels and its mask.
  EXPECT_EQ(g->entries[0].bytes, 40u + 64u + 512u + 128u);
  FreeLibrary(scr);
}

}  // namespace
