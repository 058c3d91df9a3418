// The shadow blur: three box blurs per axis over an 8-bit plane, in integer running sums.
//
// Each axis is done on blocks of kLanes lines held side by side (a row of the block holds one
// sample of each line), so every step of a running sum is one vector operation across the
// lanes: columns are copied into a block row by row, rows are transposed into one. The three
// boxes of an axis run as a pipeline over the block with a ring of the rows each stage's
// successor still reads, so the sums stay in cache and are only divided once, at the end.
//
// The blurred plane is then laid over the image as the mask of the shadow's colour, here rather
// than by Cairo so that AVX2 does it eight pixels at a time, in pixman's arithmetic.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <type_traits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "render/Renderer.h"

namespace vellum::render_detail {

namespace {

constexpr int kLanes = 64;

// out[y] = in[y - left] + ... + in[y + ahead], samples outside the line counting as 0.
struct Box {
  int64_t left, ahead;
};

// Three boxes of size d per axis: odd d, three centred ones; even d, one half a pixel to the
// left, one half a pixel to the right, then a centred one of d + 1.
std::array<Box, 3> boxesFor(int64_t d) {
  if (d % 2) {
    const Box centred{(d - 1) / 2, (d - 1) / 2};
    return {centred, centred, centred};
  }
  return {Box{d / 2, d / 2 - 1}, Box{d / 2 - 1, d / 2}, Box{d / 2, d / 2}};
}

// The inner loops over one block row, with 32-bit sums, built for wider vectors too where the
// machine has them (the rows are 64 lanes, eight AVX2 registers).
#if defined(__x86_64__) && defined(__has_attribute)
#if __has_attribute(target_clones)
#define VELLUM_ROW_KERNEL __attribute__((target_clones("avx2", "default")))
#endif
#endif
#ifndef VELLUM_ROW_KERNEL
#define VELLUM_ROW_KERNEL
#endif

VELLUM_ROW_KERNEL void addRow(int32_t* __restrict out, const int32_t* __restrict sum, const uint8_t* __restrict enter,
                              const uint8_t* __restrict leave) {
  for (int i = 0; i < kLanes; ++i) out[i] = sum[i] + (int32_t(enter[i]) - int32_t(leave[i]));
}

VELLUM_ROW_KERNEL void addRow(int32_t* __restrict out, const int32_t* __restrict sum, const int32_t* __restrict enter,
                              const int32_t* __restrict leave) {
  for (int i = 0; i < kLanes; ++i) out[i] = sum[i] + (enter[i] - leave[i]);
}

VELLUM_ROW_KERNEL void rowToBytes(uint8_t* __restrict out, const int32_t* __restrict sums, float scale) {
  for (int i = 0; i < kLanes; ++i) out[i] = uint8_t(int32_t(float(sums[i]) * scale + 0.5f));
}

// Narrow boxes keep every sum within 16 bits (255 x 6 x 6 x 7 at most): twice the lanes per
// instruction. The sums wrap in between; the final ones are exact.
VELLUM_ROW_KERNEL void addRow(uint16_t* __restrict out, const uint16_t* __restrict sum, const uint8_t* __restrict enter,
                              const uint8_t* __restrict leave) {
  for (int i = 0; i < kLanes; ++i) out[i] = uint16_t(sum[i] + enter[i] - leave[i]);
}

VELLUM_ROW_KERNEL void addRow(uint16_t* __restrict out, const uint16_t* __restrict sum, const uint16_t* __restrict enter,
                              const uint16_t* __restrict leave) {
  for (int i = 0; i < kLanes; ++i) out[i] = uint16_t(sum[i] + enter[i] - leave[i]);
}

VELLUM_ROW_KERNEL void rowToBytes(uint8_t* __restrict out, const uint16_t* __restrict sums, float scale) {
  for (int i = 0; i < kLanes; ++i) out[i] = uint8_t(int32_t(float(sums[i]) * scale + 0.5f));
}

// The running sum of one stage: its accumulator and the ring of its latest output rows.
template <class Acc>
struct Stage {
  Box box;
  int64_t next = 0;  // the next row to compute
  int64_t ringMask = 0;  // the ring has a power of two rows: row y is at y & ringMask
  Acc* ring = nullptr;

  const Acc* sum = nullptr;  // the sum of the last row computed
  alignas(64) Acc start[kLanes] = {};

  const Acc* row(int64_t y) const { return ring + (y & ringMask) * kLanes; }
};

template <class Acc>
class BlockBlur {
  // Integer sums have row kernels; they become bytes through float, which holds 32-bit sums
  // to well within a rounding step.
  static constexpr bool kInteger = std::is_integral_v<Acc>;
  using Real = std::conditional_t<kInteger, float, double>;

 public:
  BlockBlur(const std::array<Box, 3>& boxes, int64_t n) : n_(n) {
    for (int k = 0; k < 3; ++k) stages_[k].box = boxes[size_t(k)];
    // A stage's ring holds the rows its successor's window spans, plus the one leaving it; the
    // last stage only keeps its previous row.
    int64_t ringTotal = 0;
    int64_t rows[3];
    for (int k = 0; k < 3; ++k) {
      const Box* reader = k < 2 ? &boxes[size_t(k) + 1] : nullptr;
      rows[k] = int64_t(std::bit_ceil(uint64_t(reader ? std::min<int64_t>(reader->left + reader->ahead + 2, n) : 2)));
      stages_[k].ringMask = rows[k] - 1;
      ringTotal += rows[k];
    }
    memory_.resize(size_t(ringTotal) * kLanes);
    Acc* ring = memory_.data();
    for (int k = 0; k < 3; ++k) {
      stages_[k].ring = ring;
      ring += rows[k] * kLanes;
    }
    double size = 1;
    for (const Box& b : boxes) size *= double(b.left + b.ahead + 1);
    scale_ = Real(1 / size);
  }

  // Blurs n rows of kLanes samples in place, rows `rowStep` bytes apart.
  void run(uint8_t* block, ptrdiff_t rowStep) {
    block_ = block;
    rowStep_ = rowStep;
    for (Stage<Acc>& s : stages_) {
      s.next = 0;
      std::fill(std::begin(s.start), std::end(s.start), Acc(0));
      s.sum = s.start;
    }
    Stage<Acc>&s0 = stages_[0], &s1 = stages_[1], &s2 = stages_[2];
    // Each sum starts as the window of row -1: rows 0 .. ahead - 1 of its input.
    for (int64_t y = 0; y < std::min(s0.box.ahead, n_); ++y) accumulate(s0.start, inputRow(y));
    advance0(s1.box.ahead - 1);
    for (int64_t y = 0; y < std::min(s1.box.ahead, n_); ++y) accumulate(s1.start, s0.row(y));
    advance1(s2.box.ahead - 1);
    for (int64_t y = 0; y < std::min(s2.box.ahead, n_); ++y) accumulate(s2.start, s1.row(y));
    // Row y is written once stage 0 has reached row y + ahead1 + ahead2, whose leaving input
    // row, y + ahead1 + ahead2 - left0 - 1, is never below y for these boxes: no input row is
    // read after it has been overwritten.
    for (int64_t y = 0; y < n_; ++y) {
      advance1(y + s2.box.ahead);
      step(s2, rowOf(s1, y + s2.box.ahead), rowOf(s1, y - s2.box.left - 1));
      toBytes(block_ + y * rowStep_, s2.sum);
    }
  }

 private:
  template <class In>
  static void accumulate(Acc* sum, const In* row) {
    for (int i = 0; i < kLanes; ++i) sum[i] += Acc(row[i]);
  }
  template <class In>
  static void add(Acc* __restrict out, const Acc* __restrict sum, const In* __restrict enter,
                  const In* __restrict leave) {
    if constexpr (kInteger)
      addRow(out, sum, enter, leave);
    else
      for (int i = 0; i < kLanes; ++i) out[i] = sum[i] + (Acc(enter[i]) - Acc(leave[i]));
  }

  void toBytes(uint8_t* __restrict out, const Acc* __restrict sums) const {
    if constexpr (kInteger) {
      rowToBytes(out, sums, scale_);
    } else {
      for (int i = 0; i < kLanes; ++i) out[i] = uint8_t(sums[i] * scale_ + 0.5);
    }
  }

  const uint8_t* inputRow(int64_t y) const { return y >= 0 && y < n_ ? block_ + y * rowStep_ : kZeroBytes; }
  const Acc* rowOf(const Stage<Acc>& s, int64_t y) const { return y >= 0 && y < n_ ? s.row(y) : kZero; }

  // The next row of a stage: the previous row's sum with one row entering and one leaving.
  template <class In>
  static void step(Stage<Acc>& s, const In* enter, const In* leave) {
    Acc* out = s.ring + (s.next & s.ringMask) * kLanes;
    add(out, s.sum, enter, leave);
    s.sum = out;
    ++s.next;
  }
  // Computes stage 0's rows up to `last` (within the line).
  void advance0(int64_t last) {
    Stage<Acc>& s = stages_[0];
    for (last = std::min(last, n_ - 1); s.next <= last;) {
      step(s, inputRow(s.next + s.box.ahead), inputRow(s.next - s.box.left - 1));
    }
  }
  // Computes stage 1's rows up to `last`, feeding it from stage 0.
  void advance1(int64_t last) {
    Stage<Acc>&s0 = stages_[0], &s = stages_[1];
    for (last = std::min(last, n_ - 1); s.next <= last;) {
      advance0(s.next + s.box.ahead);
      step(s, rowOf(s0, s.next + s.box.ahead), rowOf(s0, s.next - s.box.left - 1));
    }
  }

  int64_t n_;
  Stage<Acc> stages_[3];
  std::vector<Acc> memory_;
  Real scale_;
  uint8_t* block_ = nullptr;
  ptrdiff_t rowStep_ = kLanes;
  alignas(64) static constexpr Acc kZero[kLanes] = {};
  alignas(64) static constexpr uint8_t kZeroBytes[kLanes] = {};
};

// dst[c * dstStride + r] = src[r * srcStride + c] for a square tile of `side` (at most 16).
void transposeTile(const uint8_t* src, ptrdiff_t srcStride, uint8_t* dst, ptrdiff_t dstStride, int rows, int cols) {
#if defined(__SSE2__)
  if (rows == 16 && cols == 16) {
    // Four rounds of pairing row j with row j + 8, byte by byte, transpose 16 x 16 bytes.
    __m128i r[16], t[16];
    for (int j = 0; j < 16; ++j) r[j] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + j * srcStride));
    for (int round = 0; round < 4; ++round) {
      for (int j = 0; j < 8; ++j) {
        t[2 * j] = _mm_unpacklo_epi8(r[j], r[j + 8]);
        t[2 * j + 1] = _mm_unpackhi_epi8(r[j], r[j + 8]);
      }
      std::copy(std::begin(t), std::end(t), std::begin(r));
    }
    for (int j = 0; j < 16; ++j) _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + j * dstStride), r[j]);
    return;
  }
#endif
  for (int i = 0; i < rows; ++i)
    for (int c = 0; c < cols; ++c) dst[c * dstStride + i] = src[i * srcStride + c];
}

// Blurs `count` lines of n samples each, a block of kLanes lines at a time. Line c's sample y
// is at plane + c * lineStep + y * sampleStep; one of the steps is 1. With lineStep 1 (the
// plane's columns) whole blocks are blurred where they lie and the last, narrower one in a
// copy; otherwise rows are transposed into a block and back in 16 x 16 tiles.
template <class Acc>
void blurLines(uint8_t* plane, int64_t n, int64_t count, ptrdiff_t sampleStep, ptrdiff_t lineStep, int64_t d) {
  BlockBlur<Acc> blur(boxesFor(d), n);
  std::vector<uint8_t> block;
  for (int64_t c0 = 0; c0 < count; c0 += kLanes) {
    const int64_t lanes = std::min<int64_t>(kLanes, count - c0);
    uint8_t* base = plane + c0 * lineStep;
    if (lineStep == 1 && lanes == kLanes) {
      blur.run(base, sampleStep);
      continue;
    }
    block.assign(size_t(n) * kLanes, 0);
    auto copy = [&](bool intoBlock) {
      if (lineStep == 1) {
        for (int64_t y = 0; y < n; ++y) {
          uint8_t* b = &block[size_t(y) * kLanes];
          uint8_t* p = base + y * sampleStep;
          intoBlock ? std::memcpy(b, p, size_t(lanes)) : std::memcpy(p, b, size_t(lanes));
        }
        return;
      }
      for (int64_t y0 = 0; y0 < n; y0 += 16)
        for (int64_t c = 0; c < lanes; c += 16) {
          const int rows = int(std::min<int64_t>(16, lanes - c)), cols = int(std::min<int64_t>(16, n - y0));
          uint8_t* p = base + c * lineStep + y0;
          uint8_t* b = &block[size_t(y0 * kLanes + c)];
          if (intoBlock)
            transposeTile(p, lineStep, b, kLanes, rows, cols);
          else
            transposeTile(b, kLanes, p, lineStep, cols, rows);
        }
    };
    copy(true);
    blur.run(block.data(), kLanes);
    copy(false);
  }
}

// 16- or 32-bit sums when the largest final sum, 255 times the product of the clipped box
// sizes, fits; doubles (exact up to 2^53) otherwise, which only very wide boxes need.
void blurLines(uint8_t* plane, int64_t n, int64_t count, ptrdiff_t sampleStep, ptrdiff_t lineStep, int64_t d) {
  double largest = 255;
  for (const Box& b : boxesFor(d)) largest *= double(std::min<int64_t>(b.left + b.ahead + 1, n));
  if (largest <= double(std::numeric_limits<uint16_t>::max()))
    blurLines<uint16_t>(plane, n, count, sampleStep, lineStep, d);
  else if (largest <= double(std::numeric_limits<int32_t>::max()))
    blurLines<int32_t>(plane, n, count, sampleStep, lineStep, d);
  else
    blurLines<double>(plane, n, count, sampleStep, lineStep, d);
}

// A mask times a solid colour laid over a row of native A R G B words, in pixman's arithmetic
// (two channels per 32-bit lane, products rounded as x y / 255), so the result is the one
// Cairo's own mask operation gives, byte for byte.
void shadeRow(uint32_t* __restrict row, const uint8_t* __restrict mask, int n, uint32_t color) {
  auto times = [](uint32_t pairs, uint32_t a) {  // two channels 16 bits apart, each times a / 255
    uint32_t t = (pairs & 0xff00ffu) * a + 0x800080u;
    return ((t + ((t >> 8) & 0xff00ffu)) >> 8) & 0xff00ffu;
  };
  auto add = [](uint32_t x, uint32_t y) {  // saturating, per channel
    uint32_t t = x + y;
    t |= 0x10000100u - ((t >> 8) & 0xff00ffu);
    return t & 0xff00ffu;
  };
  for (int i = 0; i < n; ++i) {
    const uint32_t m = mask[i], d = row[i];
    const uint32_t srb = times(color, m), sag = times(color >> 8, m);  // the colour through the mask
    const uint32_t keep = 255 - (sag >> 16);                            // what shows of the pixel under it
    row[i] = add(times(d, keep), srb) | (add(times(d >> 8, keep), sag) << 8);
  }
}

#if defined(__x86_64__) && defined(__GNUC__)
#define VELLUM_SHADE_AVX2 1
// The same, eight pixels at a time in 16-bit lanes (the products of two bytes fit), rounding as
// pixman does: (t + 128) * 257 >> 16 is (t + 128 + ((t + 128) >> 8)) >> 8.
__attribute__((target("avx2"))) inline __m256i times(__m256i x, __m256i a) {
  return _mm256_mulhi_epu16(_mm256_add_epi16(_mm256_mullo_epi16(x, a), _mm256_set1_epi16(0x80)),
                            _mm256_set1_epi16(0x101));
}

__attribute__((target("avx2"))) void shadeRowAVX2(uint32_t* row, const uint8_t* mask, int n, uint32_t color) {
  const __m256i zero = _mm256_setzero_si256(), full = _mm256_set1_epi16(0xff);
  const __m256i c = _mm256_unpacklo_epi8(_mm256_set1_epi32(int(color)), zero);  // b g r a, 16 bits each
  // Each mask byte spread over its pixel's four channels, pixels 0-3 and 4-7 in the two halves.
  const __m256i spread = _mm256_setr_epi8(0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 6,
                                          6, 6, 6, 7, 7, 7, 7);
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t m8;
    std::memcpy(&m8, mask + i, 8);
    if (m8 == 0) continue;
    const __m256i m = _mm256_shuffle_epi8(_mm256_set1_epi64x(int64_t(m8)), spread);
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + i));
    __m256i out[2];
    for (int k = 0; k < 2; ++k) {  // the unpacked halves: pixels 0-1 and 4-5, then 2-3 and 6-7
      const __m256i mk = k ? _mm256_unpackhi_epi8(m, zero) : _mm256_unpacklo_epi8(m, zero);
      const __m256i dk = k ? _mm256_unpackhi_epi8(d, zero) : _mm256_unpacklo_epi8(d, zero);
      const __m256i sk = times(c, mk);
      const __m256i alpha = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(sk, 0xff), 0xff);
      out[k] = _mm256_adds_epu16(times(dk, _mm256_sub_epi16(full, alpha)), sk);
    }
    // Sums stay within 255 for a premultiplied colour over premultiplied pixels; packing
    // saturates like pixman's byte-wise add where they would not.
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + i), _mm256_packus_epi16(out[0], out[1]));
  }
  shadeRow(row + i, mask + i, n - i, color);
}
#endif

}  // namespace

void shadeWithMask(uint8_t* pixels, ptrdiff_t stride, const uint8_t* mask, ptrdiff_t maskStride, int width,
                   int height, const Color& color) {
  // The colour as Cairo hands it to pixman: premultiplied 16-bit channels, their high bytes.
  auto byte = [](double c) { return uint32_t(c * 65535.0 + 0.5) >> 8; };
  const uint32_t argb = byte(color.alpha) << 24 | byte(color.red * color.alpha) << 16 |
                        byte(color.green * color.alpha) << 8 | byte(color.blue * color.alpha);
#ifdef VELLUM_SHADE_AVX2
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) {
    for (int y = 0; y < height; ++y)
      shadeRowAVX2(reinterpret_cast<uint32_t*>(pixels + y * stride), mask + y * maskStride, width, argb);
    return;
  }
#endif
  for (int y = 0; y < height; ++y)
    shadeRow(reinterpret_cast<uint32_t*>(pixels + y * stride), mask + y * maskStride, width, argb);
}

uint64_t boxBlurSize(double sigma) {
  if (!(sigma > 0)) return 0;
  return uint64_t(std::floor(sigma * 3 * std::sqrt(2 * std::numbers::pi) / 4 + 0.5));
}

void gaussianLikeBlur(uint8_t* plane, int width, int height, int stride, uint64_t d) {
  if (d <= 1 || width <= 0 || height <= 0) return;
  const int64_t box = int64_t(std::min<uint64_t>(d, uint64_t(1) << 40));
  // A row of zeros stays one: the rows pass only needs the rows between the first and the
  // last with ink (a shadow's plane has a blur's reach of empty rows above and below it).
  auto empty = [&](int y) {
    // An OR over the whole row vectorises; a search that stops early does not.
    const uint8_t* row = plane + int64_t(y) * stride;
    uint8_t any = 0;
    for (int x = 0; x < width; ++x) any |= row[x];
    return any == 0;
  };
  int first = 0, last = height - 1;
  while (first <= last && empty(first)) ++first;
  while (last > first && empty(last)) --last;
  if (first > last) return;
  blurLines(plane + int64_t(first) * stride, width, last - first + 1, 1, stride, box);  // rows
  blurLines(plane, height, width, stride, 1, box);                                      // columns
}

}  // namespace vellum::render_detail
