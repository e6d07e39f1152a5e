#include "forms/picture_header.h"

#include "forms/run_time_error.h"

namespace quildor::forms {

namespace {

std::uint32_t Be16(const std::uint8_t* p) { return (std::uint32_t{p[0]} << 8) | p[1]; }
std::uint32_t Be32(const std::uint8_t* p) { return (Be16(p) << 16) | Be16(p + 2); }
std::uint32_t Le16(const std::uint8_t* p) { return (std::uint32_t{p[1]} << 8) | p[0]; }
std::uint32_t Le32(const std::uint8_t* p) { return (Le16(p + 2) << 16) | Le16(p); }

std::optional<DeclaredSize> Jpeg(const std::uint8_t* d, std::size_t n) {
  std::size_t pos = 2;   // after SOI
  while (pos + 4 <= n) {
    if (d[pos] != 0xFF) return std::nullopt;
    const std::uint8_t marker = d[pos + 1];
    if (marker == 0xFF) {   // fill byte
      ++pos;
      continue;
    }
    if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
      pos += 2;   // markers without a length
      continue;
    }
    const std::uint32_t length = Be16(d + pos + 2);
    if (length < 2) return std::nullopt;
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                       marker != 0xCC;
    if (frame) {
      if (pos + 9 > n) return std::nullopt;
      const bool progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
      return DeclaredSize{DeclaredSize::Format::Jpeg, Be16(d + pos + 7), Be16(d + pos + 5),
                          progressive};
    }
    if (marker == 0xDA || marker == 0xD9) return std::nullopt;   // scan data before any frame
    pos += 2 + length;
  }
  return std::nullopt;
}

}  // namespace

std::optional<DeclaredSize> ReadDeclaredSize(const std::uint8_t* d, std::size_t n) {
  if (n >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF) return Jpeg(d, n);
  if (n >= 24 && d[0] == 0x89 && d[1] == 'P' && d[2] == 'N' && d[3] == 'G' && d[12] == 'I' &&
      d[13] == 'H' && d[14] == 'D' && d[15] == 'R') {
    return DeclaredSize{DeclaredSize::Format::Png, Be32(d + 16), Be32(d + 20)};
  }
  if (n >= 10 && d[0] == 'G' && d[1] == 'I' && d[2] == 'F' && d[3] == '8') {
    return DeclaredSize{DeclaredSize::Format::Gif, Le16(d + 6), Le16(d + 8)};
  }
  if (n >= 26 && d[0] == 'B' && d[1] == 'M') {
    const std::uint32_t header = Le32(d + 14);
    if (header == 12) return DeclaredSize{DeclaredSize::Format::Bmp, Le16(d + 18), Le16(d + 20)};
    const auto height = static_cast<std::int32_t>(Le32(d + 22));
    return DeclaredSize{DeclaredSize::Format::Bmp, Le32(d + 18),
                        static_cast<std::uint64_t>(height < 0 ? -std::int64_t{height} : height)};
  }
  return std::nullopt;
}

namespace {

std::uint64_t PixelLimit(const DeclaredSize& s) {
  return s.format != DeclaredSize::Format::Jpeg ? 40'000'000ULL
         : s.progressive                        ? 30'000'000ULL
                                                : 400'000'000ULL;
}

}  // namespace

bool AcceptableSize(const DeclaredSize& s) {
  return s.width > 0 && s.height > 0 && s.width * s.height <= PixelLimit(s);
}

void CheckDeclaredSize(const DeclaredSize& s, const std::string& name) {
  if (AcceptableSize(s)) return;
  if (s.width == 0 || s.height == 0) {
    throw RunTimeError(name + " is not a picture: it declares no size");
  }
  const char* kind = s.format != DeclaredSize::Format::Jpeg ? "a picture decoded at full size"
                     : s.progressive                        ? "a progressive JPEG"
                                                            : "a JPEG";
  throw RunTimeError(name + " is too large a picture: " + std::to_string(s.width) + " x " +
                     std::to_string(s.height) + " pixels, where " + kind + " may have " +
                     std::to_string(PixelLimit(s) / 1'000'000) + " million at most");
}

PixelSize DecodedSize(PixelSize own, PixelSize control) {
  if (control.width <= 0 || control.height <= 0) return own;
  if (own.width > control.width || own.height > control.height) return control;
  return own;
}

}  // namespace quildor::forms
