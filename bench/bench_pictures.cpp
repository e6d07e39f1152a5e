#include "bench_pictures.h"

#include <QColor>
#include <QImageReader>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QRandomGenerator>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace bench {

// A picture like a photograph: a sky, hills, many soft shapes and sensor noise, so that the JPEG
// coder has real detail to code (flat colours would make decoding unrealistically cheap).
QImage MakePhoto(int width, int height, quint32 seed) {
  QImage image(width, height, QImage::Format_RGB32);
  QPainter p(&image);
  QLinearGradient sky(0, 0, 0, height);
  sky.setColorAt(0, QColor(90, 140, 210));
  sky.setColorAt(1, QColor(230, 230, 220));
  p.fillRect(image.rect(), sky);
  QRandomGenerator rng(seed);
  p.setRenderHint(QPainter::Antialiasing);
  for (int i = 0; i < 400; ++i) {
    const int w = rng.bounded(width / 40 + 1, width / 4 + 2), h = rng.bounded(height / 40 + 1, height / 4 + 2);
    const int x = rng.bounded(-w / 2, width), y = rng.bounded(height / 4, height);
    QRadialGradient g(x + w / 2.0, y + h / 2.0, std::max(w, h) / 2.0);
    g.setColorAt(0, QColor(rng.bounded(256), rng.bounded(256), rng.bounded(256)));
    g.setColorAt(1, QColor(rng.bounded(256), rng.bounded(256), rng.bounded(256)));
    p.setBrush(g);
    p.setPen(QPen(QColor(rng.bounded(80), rng.bounded(80), rng.bounded(80)), 1 + width / 1500));
    if (i % 2) p.drawEllipse(x, y, w, h); else p.drawRect(x, y, w, h);
  }
  p.end();
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) {
      const int n = static_cast<int>(rng.bounded(17)) - 8;
      const QRgb c = line[x];
      line[x] = qRgb(std::clamp(qRed(c) + n, 0, 255), std::clamp(qGreen(c) + n, 0, 255),
                     std::clamp(qBlue(c) + n, 0, 255));
    }
  }
  return image;
}

void Save(const QImage& image, const std::string& path, const char* format, bool progressive) {
  QImageWriter writer(QString::fromStdString(path), format);
  if (std::string(format) == "jpeg") {
    writer.setQuality(90);
    writer.setProgressiveScanWrite(progressive);
  }
  if (!writer.write(image)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::exit(1);
  }
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

double g_scale = 1;
int FrameW() { return static_cast<int>(777 * g_scale + 0.5); }
int FrameH() { return static_cast<int>(473 * g_scale + 0.5); }

void MarkTurned(const std::string& path) {
  std::string jpeg = ReadFile(path);
  const std::string tiff("MM\0\x2a\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0", 26);
  const std::string body = std::string("Exif\0\0", 6) + tiff;
  const std::size_t length = body.size() + 2;
  const std::string app1 = std::string("\xFF\xE1") + static_cast<char>(length >> 8) +
                           static_cast<char>(length & 0xFF) + body;
  jpeg.insert(2, app1);
  std::ofstream(path, std::ios::binary) << jpeg;
}

Floor::Floor(const std::string& path, bool turned) : jpeg_(ReadFile(path)), tj_(tjInitDecompress()) {
  const int target_w = turned ? FrameH() : FrameW(), target_h = turned ? FrameW() : FrameH();
  int w = 0, h = 0, subsampling = 0, colourspace = 0;
  tjDecompressHeader3(tj_, Data(), jpeg_.size(), &w, &h, &subsampling, &colourspace);
  int count = 0;
  tjscalingfactor* factors = tjGetScalingFactors(&count);
  width_ = w;
  height_ = h;
  for (int i = 0; i < count; ++i) {
    const int sw = TJSCALED(w, factors[i]), sh = TJSCALED(h, factors[i]);
    if (sw >= target_w && sh >= target_h && sw * sh < width_ * height_) {
      width_ = sw;
      height_ = sh;
    }
  }
  out_.resize(static_cast<std::size_t>(width_) * height_ * 4);
}

Floor::~Floor() { tjDestroy(tj_); }

void Floor::Run() {
  if (tjDecompress2(tj_, Data(), jpeg_.size(), out_.data(), width_, 0, height_, TJPF_BGRX, 0) != 0) {
    std::abort();
  }
}

void Naive(const std::string& path) {
  QImage full = QImageReader(QString::fromStdString(path)).read();
  QImage scaled =
      full.scaled(FrameW(), FrameH(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  if (scaled.isNull()) std::abort();
}

}  // namespace bench
