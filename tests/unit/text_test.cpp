// Characters of text: UTF-8 decoded into code points, any byte sequence measurable.
#include "forms/text.h"

#include <gtest/gtest.h>

#include <string>

namespace quildor::forms {
namespace {

TEST(Text, DecodesAndEncodesEveryLength) {
  const std::string s = "A\xC3\xA9\xE2\x9C\x93\xF0\x9D\x90\x80";   // A é ✓ 𝐀
  const std::u32string chars = DecodeUtf8(s);
  EXPECT_EQ(chars, (std::u32string{U'A', 0xE9, 0x2713, 0x1D400}));
  EXPECT_EQ(EncodeUtf8(chars), s);
}

TEST(Text, EachInvalidByteIsOneReplacementCharacter) {
  EXPECT_EQ(DecodeUtf8("a\xFF" "b"), (std::u32string{U'a', 0xFFFD, U'b'}));
  EXPECT_EQ(DecodeUtf8("\xC3"), (std::u32string{0xFFFD}));               // cut short
  EXPECT_EQ(DecodeUtf8("\xC0\xAF"), (std::u32string{0xFFFD, 0xFFFD}));   // overlong '/'
  EXPECT_EQ(DecodeUtf8("\xED\xA0\x80").size(), 3u);                      // a surrogate
  EXPECT_EQ(DecodeUtf8("\xE2\x9C"), (std::u32string{0xFFFD, 0xFFFD}));
}

}  // namespace
}  // namespace quildor::forms
