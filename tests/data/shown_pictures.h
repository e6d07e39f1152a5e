// The pictures of this folder as a photo viewer shows them, for both loaders' tests: the colours
// (0xRRGGBB) at the four corners of the 64 x 48 upright picture, sampled at (12, 10), (52, 10),
// (12, 38) and (52, 38). The red | blue picture in every kind; one camera JPEG per EXIF
// orientation (upright: a red top-left quarter, blue elsewhere); Adobe RGB pictures, converted
// to sRGB; a transparent PNG, composed over black.
#pragma once

#include <cstdint>

namespace quildor::test {

struct ShownPicture {
  const char* name;
  std::uint32_t top_left, top_right, bottom_left, bottom_right;
};

inline constexpr int kShownCorners[4][2] = {{12, 10}, {52, 10}, {12, 38}, {52, 38}};
inline constexpr std::uint32_t kRed = 0xFF0000, kBlue = 0x0000FF, kBlack = 0x000000;
inline constexpr std::uint32_t kAdobeInSrgb = 0x004FCD;   // rgb(40,80,200) in Adobe RGB (1998)
inline constexpr std::uint32_t kGrayRed = 0x363636, kGrayBlue = 0x121212;   // their luma
inline constexpr std::uint32_t kHalfBlue = 0x000080;

inline constexpr ShownPicture kShownPictures[] = {
    {"baseline.jpg", kRed, kBlue, kRed, kBlue},
    {"progressive.jpg", kRed, kBlue, kRed, kBlue},
    {"gray.jpg", kGrayRed, kGrayBlue, kGrayRed, kGrayBlue},
    {"cmyk.jpg", kRed, kBlue, kRed, kBlue},
    {"picture.png", kRed, kBlue, kRed, kBlue},
    {"picture16.png", kRed, kBlue, kRed, kBlue},
    {"palette.png", kRed, kBlue, kRed, kBlue},
    {"picture.bmp", kRed, kBlue, kRed, kBlue},
    {"palette.bmp", kRed, kBlue, kRed, kBlue},
    {"animated.gif", kRed, kBlue, kRed, kBlue},   // the first frame, not the green one
    {"orientation1.jpg", kRed, kBlue, kBlue, kBlue},
    {"orientation2.jpg", kRed, kBlue, kBlue, kBlue},
    {"orientation3.jpg", kRed, kBlue, kBlue, kBlue},
    {"orientation4.jpg", kRed, kBlue, kBlue, kBlue},
    {"orientation5.jpg", kRed, kBlue, kBlue, kBlue},
    {"orientation6.jpg", kRed, kBlue, kBlue, kBlue},
    {"orientation7.jpg", kRed, kBlue, kBlue, kBlue},
    {"orientation8.jpg", kRed, kBlue, kBlue, kBlue},
    {"adobergb.jpg", kAdobeInSrgb, kAdobeInSrgb, kAdobeInSrgb, kAdobeInSrgb},
    {"adobergb.png", kAdobeInSrgb, kAdobeInSrgb, kAdobeInSrgb, kAdobeInSrgb},
    {"transparent.png", kBlack, kHalfBlue, kBlack, kHalfBlue},
};

// Whether two colours are the same to within what JPEG coding and colour conversion change.
inline bool NearColour(std::uint32_t a, std::uint32_t b) {
  for (int shift : {16, 8, 0}) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (d > 14 || d < -14) return false;
  }
  return true;
}

}  // namespace quildor::test
