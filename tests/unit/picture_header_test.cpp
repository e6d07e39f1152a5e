// The size a picture file declares, read from its header alone; the loaders' shared rules on it.
#include "forms/picture_header.h"

#include <gtest/gtest.h>

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
