// The pixel size a picture file declares in its header, read without decoding anything: so that a
// file claiming an absurd size is refused before a decoder allocates (or, in some decoders,
// overruns) a buffer for it. JPEG (the first frame header, found by walking the segments), PNG,
// GIF (the logical screen) and BMP are recognised.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quildor::forms {

struct DeclaredSize {
  enum class Format { Jpeg, Png, Gif, Bmp } format;
  std::uint64_t width = 0;    // as stored, before any turn
  std::uint64_t height = 0;
  bool progressive = false;   // a progressive JPEG: decoded whole before any scaling
  // How the stored picture is turned to stand upright, as cameras record it: the EXIF
  // orientation of a JPEG's Exif block (1 to 8; 1, upright as stored, when there is none).
  int orientation = 1;
};

// `data` is the start of the file (`size` bytes of it; 1 MiB is plenty in practice). Nothing
// when the format is not recognised or the size is not within the bytes given.
std::optional<DeclaredSize> ReadDeclaredSize(const std::uint8_t* data, std::size_t size);

// Whether the picture with that EXIF orientation stands upright only once its rows and columns
// are exchanged (orientations 5 to 8: a quarter turn, with or without a mirror).
bool SwapsAxes(int orientation);

// The EXIF orientation's turn of a picture, as the pixel (x, y) of the upright picture being
// the stored pixel (StoredX, StoredY). Each loader turns with its own tools; this is the rule
// they are tested against.
struct Turn {
  int orientation;
  int stored_width;
  int stored_height;
  int StoredX(int x, int y) const;
  int StoredY(int x, int y) const;
};

// The ICC colour profile a JPEG carries in its APP2 segments ("ICC_PROFILE", in numbered
// chunks), joined in their order; empty when there is none or a chunk is missing. `data` holds
// the file from its start (the segments come before the picture data).
std::vector<std::uint8_t> JpegIccProfile(const std::uint8_t* data, std::size_t size);

// Whether a GIF or BMP file, the whole of it `size` bytes at `data`, ends before its first
// picture does: the decoders of both platforms show such a file with the missing part black,
// without a word. A GIF is walked block by block up to the end of its first image's data; an
// uncompressed BMP must hold all the rows it declares. Other formats, and compressed BMPs, are
// left to their decoders' own error reporting (false).
bool CutShort(const DeclaredSize& s, const std::uint8_t* data, std::size_t size);

// Whether a picture of that declared size may be decoded: a baseline JPEG is decoded scaled down
// (to an eighth at most) and may declare up to 400 million pixels; a progressive JPEG keeps all
// of its coefficients (three bytes a pixel) and may declare up to 30 million; any other format
// is decoded at full size, four bytes a pixel, and may declare up to 40 million.
bool AcceptableSize(const DeclaredSize& s);

// Throws RunTimeError naming `name` when AcceptableSize refuses `s`, saying why: no size at all,
// or more pixels than a picture of its kind may have. A loader whose decoder tells only whether a
// file is a JPEG passes Png for any other kind (decoded at full size, as all of them are).
void CheckDeclaredSize(const DeclaredSize& s, const std::string& name);

struct PixelSize {
  int width = 0;
  int height = 0;
  bool operator==(const PixelSize&) const = default;
};

// The size a loader hands back a picture of `own` size for a control of `control` size that
// stretches it: larger than the control in either direction, exactly the control's size (so the
// picture is resampled once, by the loader, and the view draws it as it is); otherwise its own
// size, for the view to stretch. A control size of zero asks for the picture's own size.
PixelSize DecodedSize(PixelSize own, PixelSize control);

}  // namespace quildor::forms
