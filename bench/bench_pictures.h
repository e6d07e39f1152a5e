// The pictures the slide-show benchmark measures with, and its two references for a step: a
// photograph-like picture written as JPEG or PNG (optionally marked as stored turned), libjpeg-
// turbo's own scaled decode (the floor) and a full-size decode followed by a smooth scale (the
// naive path), each for the frame's size in device pixels.
#pragma once

#include <QImage>

#include <string>
#include <vector>

#include <turbojpeg.h>

namespace bench {

QImage MakePhoto(int width, int height, quint32 seed);
void Save(const QImage& image, const std::string& path, const char* format, bool progressive);
std::string ReadFile(const std::string& path);

// Device pixels per logical pixel (QUILDOR_BENCH_SCALE), and the frame's size in device pixels.
extern double g_scale;
int FrameW();
int FrameH();

// Writes a camera's Exif block with the orientation tag 6 (stored a quarter turn anticlockwise)
// right after the JPEG's start marker.
void MarkTurned(const std::string& path);

// libjpeg-turbo's own decode at the smallest scale that still covers the frame (777 x 473 device
// pixels at scale 1; turned for a photograph stored turned).
class Floor {
 public:
  Floor(const std::string& path, bool turned);
  ~Floor();
  Floor(const Floor&) = delete;
  Floor& operator=(const Floor&) = delete;
  void Run();

 private:
  const unsigned char* Data() const { return reinterpret_cast<const unsigned char*>(jpeg_.data()); }
  std::string jpeg_;
  tjhandle tj_;
  int width_ = 0, height_ = 0;
  std::vector<unsigned char> out_;
};

// A full-size decode followed by a smooth scale.
void Naive(const std::string& path);

}  // namespace bench
