#include "forms/picture_header.h"

#include <cstring>

#include "forms/run_time_error.h"

namespace quildor::forms {

namespace {

std::uint32_t Be16(const std::uint8_t* p) { return (std::uint32_t{p[0]} << 8) | p[1]; }
std::uint32_t Be32(const std::uint8_t* p) { return (Be16(p) << 16) | Be16(p + 2); }
std::uint32_t Le16(const std::uint8_t* p) { return (std::uint32_t{p[1]} << 8) | p[0]; }
std::uint32_t Le32(const std::uint8_t* p) { return (Le16(p + 2) << 16) | Le16(p); }

// The orientation tag (0x0112) of IFD0 in an Exif block's TIFF structure (`d`, `n` bytes from
// its byte-order mark), or 1 when there is none or the structure does not hold together.
int ExifOrientation(const std::uint8_t* d, std::size_t n) {
  if (n < 8) return 1;
  const bool little = d[0] == 'I' && d[1] == 'I';
  if (!little && !(d[0] == 'M' && d[1] == 'M')) return 1;
  const auto u16 = [&](std::size_t at) { return little ? Le16(d + at) : Be16(d + at); };
  const auto u32 = [&](std::size_t at) { return little ? Le32(d + at) : Be32(d + at); };
  if (u16(2) != 42) return 1;
  const std::size_t ifd = u32(4);
  if (ifd > n || n - ifd < 2) return 1;
  const std::size_t count = u16(ifd);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t entry = ifd + 2 + 12 * i;
    if (entry > n || n - entry < 12) return 1;
    if (u16(entry) != 0x0112) continue;
    if (u16(entry + 2) != 3 || u32(entry + 4) != 1) return 1;   // one SHORT
    const std::uint32_t value = u16(entry + 8);
    return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
  }
  return 1;
}

std::optional<DeclaredSize> Jpeg(const std::uint8_t* d, std::size_t n) {
  int orientation = 1;
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
                          progressive, orientation};
    }
    // The first Exif block (APP1, "Exif" and two zero bytes, then a TIFF structure) holds the
    // orientation; camera files put it ahead of the frame header.
    if (marker == 0xE1 && orientation == 1 && length >= 8 && pos + 2 + length <= n &&
        std::memcmp(d + pos + 4, "Exif\0\0", 6) == 0) {
      orientation = ExifOrientation(d + pos + 10, length - 8);
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

std::vector<std::uint8_t> JpegIccProfile(const std::uint8_t* d, std::size_t n) {
  if (n < 4 || d[0] != 0xFF || d[1] != 0xD8) return {};
  std::vector<std::vector<std::uint8_t>> chunks;
  std::size_t pos = 2;
  while (pos + 4 <= n && d[pos] == 0xFF) {
    const std::uint8_t marker = d[pos + 1];
    if (marker == 0xFF) {
      ++pos;
      continue;
    }
    if (marker == 0xDA || marker == 0xD9) break;   // the picture data: no more segments
    if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01 || marker == 0xD8) {
      pos += 2;
      continue;
    }
    const std::size_t length = Be16(d + pos + 2);
    if (length < 2 || pos + 2 + length > n) break;
    if (marker == 0xE2 && length >= 16 && std::memcmp(d + pos + 4, "ICC_PROFILE\0", 12) == 0) {
      const std::size_t number = d[pos + 16], count = d[pos + 17];
      if (count == 0 || number == 0 || number > count) return {};
      if (chunks.empty()) chunks.resize(count);
      if (chunks.size() != count || !chunks[number - 1].empty()) return {};
      chunks[number - 1].assign(d + pos + 18, d + pos + 2 + length);
    }
    pos += 2 + length;
  }
  std::vector<std::uint8_t> profile;
  for (const auto& chunk : chunks) {
    if (chunk.empty()) return {};
    profile.insert(profile.end(), chunk.begin(), chunk.end());
  }
  return profile;
}

bool SwapsAxes(int orientation) { return orientation >= 5 && orientation <= 8; }

int Turn::StoredX(int x, int y) const {
  const int w = stored_width - 1;
  switch (orientation) {
    case 2: return w - x;   // mirrored left to right
    case 3: return w - x;   // half a turn
    case 4: return x;       // upside down
    case 5: return y;       // mirrored about the main diagonal
    case 6: return y;       // stored a quarter turn anticlockwise: turned clockwise
    case 7: return w - y;   // mirrored about the other diagonal
    case 8: return w - y;   // stored a quarter turn clockwise: turned anticlockwise
    default: return x;
  }
}

int Turn::StoredY(int x, int y) const {
  const int h = stored_height - 1;
  switch (orientation) {
    case 2: return y;
    case 3: return h - y;
    case 4: return h - y;
    case 5: return x;
    case 6: return h - x;
    case 7: return h - x;
    case 8: return x;
    default: return y;
  }
}

bool CutShort(const DeclaredSize& s, const std::uint8_t* d, std::size_t n) {
  if (s.format == DeclaredSize::Format::Bmp) {
    if (n < 34) return true;
    const std::uint32_t header = Le32(d + 14);
    if (header == 12) return false;   // the old OS/2 header: left to the decoder
    const std::uint32_t compression = Le32(d + 30);
    if (compression != 0) return false;   // run-length or other coding: no fixed size
    const std::uint64_t bits = Le16(d + 28);
    const std::uint64_t stride = (s.width * bits + 31) / 32 * 4;
    return Le32(d + 10) + stride * s.height > n;
  }
  if (s.format != DeclaredSize::Format::Gif) return false;
  // Header and logical screen (13 bytes), the global colour table, then blocks up to the first
  // image: each extension's sub-blocks, then the image's descriptor, its local colour table and
  // its LZW data's sub-blocks, which end with an empty one.
  std::size_t pos = 13;
  if (n < pos) return true;
  if (d[10] & 0x80) pos += 3u << ((d[10] & 7) + 1);
  const auto skip_sub_blocks = [&]() {
    while (pos < n && d[pos] != 0) pos += 1 + d[pos];
    if (pos >= n) return false;
    ++pos;
    return true;
  };
  while (pos < n) {
    if (d[pos] == 0x21) {   // an extension: its label, then sub-blocks
      pos += 2;
      if (!skip_sub_blocks()) return true;
    } else if (d[pos] == 0x2C) {   // the first image
      if (pos + 10 > n) return true;
      const std::uint8_t flags = d[pos + 9];
      pos += 10;
      if (flags & 0x80) pos += 3u << ((flags & 7) + 1);
      pos += 1;   // the LZW minimum code size
      return !skip_sub_blocks();
    } else {
      return false;   // the trailer or something else: no image to cut short
    }
  }
  return true;
}

PixelSize DecodedSize(PixelSize own, PixelSize control) {
  if (control.width <= 0 || control.height <= 0) return own;
  if (own.width > control.width || own.height > control.height) return control;
  return own;
}

}  // namespace quildor::forms
