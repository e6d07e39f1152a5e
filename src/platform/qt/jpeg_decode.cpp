#include "platform/qt/jpeg_decode.h"

#include <cstdio>   // jpeglib.h needs FILE
#include <jpeglib.h>
#include <jerror.h>

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "forms/picture_header.h"
#include "forms/run_time_error.h"
#include "platform/qt/smooth_scale.h"

namespace quildor::qt {

namespace {

// libjpeg reports a fatal error through error_exit, which must not return: it jumps back to the
// decode. Warnings come through emit_message; the one that matters is the data ending before the
// picture did (the decoder then fills the rest with grey and goes on), so it ends the decode too.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  bool cut_short = false;
  char message[JMSG_LENGTH_MAX] = {};
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

void EmitMessage(j_common_ptr cinfo, int level) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  if (level >= 0) return;   // trace messages
  if (cinfo->err->msg_code == JWRN_JPEG_EOF) {
    err->cut_short = true;
    std::longjmp(err->jump, 1);
  }
  ++cinfo->err->num_warnings;   // other warnings (stray bytes between markers) leave a picture
}

// The smallest M (1 to 8) for which the picture decoded at M/8 still covers the target (or the
// picture itself, where that is smaller) in both directions.
unsigned ScaleFor(JDIMENSION width, JDIMENSION height, QSize target) {
  if (!target.isValid() || target.isEmpty()) return 8;
  const auto need_w = std::min<JDIMENSION>(width, static_cast<JDIMENSION>(target.width()));
  const auto need_h = std::min<JDIMENSION>(height, static_cast<JDIMENSION>(target.height()));
  for (unsigned m = 1; m < 8; ++m) {
    const JDIMENSION w = (width * m + 7) / 8, h = (height * m + 7) / 8;
    if (w >= need_w && h >= need_h) return m;
  }
  return 8;
}

}  // namespace

QImage DecodeJpeg(const QByteArray& jpeg, QSize target, const std::string& name) {
  // Everything the jump back may leave behind is made before setjmp and cleaned up after it.
  QImage image;
  std::vector<JSAMPROW> rows;
  std::vector<JSAMPLE> cmyk;
  std::vector<JSAMPLE> recent;
  std::unique_ptr<RowScaler> scaler;
  jpeg_decompress_struct cinfo{};
  ErrorManager err;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.emit_message = EmitMessage;
  jpeg_create_decompress(&cinfo);
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    if (err.cut_short) throw forms::RunTimeError(name + " is cut short");
    throw forms::RunTimeError("Cannot load " + name + ": " + err.message);
  }
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(jpeg.constData()),
               static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.scale_num = ScaleFor(cinfo.image_width, cinfo.image_height, target);
  cinfo.scale_denom = 8;
  // CMYK is converted here, as Adobe's programs store it (inverted); everything else (colour
  // and grayscale) the decoder writes straight into RGB32 rows.
  const bool is_cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = is_cmyk ? JCS_CMYK : JCS_EXT_BGRX;
  jpeg_start_decompress(&cinfo);

  const int width = static_cast<int>(cinfo.output_width);
  const int height = static_cast<int>(cinfo.output_height);
  // Larger than the target either way: scaled smoothly to exactly the target's size as the rows
  // come, so that the decoded picture is never whole in memory; otherwise decoded as it is.
  const forms::PixelSize shown =
      forms::DecodedSize({width, height}, {target.width(), target.height()});
  const bool scales = shown != forms::PixelSize{width, height};
  image = QImage(shown.width, shown.height, QImage::Format_RGB32);
  if (image.isNull()) {
    jpeg_destroy_decompress(&cinfo);
    throw forms::RunTimeError("Not enough memory for " + name);
  }
  const std::size_t row_bytes = std::size_t{cinfo.output_width} * 4;
  // The next row of the picture, RGB32, into `line`.
  const auto next_row = [&](JSAMPLE* line) {
    if (!is_cmyk) {
      jpeg_read_scanlines(&cinfo, &line, 1);
      return;
    }
    JSAMPROW row = cmyk.data();
    jpeg_read_scanlines(&cinfo, &row, 1);
    auto* pixels = reinterpret_cast<QRgb*>(line);
    for (JDIMENSION x = 0; x < cinfo.output_width; ++x) {
      const JSAMPLE* p = &cmyk[4 * x];
      const unsigned k = p[3];
      pixels[x] = qRgb(static_cast<int>(p[0] * k / 255), static_cast<int>(p[1] * k / 255),
                       static_cast<int>(p[2] * k / 255));
    }
  };
  if (is_cmyk) cmyk.resize(row_bytes);
  if (scales) {
    // The last few rows decoded, as many as a target row draws on, each in its slot (row number
    // modulo their count). Each slot starts 16 bytes past a 32-byte boundary: libjpeg-turbo
    // writes a row that starts on one with stores that pass the cache by, and the scale reads
    // the row right after.
    scaler = std::make_unique<RowScaler>(QSize(width, height), QSize(shown.width, shown.height));
    const int kept = scaler->Taps();
    const std::size_t stride = (row_bytes + 31) / 32 * 32;
    recent.resize(stride * static_cast<std::size_t>(kept) + 48);
    const auto base = reinterpret_cast<std::uintptr_t>(recent.data());
    JSAMPLE* first_slot = recent.data() + (48 - base % 32) % 32;
    const auto slot = [&](int r) {
      return first_slot + stride * static_cast<std::size_t>(r % kept);
    };
    for (int y = 0; y < shown.height; ++y) {
      const int needed = scaler->First(y) + kept;
      while (static_cast<int>(cinfo.output_scanline) < needed) {
        next_row(slot(static_cast<int>(cinfo.output_scanline)));
      }
      scaler->Row(y, [&](int r) { return static_cast<const std::uint8_t*>(slot(r)); },
                  reinterpret_cast<std::uint32_t*>(image.scanLine(y)));
    }
  } else if (is_cmyk) {
    while (cinfo.output_scanline < cinfo.output_height) {
      next_row(image.scanLine(static_cast<int>(cinfo.output_scanline)));
    }
  } else {
    rows.resize(cinfo.output_height);
    for (JDIMENSION y = 0; y < cinfo.output_height; ++y) {
      rows[y] = image.scanLine(static_cast<int>(y));
    }
    while (cinfo.output_scanline < cinfo.output_height) {
      jpeg_read_scanlines(&cinfo, rows.data() + cinfo.output_scanline,
                          cinfo.output_height - cinfo.output_scanline);
    }
  }
  // Whatever follows the last row (the end marker, trailing bytes) is not read: a picture whose
  // rows are all there is shown.
  jpeg_abort_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return image;
}

}  // namespace quildor::qt
