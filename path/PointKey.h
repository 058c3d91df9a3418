// The one point key: the equality and hash of every hashed container of points. Coordinates
// compare by their bits with -0 folded into +0, so a point equals itself even with a NaN
// coordinate, and every point read from a path can be found again.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "host/Value.h"

namespace vellum {

struct PointKey {
  static uint64_t bits(double v) { return v == 0 ? 0 : std::bit_cast<uint64_t>(v); }
  // Two words mixed into one hash; also for points with other coordinate types.
  static uint64_t mix(uint64_t a, uint64_t b) {
    uint64_t h = a * 0x9E3779B97F4A7C15ull ^ (b + 0x632BE59BD9B4E019ull + (a << 6));
    h ^= h >> 31;
    h *= 0xBF58476D1CE4E5B9ull;
    return h ^ (h >> 29);
  }
  size_t operator()(const Point& p) const { return size_t(mix(bits(p.x), bits(p.y))); }
  bool operator()(const Point& a, const Point& b) const { return bits(a.x) == bits(b.x) && bits(a.y) == bits(b.y); }
};

}  // namespace vellum
