#include "platform/qt/qt_pictures.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QTransform>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "forms/picture_header.h"
#include "forms/run_time_error.h"
#include "platform/qt/jpeg_decode.h"
#include "platform/qt/smooth_scale.h"

namespace quildor::qt {

namespace {

// A picture file is read whole into memory for decoding; a larger one (no photograph is) is
// refused.
constexpr qint64 kMaxFileBytes = 256LL << 20;

// The picture stood upright as its EXIF orientation says (see forms::Turn).
QImage Turned(const QImage& image, int orientation) {
  switch (orientation) {
    case 2: return image.mirrored(true, false);
    case 3: return image.mirrored(true, true);
    case 4: return image.mirrored(false, true);
    case 5: return image.mirrored(false, true).transformed(QTransform().rotate(90));
    case 6: return image.transformed(QTransform().rotate(90));
    case 7: return image.mirrored(true, false).transformed(QTransform().rotate(90));
    case 8: return image.transformed(QTransform().rotate(270));
    default: return image;
  }
}

// The picture's colours in sRGB, the screen's colour space: a picture with an embedded profile
// (a phone's Display P3, a camera's Adobe RGB) is converted; one without is taken as sRGB.
void ToSrgb(QImage& image, const QColorSpace& space) {
  if (!space.isValid() || space == QColorSpace(QColorSpace::SRgb)) return;
  image.setColorSpace(space);
  image.convertToColorSpace(QColorSpace::SRgb);
}

// An opaque RGB32 picture: transparent and half-transparent pixels composed over black, the
// frame's background.
QImage Opaque(const QImage& image) {
  if (!image.hasAlphaChannel()) return image.convertToFormat(QImage::Format_RGB32);
  QImage out(image.size(), QImage::Format_RGB32);
  if (out.isNull()) return out;
  out.fill(Qt::black);
  QPainter painter(&out);
  painter.drawImage(0, 0, image);
  return out;
}

}  // namespace

forms::Picture LoadPictureFile(const std::string& path, int width, int height) {
  // Only a regular file is opened for reading (a FIFO or a device could block the program, a
  // folder is no picture); the check and the read use the same open file.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) throw forms::RunTimeError("Cannot open " + path + ": " + std::strerror(errno));
  struct stat st{};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    throw forms::RunTimeError(path + " is not a file");
  }
  if (st.st_size > kMaxFileBytes) {
    ::close(fd);
    throw forms::RunTimeError(path + " is too large a file for a photograph");
  }
  QFile file;
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    throw forms::RunTimeError("Cannot read " + path);
  }
  const QByteArray bytes = file.readAll();
  if (bytes.size() != st.st_size) throw forms::RunTimeError("Cannot read " + path);
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
  const auto size = static_cast<std::size_t>(bytes.size());

  // The size the header declares is checked before any decoder sees the file; GIF and BMP files
  // that end early are recognised here, since their decoders show them without a word.
  const auto header = forms::ReadDeclaredSize(data, size);
  if (header) {
    forms::CheckDeclaredSize(*header, path);
    if (forms::CutShort(*header, data, size)) {
      throw forms::RunTimeError(path + " is cut short");
    }
  }
  const forms::PixelSize control{width, height};
  auto p = std::make_shared<forms::PictureData>();
  p->source = path;

  // A JPEG is decoded at the decoder's own smallest scale that covers the control it fills, as
  // the picture lies in the file: a camera's portrait photograph, stored lying on its side, is
  // decoded for the control turned the same way, then stood upright.
  if (header && header->format == forms::DeclaredSize::Format::Jpeg) {
    const int orientation = header->orientation;
    const bool swaps = forms::SwapsAxes(orientation);
    const QSize target = swaps ? QSize(height, width) : QSize(width, height);
    QImage image = Turned(DecodeJpeg(bytes, target, path), orientation);
    const std::vector<std::uint8_t> profile = forms::JpegIccProfile(data, size);
    if (!profile.empty()) {
      ToSrgb(image, QColorSpace::fromIccProfile(QByteArray(
                        reinterpret_cast<const char*>(profile.data()),
                        static_cast<qsizetype>(profile.size()))));
    }
    p->width = static_cast<int>(swaps ? header->height : header->width);
    p->height = static_cast<int>(swaps ? header->width : header->height);
    p->native = std::make_shared<QImage>(image.convertToFormat(QImage::Format_RGB32));
    return p;
  }

  // Everything else through Qt's image readers, decoded at full size and scaled smoothly, once,
  // to the control's size.
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  reader.setAutoTransform(false);
  const QSize own = reader.size();
  if (!own.isValid() || own.isEmpty()) {
    throw forms::RunTimeError(path + " is not a picture: " + reader.errorString().toStdString());
  }
  if (!header) {
    forms::CheckDeclaredSize({forms::DeclaredSize::Format::Png,
                              static_cast<std::uint64_t>(own.width()),
                              static_cast<std::uint64_t>(own.height())},
                             path);
  }
  QImage decoded = reader.read();
  if (decoded.isNull()) {
    throw forms::RunTimeError("Cannot load " + path + ": " + reader.errorString().toStdString());
  }
  const QColorSpace space = decoded.colorSpace();
  decoded = Opaque(decoded);
  if (decoded.isNull()) throw forms::RunTimeError("Not enough memory for " + path);
  p->width = decoded.width();
  p->height = decoded.height();
  const forms::PixelSize shown = forms::DecodedSize({decoded.width(), decoded.height()}, control);
  if (shown != forms::PixelSize{decoded.width(), decoded.height()}) {
    decoded = SmoothScaled(decoded, shown.width, shown.height);
    if (decoded.isNull()) throw forms::RunTimeError("Not enough memory for " + path);
  }
  ToSrgb(decoded, space);
  p->native = std::make_shared<QImage>(std::move(decoded));
  return p;
}

}  // namespace quildor::qt
