#include "platform/qt/jpeg_decode.h"

#include <turbojpeg.h>

#include <cctype>
#include <cstring>
#include <memory>

#include "forms/picture_header.h"
#include "forms/run_time_error.h"

namespace quildor::qt {

std::optional<QImage> DecodeJpeg(const QByteArray& jpeg, QSize target, const std::string& name) {
  std::unique_ptr<void, int (*)(tjhandle)> tj(tjInitDecompress(), tjDestroy);
  if (!tj) return std::nullopt;
  const auto* data = reinterpret_cast<const unsigned char*>(jpeg.constData());
  const auto size = static_cast<unsigned long>(jpeg.size());
  int width = 0, height = 0, subsampling = 0, colourspace = 0;
  if (tjDecompressHeader3(tj.get(), data, size, &width, &height, &subsampling, &colourspace) != 0) {
    return std::nullopt;
  }
  if (colourspace == TJCS_CMYK || colourspace == TJCS_YCCK) return std::nullopt;

  // The smallest of the decoder's scales that still covers the target in both directions.
  int out_width = width, out_height = height;
  if (target.isValid() && !target.isEmpty()) {
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    for (int i = 0; i < count; ++i) {
      const int w = TJSCALED(width, factors[i]), h = TJSCALED(height, factors[i]);
      if (w >= std::min(width, target.width()) && h >= std::min(height, target.height()) &&
          w <= width && h <= height && 1LL * w * h < 1LL * out_width * out_height) {
        out_width = w;
        out_height = h;
      }
    }
  }
  QImage image(out_width, out_height, QImage::Format_RGB32);
  if (image.isNull()) throw forms::RunTimeError("Not enough memory for " + name);
  if (tjDecompress2(tj.get(), data, size, image.bits(), out_width,
                    static_cast<int>(image.bytesPerLine()), out_height, TJPF_BGRX, 0) != 0) {
    const bool warning = tjGetErrorCode(tj.get()) == TJERR_WARNING;
    const std::string message = tjGetErrorStr2(tj.get());
    std::string lower = message;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    // A warning leaves a complete picture, except when the data ended too early.
    if (!warning || lower.find("premature end") != std::string::npos) {
      throw forms::RunTimeError("Cannot load " + name + ": " + message);
    }
  }
  // Larger than the target either way: one smooth scale to exactly the target's size.
  const forms::PixelSize shown =
      forms::DecodedSize({out_width, out_height}, {target.width(), target.height()});
  if (shown != forms::PixelSize{out_width, out_height}) {
    image = image.scaled(shown.width, shown.height, Qt::IgnoreAspectRatio,
                         Qt::SmoothTransformation);
  }
  return image;
}

}  // namespace quildor::qt
