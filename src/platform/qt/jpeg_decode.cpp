#include "platform/qt/jpeg_decode.h"

#include <cstdio>   // jpeglib.h needs FILE
#include <jpeglib.h>
#include <jerror.h>

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <vector>

#include "forms/picture_header.h"
#include "forms/run_time_error.h"

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
  // and grayscale) the decoder writes straight into the image's rows.
  const bool is_cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = is_cmyk ? JCS_CMYK : JCS_EXT_BGRX;
  jpeg_start_decompress(&cinfo);

  image = QImage(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height),
                     QImage::Format_RGB32);
  if (image.isNull()) {
    jpeg_destroy_decompress(&cinfo);
    throw forms::RunTimeError("Not enough memory for " + name);
  }
  if (is_cmyk) {
    cmyk.resize(std::size_t{cinfo.output_width} * 4);
    while (cinfo.output_scanline < cinfo.output_height) {
      const int y = static_cast<int>(cinfo.output_scanline);
      auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
      JSAMPROW row = cmyk.data();
      jpeg_read_scanlines(&cinfo, &row, 1);
      for (JDIMENSION x = 0; x < cinfo.output_width; ++x) {
        const JSAMPLE* p = &cmyk[4 * x];
        const unsigned k = p[3];
        line[x] = qRgb(static_cast<int>(p[0] * k / 255), static_cast<int>(p[1] * k / 255),
                       static_cast<int>(p[2] * k / 255));
      }
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

  // Larger than the target either way: one smooth scale to exactly the target's size.
  const forms::PixelSize own{image.width(), image.height()};
  const forms::PixelSize shown = forms::DecodedSize(own, {target.width(), target.height()});
  if (shown != own) {
    image = image.scaled(shown.width, shown.height, Qt::IgnoreAspectRatio,
                                 Qt::SmoothTransformation);
  }
  return image;
}

}  // namespace quildor::qt
