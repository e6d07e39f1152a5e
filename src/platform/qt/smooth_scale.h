// The smooth scale of a decoded photograph to the size it takes on the screen, on the calling
// thread: each direction on its own, an area average where it shrinks (every source pixel counts
// for the share of the target pixel it covers) and a linear blend of the two nearest where it
// grows. Qt's own smooth scale looks the same, but spreads its work over a pool of threads and,
// where one direction grows and the other shrinks (a 776 x 496 photograph in a 777 x 473 frame),
// goes through its general painter: there this one, fed row by row as the decoder makes them,
// takes about half its CPU time.
#pragma once

#include <QImage>
#include <QSize>

#include <cstdint>
#include <functional>
#include <memory>

namespace quildor::qt {

// The scale one target row at a time, for a decoder that hands over its rows as it makes them:
// target row y is made from the `Taps()` source rows from `First(y)` on, and First never goes
// back, so a decoder need keep only the last Taps() rows it made.
class RowScaler {
 public:
  RowScaler(QSize from, QSize to);   // both at least 1 x 1
  ~RowScaler();
  int Taps() const;
  int First(int y) const;
  // Target row y (to.width() RGB32 pixels) from the source rows `source` gives by number.
  void Row(int y, const std::function<const std::uint8_t*(int)>& source, std::uint32_t* out);

 private:
  struct Plans;
  std::unique_ptr<Plans> plans_;
  QSize from_, to_;
};

// `image` (RGB32) scaled to `width` x `height` (both at least 1), as RGB32; a null image if there
// is not memory enough for it.
QImage SmoothScaled(const QImage& image, int width, int height);

}  // namespace quildor::qt
