#include "platform/qt/qt_pictures.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QImageReader>

#include <cerrno>
#include <cstring>
#include <memory>

#include "forms/picture_header.h"
#include "forms/run_time_error.h"
#include "platform/qt/jpeg_decode.h"

namespace quildor::qt {

namespace {

// Qt's JPEG decoder reports a file that ends too early only as a warning, then shows the part it
// read over grey. A cut-off photograph is a file the loader cannot read: the decoder's messages
// are watched while it runs.
bool g_truncated = false;
QtMessageHandler g_previous_handler = nullptr;

void WatchDecoderMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  const bool decoder = context.category && std::strncmp(context.category, "qt.gui.imageio", 14) == 0;
  if (decoder && text.contains("premature end", Qt::CaseInsensitive)) {
    g_truncated = true;
    return;
  }
  if (decoder) return;   // the decoders' other chatter is not the user's business
  if (g_previous_handler) g_previous_handler(type, context, text);
}

// A JPEG file read whole into memory for decoding; a larger one (no photograph is) is refused.
constexpr qint64 kMaxJpegFileBytes = 256LL << 20;

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
  QFile file;
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    throw forms::RunTimeError("Cannot read " + path);
  }
  QImageReader reader(&file);
  reader.setAutoTransform(false);
  const QSize size = reader.size();
  if (!size.isValid() || size.isEmpty()) {
    throw forms::RunTimeError(path + " is not a picture: " + reader.errorString().toStdString());
  }
  forms::CheckDeclaredSize({reader.format() == "jpeg" ? forms::DeclaredSize::Format::Jpeg
                                                     : forms::DeclaredSize::Format::Png,
                            static_cast<std::uint64_t>(size.width()),
                            static_cast<std::uint64_t>(size.height())},
                           path);
  auto p = std::make_shared<forms::PictureData>();
  p->width = size.width();
  p->height = size.height();
  p->source = path;

  // A JPEG is decoded at the decoder's own smallest scale that covers the control it fills.
  if (reader.format() == "jpeg" && st.st_size <= kMaxJpegFileBytes && file.seek(0)) {
    const QByteArray bytes = file.readAll();
    if (bytes.size() != st.st_size) throw forms::RunTimeError("Cannot read " + path);
    const auto header = forms::ReadDeclaredSize(
        reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size()));
    if (header) forms::CheckDeclaredSize(*header, path);
    if (auto image = DecodeJpeg(bytes, QSize(width, height), path)) {
      p->native = std::make_shared<QImage>(std::move(*image));
      return p;
    }
    file.seek(0);
    reader.setDevice(&file);
  }
  // A JPEG the fast path declines (CMYK, say) is still decoded at the control's size by Qt's own
  // decoder, which scales inside the decoder where it can.
  const forms::PixelSize target =
      forms::DecodedSize({size.width(), size.height()}, {width, height});
  if (reader.format() == "jpeg" && target != forms::PixelSize{size.width(), size.height()}) {
    reader.setScaledSize(QSize(target.width, target.height));
  }

  g_truncated = false;
  g_previous_handler = qInstallMessageHandler(WatchDecoderMessages);
  QImage decoded = reader.read();
  qInstallMessageHandler(g_previous_handler);
  if (g_truncated) throw forms::RunTimeError(path + " is cut short");
  if (decoded.isNull()) {
    throw forms::RunTimeError("Cannot load " + path + ": " + reader.errorString().toStdString());
  }
  // Other formats are decoded at full size: scaled smoothly, once, to the control's size.
  decoded = decoded.convertToFormat(QImage::Format_RGB32);
  const forms::PixelSize own{decoded.width(), decoded.height()};
  const forms::PixelSize shown = forms::DecodedSize(own, {width, height});
  if (shown != own) {
    decoded = decoded.scaled(shown.width, shown.height, Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation);
  }
  p->native = std::make_shared<QImage>(std::move(decoded));
  return p;
}

}  // namespace quildor::qt
