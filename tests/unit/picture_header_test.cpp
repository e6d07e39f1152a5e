// The size a picture file declares, read from its header alone; the loaders' shared rules on it.
#include "forms/picture_header.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "forms/run_time_error.h"

namespace quildor::forms {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::optional<DeclaredSize> Read(const Bytes& b) { return ReadDeclaredSize(b.data(), b.size()); }

TEST(DeclaredSize, JpegFrameHeaderAfterOtherSegments) {
  Bytes jpeg = {0xFF, 0xD8,                                  // SOI
                0xFF, 0xE0, 0x00, 0x06, 'J', 'F', 'I', 'F',  // APP0, 4 bytes of body
                0xFF, 0xFF,                                  // a fill byte
                0xFF, 0xC4, 0x00, 0x03, 0x00,                // DHT is no frame header
                0xFF, 0xC2, 0x00, 0x11, 0x08,                // SOF2 (progressive)
                0x0F, 0xA0,                                  // height 4000
                0x17, 0x70};                                 // width 6000
  const auto s = Read(jpeg);
  ASSERT_TRUE(s.has_value());
  EXPECT_EQ(s->format, DeclaredSize::Format::Jpeg);
  EXPECT_EQ(s->width, 6000u);
  EXPECT_EQ(s->height, 4000u);
  EXPECT_TRUE(s->progressive);
  EXPECT_TRUE(AcceptableSize(*s));
  jpeg.resize(20);
  EXPECT_FALSE(Read(jpeg).has_value()) << "the frame header is cut off";
}

// A JPEG with an Exif block holding `orientation` (as a SHORT, in the byte order asked for) ahead
// of its frame header, as cameras write it.
Bytes CameraJpeg(int orientation, bool little_endian) {
  Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
  jpeg.reserve(128);
  const auto put = [&](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      const int shift = 8 * (little_endian ? i : bytes - 1 - i);
      jpeg.push_back(static_cast<std::uint8_t>(v >> shift));
    }
  };
  jpeg.push_back(little_endian ? 'I' : 'M'), jpeg.push_back(little_endian ? 'I' : 'M');
  put(42, 2), put(8, 4);                                  // IFD0 right after the header
  put(2, 2);                                              // two entries:
  put(0x010F, 2), put(2, 2), put(4, 4), put(0, 4);        //   the maker, ASCII, elsewhere
  put(0x0112, 2), put(3, 2), put(1, 4);                   //   the orientation, one SHORT
  put(static_cast<std::uint32_t>(orientation), 2), put(0, 2);
  const std::size_t length = jpeg.size() - 4;
  jpeg[4] = std::uint8_t(length >> 8), jpeg[5] = std::uint8_t(length);
  for (std::uint8_t b : {0xFF, 0xC0, 0x00, 0x11, 0x08, 0x0F, 0xA0, 0x17, 0x70}) jpeg.push_back(b);
  return jpeg;
}

TEST(DeclaredSize, TheExifOrientationOfACameraJpeg) {
  for (bool little : {true, false}) {
    for (int o = 1; o <= 8; ++o) {
      const auto s = Read(CameraJpeg(o, little));
      ASSERT_TRUE(s.has_value());
      EXPECT_EQ(s->orientation, o) << (little ? "II" : "MM");
      EXPECT_EQ(s->width, 6000u) << "the stored size, before the turn";
    }
  }
  EXPECT_EQ(Read(CameraJpeg(9, true))->orientation, 1) << "out of range";
  EXPECT_EQ(Read(CameraJpeg(0, false))->orientation, 1) << "out of range";
  Bytes broken = CameraJpeg(6, true);
  broken[12 + 4] = 0xF0;   // IFD0 far beyond the block
  EXPECT_EQ(Read(broken)->orientation, 1);
}

// The eight turns, each checked on a 3 x 2 stored picture whose pixels are numbered: the upright
// picture read row by row, as a photo viewer shows it.
TEST(Turn, EachOrientationStandsThePictureUpright) {
  // Stored:  0 1 2
  //          3 4 5
  const std::vector<std::vector<int>> upright = {
      {},
      {0, 1, 2, 3, 4, 5},   // 1: as stored
      {2, 1, 0, 5, 4, 3},   // 2: mirrored
      {5, 4, 3, 2, 1, 0},   // 3: half a turn
      {3, 4, 5, 0, 1, 2},   // 4: upside down
      {0, 3, 1, 4, 2, 5},   // 5: transposed (2 x 3)
      {3, 0, 4, 1, 5, 2},   // 6: a quarter turn clockwise
      {5, 2, 4, 1, 3, 0},   // 7: transversed
      {2, 5, 1, 4, 0, 3},   // 8: a quarter turn anticlockwise
  };
  for (int o = 1; o <= 8; ++o) {
    const Turn turn{o, 3, 2};
    const int width = SwapsAxes(o) ? 2 : 3, height = SwapsAxes(o) ? 3 : 2;
    std::vector<int> seen;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) seen.push_back(turn.StoredY(x, y) * 3 + turn.StoredX(x, y));
    }
    EXPECT_EQ(seen, upright[o]) << "orientation " << o;
  }
}

// A JPEG's ICC profile in numbered APP2 chunks, which may come in any order.
TEST(JpegIccProfile, JoinsTheChunksInTheirOrder) {
  const auto chunk = [](std::uint8_t number, std::uint8_t count, const std::string& part) {
    Bytes b = {0xFF, 0xE2, 0, 0};
    const std::string tag("ICC_PROFILE\0", 12);
    b.insert(b.end(), tag.begin(), tag.end());
    b.push_back(number), b.push_back(count);
    b.insert(b.end(), part.begin(), part.end());
    b[3] = static_cast<std::uint8_t>(b.size() - 2);
    return b;
  };
  const auto jpeg = [](std::initializer_list<Bytes> segments) {
    Bytes b = {0xFF, 0xD8};
    for (const Bytes& s : segments) b.insert(b.end(), s.begin(), s.end());
    for (std::uint8_t x : {0xFF, 0xDA, 0x00, 0x02}) b.push_back(x);
    return b;
  };
  const auto profile = [](const Bytes& b) {
    const auto p = JpegIccProfile(b.data(), b.size());
    return std::string(p.begin(), p.end());
  };
  EXPECT_EQ(profile(jpeg({chunk(1, 2, "first "), chunk(2, 2, "second")})), "first second");
  EXPECT_EQ(profile(jpeg({chunk(2, 2, "second"), chunk(1, 2, "first ")})), "first second");
  EXPECT_EQ(profile(jpeg({chunk(1, 2, "first ")})), "") << "a chunk missing";
  EXPECT_EQ(profile(jpeg({chunk(1, 1, "a"), chunk(1, 1, "b")})), "") << "a chunk twice";
  EXPECT_EQ(profile(jpeg({})), "");
}

// GIF and BMP files whose decoders would show a cut-off picture without a word.
TEST(CutShort, GifAndBmpThatEndBeforeTheirFirstPicture) {
  // A 2 x 1 GIF: header, screen with a two-colour table, a graphic control extension, the image
  // with its LZW data in one sub-block, the trailer.
  const Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 1, 0, 0x80, 0, 0,
                     0, 0, 0, 255, 255, 255,
                     0x21, 0xF9, 4, 0, 0, 0, 0, 0,
                     0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0,
                     2, 2, 0x44, 0x01, 0,
                     0x3B};
  // A 2 x 2 24-bit BMP: rows of 8 bytes (6 padded to 4) from offset 54.
  Bytes bmp(54 + 16, 0);
  bmp[0] = 'B', bmp[1] = 'M', bmp[10] = 54, bmp[14] = 40, bmp[18] = 2, bmp[22] = 2, bmp[26] = 1;
  bmp[28] = 24;
  for (const Bytes& whole : {gif, bmp}) {
    const auto s = Read(whole);
    ASSERT_TRUE(s.has_value());
    EXPECT_FALSE(CutShort(*s, whole.data(), whole.size()));
    const std::size_t cut = whole.size() - 3;
    EXPECT_TRUE(CutShort(*s, whole.data(), cut)) << "ends " << cut;
  }
  EXPECT_FALSE(CutShort(*Read(gif), gif.data(), gif.size() - 1))
      << "only the trailer missing: the first picture is whole";
}

TEST(DeclaredSize, PngGifAndBmp) {
  const Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                     0, 0, 0xEA, 0x60, 0, 0, 0xEA, 0x60};
  const auto p = Read(png);
  ASSERT_TRUE(p.has_value());
  EXPECT_EQ(p->width, 60000u);
  EXPECT_FALSE(AcceptableSize(*p));

  const Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 0x40, 0x01, 0xF0, 0x00};
  const auto g = Read(gif);
  ASSERT_TRUE(g.has_value());
  EXPECT_EQ(g->width, 320u);
  EXPECT_EQ(g->height, 240u);

  Bytes bmp(54, 0);
  bmp[0] = 'B';
  bmp[1] = 'M';
  bmp[14] = 40;
  bmp[18] = 0x25;   // width 293
  bmp[19] = 0x01;
  bmp[22] = 0x8D;   // height -115 (top-down)
  bmp[23] = 0xFF;
  bmp[24] = 0xFF;
  bmp[25] = 0xFF;
  const auto b = Read(bmp);
  ASSERT_TRUE(b.has_value());
  EXPECT_EQ(b->width, 293u);
  EXPECT_EQ(b->height, 115u);
}

TEST(DeclaredSize, LimitsDependOnHowTheFormatIsDecoded) {
  EXPECT_TRUE(AcceptableSize({DeclaredSize::Format::Jpeg, 20000, 20000}));
  EXPECT_FALSE(AcceptableSize({DeclaredSize::Format::Jpeg, 60000, 60000}));
  EXPECT_TRUE(AcceptableSize({DeclaredSize::Format::Jpeg, 6000, 4000, true}));
  EXPECT_FALSE(AcceptableSize({DeclaredSize::Format::Jpeg, 8000, 8000, true}));
  EXPECT_TRUE(AcceptableSize({DeclaredSize::Format::Png, 6000, 4000}));
  EXPECT_FALSE(AcceptableSize({DeclaredSize::Format::Png, 10000, 10000}));
  EXPECT_FALSE(AcceptableSize({DeclaredSize::Format::Gif, 0, 10}));
  EXPECT_FALSE(Read(Bytes{'x', 'y'}).has_value());
  EXPECT_FALSE(Read(Bytes{}).has_value());
}

TEST(DeclaredSize, ARefusalNamesTheFileAndSaysWhy) {
  const struct {
    DeclaredSize size;
    const char* message;   // empty: accepted
  } cases[] = {
      {{DeclaredSize::Format::Jpeg, 6000, 4000}, ""},
      {{DeclaredSize::Format::Gif, 0, 10}, "A.GIF is not a picture: it declares no size"},
      {{DeclaredSize::Format::Jpeg, 8000, 8000, true},
       "A.GIF is too large a picture: 8000 x 8000 pixels, where a progressive JPEG may have 30 "
       "million at most"},
      {{DeclaredSize::Format::Png, 10000, 10000},
       "A.GIF is too large a picture: 10000 x 10000 pixels, where a picture decoded at full size "
       "may have 40 million at most"},
  };
  for (const auto& c : cases) {
    std::string what;
    try {
      CheckDeclaredSize(c.size, "A.GIF");
    } catch (const RunTimeError& e) {
      what = e.what();
    }
    EXPECT_EQ(what, c.message);
  }
}

TEST(DecodedSize, LargerEitherWayIsTheControlsSizeSmallerItsOwn) {
  const struct {
    PixelSize own, control, shown;
  } cases[] = {
      {{3000, 2000}, {777, 473}, {777, 473}},   // larger both ways
      {{776, 496}, {777, 473}, {777, 473}},     // taller only: still resampled once, here
      {{800, 400}, {777, 473}, {777, 473}},     // wider only
      {{777, 473}, {777, 473}, {777, 473}},     // exactly the control's size
      {{64, 48}, {777, 473}, {64, 48}},         // smaller: the view stretches it
      {{3000, 2000}, {0, 0}, {3000, 2000}},     // no control size: its own
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodedSize(c.own, c.control), c.shown)
        << c.own.width << " x " << c.own.height << " for " << c.control.width;
  }
}

}  // namespace
}  // namespace quildor::forms
