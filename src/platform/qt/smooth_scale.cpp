#include "platform/qt/smooth_scale.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quildor::qt {

namespace {

// Weights are in 256ths: a row of the source times its weight still fits 16 bits, and the two
// passes together keep the error within one level of 255.
constexpr int kOne = 256;

// Element a * b of a table: b entries for each of its rows.
std::size_t At(int a, int b) { return static_cast<std::size_t>(a) * static_cast<std::size_t>(b); }

// For each target pixel of one direction: the first source pixel it draws on and the weights of
// `taps` pixels from there (the same count for every target pixel, unused ones weigh 0, and never
// past the source's end), in 256ths that add up to exactly 256.
struct Filter {
  int taps = 1;
  std::vector<int> first;
  std::vector<std::uint16_t> weight;   // taps per target pixel
};

// The source pixels target pixel `t` of `to` draws on, from `from`: the first, and each one's
// share (adding up to 1).
int Shares(int from, int to, int t, std::vector<double>& share) {
  share.clear();
  const double step = static_cast<double>(from) / to;
  if (step >= 1) {
    // Shrinking: the target pixel covers [t*step, (t+1)*step) of the source.
    const double a = t * step, b = (t + 1) * step;
    const int start = std::min(static_cast<int>(std::floor(a)), from - 1);
    for (int i = start; i < from && i < b; ++i) {
      share.push_back((std::min<double>(b, i + 1) - std::max<double>(a, i)) / step);
    }
    return start;
  }
  // Growing: the target pixel's centre between the two nearest source pixels' centres.
  const double centre = std::clamp((t + 0.5) * step - 0.5, 0.0, from - 1.0);
  const int start = std::min(static_cast<int>(centre), from - 1);
  const double f = centre - start;
  share.push_back(1 - f);
  if (start + 1 < from) share.push_back(f);
  return start;
}

Filter Plan(int from, int to) {
  std::vector<double> share;
  Filter plan;
  for (int t = 0; t < to; ++t) {
    Shares(from, to, t, share);
    plan.taps = std::max(plan.taps, static_cast<int>(share.size()));
  }
  const int taps = plan.taps;
  plan.first.resize(static_cast<std::size_t>(to));
  plan.weight.assign(At(to, taps), 0);
  for (int t = 0; t < to; ++t) {
    const int start = Shares(from, to, t, share);
    // Moved back where the taps would run past the source's end, the weights with it.
    const int first = std::min(start, from - taps);
    const int skip = start - first;
    std::uint16_t* w = &plan.weight[At(t, taps)];
    int sum = 0, largest = skip;
    for (std::size_t k = 0; k < share.size(); ++k) {
      const int q = static_cast<int>(std::lround(share[k] * kOne));
      w[skip + static_cast<int>(k)] = static_cast<std::uint16_t>(q);
      sum += q;
      if (q > w[largest]) largest = skip + static_cast<int>(k);
    }
    w[largest] = static_cast<std::uint16_t>(w[largest] + kOne - sum);   // rounding's remainder
    plan.first[static_cast<std::size_t>(t)] = first;
  }
  return plan;
}

// One target row from the source rows `rows` (taps of them) and their weights: every byte of the
// row as a 16-bit sum of weight times byte, halved (so that it fits a signed 16 bits for the
// second pass).
void BlendRows(const std::uint8_t* const* rows, const std::uint16_t* w, int taps, int bytes,
               std::int16_t* out) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= bytes; i += 16) {
    __m128i lo = zero, hi = zero;
    for (int k = 0; k < taps; ++k) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + i));
      const __m128i weight = _mm_set1_epi16(static_cast<short>(w[k]));
      lo = _mm_add_epi16(lo, _mm_mullo_epi16(_mm_unpacklo_epi8(v, zero), weight));
      hi = _mm_add_epi16(hi, _mm_mullo_epi16(_mm_unpackhi_epi8(v, zero), weight));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_srli_epi16(lo, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_srli_epi16(hi, 1));
  }
#endif
  for (; i < bytes; ++i) {
    unsigned sum = 0;
    for (int k = 0; k < taps; ++k) sum += unsigned{w[k]} * rows[k][i];
    out[i] = static_cast<std::int16_t>(sum >> 1);
  }
}

// The weights of one direction for the second pass: per target pixel, its taps taken two at a
// time, each pair's weights in one 32-bit word (the first in the low half), as the pass's
// multiply-and-add takes them.
std::vector<std::int32_t> Pairs(const Filter& plan, int to) {
  const int pairs = (plan.taps + 1) / 2;
  std::vector<std::int32_t> out(At(to, pairs));
  for (int t = 0; t < to; ++t) {
    const std::uint16_t* w = &plan.weight[At(t, plan.taps)];
    for (int k = 0; k < plan.taps; k += 2) {
      const int second = k + 1 < plan.taps ? w[k + 1] : 0;
      out[At(t, pairs) + static_cast<std::size_t>(k / 2)] =
          static_cast<std::int32_t>(w[k] | (second << 16));
    }
  }
  return out;
}

// The two passes' weights multiply to 256 * 256, and the first pass halved: 2^15 in all.
constexpr int kShift = 15;

// One target row from a blended row (four 16-bit channels a pixel): each target pixel from its
// taps, rounded to 8 bits a channel, opaque.
void BlendPixels(const std::int16_t* mid, const Filter& across,
                 const std::vector<std::int32_t>& pairs, std::uint32_t* out, int width) {
  const int taps = across.taps;
#if defined(__SSE2__)
  // Two source pixels at a time: their channels interleaved, each pair multiplied by its two
  // weights and added in one step. The row has a spare pixel at its end for an odd count.
  const int per = (taps + 1) / 2;
  const __m128i round = _mm_set1_epi32(1 << (kShift - 1));
  const auto pixel = [&](int t) {
    const std::int16_t* p = mid + At(across.first[static_cast<std::size_t>(t)], 4);
    const std::int32_t* w = &pairs[At(t, per)];
    __m128i sum = round;
    for (int k = 0; k < per; ++k) {
      const __m128i two = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8 * k));
      const __m128i mixed = _mm_unpacklo_epi16(two, _mm_srli_si128(two, 8));
      sum = _mm_add_epi32(sum, _mm_madd_epi16(mixed, _mm_set1_epi32(w[k])));
    }
    return _mm_srai_epi32(sum, kShift);
  };
  // Two target pixels packed and stored together.
  const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xff000000u));
  int t = 0;
  for (; t + 2 <= width; t += 2) {
    const __m128i both = _mm_packs_epi32(pixel(t), pixel(t + 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + t),
                     _mm_or_si128(_mm_packus_epi16(both, both), opaque));
  }
  if (t < width) {
    const __m128i one = _mm_packs_epi32(pixel(t), pixel(t));
    out[t] = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(one, one))) |
             0xff000000u;
  }
#else
  (void)pairs;
  for (int t = 0; t < width; ++t) {
    const std::int16_t* p = mid + At(across.first[static_cast<std::size_t>(t)], 4);
    const std::uint16_t* w = &across.weight[At(t, taps)];
    std::uint32_t pixel = 0xff000000u;
    for (int c = 0; c < 3; ++c) {
      int sum = 1 << (kShift - 1);
      for (int k = 0; k < taps; ++k) sum += w[k] * p[4 * k + c];
      pixel |= static_cast<std::uint32_t>(std::clamp(sum >> kShift, 0, 255)) << (8 * c);
    }
    out[t] = pixel;
  }
#endif
}

}  // namespace

struct RowScaler::Plans {
  Filter down, across;
  std::vector<std::int32_t> pairs;
  std::vector<std::int16_t> mid;   // one blended row, and a spare pixel for the last pair of taps
  std::vector<const std::uint8_t*> rows;
};

RowScaler::RowScaler(QSize from, QSize to)
    : plans_(std::make_unique<Plans>()), from_(from), to_(to) {
  plans_->down = Plan(from.height(), to.height());
  plans_->across = Plan(from.width(), to.width());
  plans_->pairs = Pairs(plans_->across, to.width());
  plans_->mid.assign(static_cast<std::size_t>(from.width()) * 4 + 8, 0);
  plans_->rows.resize(static_cast<std::size_t>(plans_->down.taps));
}

RowScaler::~RowScaler() = default;

int RowScaler::Taps() const { return plans_->down.taps; }

int RowScaler::First(int y) const { return plans_->down.first[static_cast<std::size_t>(y)]; }

void RowScaler::Row(int y, const std::function<const std::uint8_t*(int)>& source,
                    std::uint32_t* out) {
  const int taps = plans_->down.taps;
  const int first = First(y);
  // Only the rows that weigh anything: a row that shrinks mostly draws on fewer than the most.
  const std::uint16_t* w = &plans_->down.weight[At(y, taps)];
  int from = 0, to = taps;
  while (w[from] == 0) ++from;
  while (w[to - 1] == 0) --to;
  for (int k = from; k < to; ++k) plans_->rows[static_cast<std::size_t>(k)] = source(first + k);
  BlendRows(plans_->rows.data() + from, w + from, to - from, from_.width() * 4,
            plans_->mid.data());
  BlendPixels(plans_->mid.data(), plans_->across, plans_->pairs, out, to_.width());
}

QImage SmoothScaled(const QImage& source, int width, int height) {
  const QImage image = source.format() == QImage::Format_RGB32
                           ? source
                           : source.convertToFormat(QImage::Format_RGB32);
  QImage out(width, height, QImage::Format_RGB32);
  if (image.isNull() || out.isNull()) return QImage();
  RowScaler scaler(image.size(), out.size());
  const auto row = [&image](int r) { return image.constScanLine(r); };
  for (int y = 0; y < height; ++y) {
    scaler.Row(y, row, reinterpret_cast<std::uint32_t*>(out.scanLine(y)));
  }
  return out;
}

}  // namespace quildor::qt
