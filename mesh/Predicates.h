// Exact orientation and in-circle tests on integer points. Coordinates must stay within
// +-2^52, so that differences are exact as doubles and every intermediate fits the integer
// widths used here; the triangulator keeps all of its points (its enclosing triangle too)
// inside that range.
#pragma once

#include <cmath>
#include <cstdint>

namespace vellum::mesh {

__extension__ typedef __int128 i128;
__extension__ typedef unsigned __int128 u128;

struct GridPoint {
  int64_t x = 0, y = 0;
  friend bool operator==(const GridPoint&, const GridPoint&) = default;
};

inline i128 cross(GridPoint a, GridPoint b, GridPoint c) {
  return i128(b.x - a.x) * (c.y - a.y) - i128(b.y - a.y) * (c.x - a.x);
}

// +1 when a -> b -> c turns counter-clockwise, -1 clockwise, 0 collinear. Decided in double
// precision unless the standard filter's error bound says it may be wrong.
inline int orientation(GridPoint a, GridPoint b, GridPoint c) {
  const double left = double(b.x - a.x) * double(c.y - a.y), right = double(b.y - a.y) * double(c.x - a.x);
  const double det = left - right, bound = 3.3306690738754716e-16 * (std::fabs(left) + std::fabs(right));
  if (det > bound) return 1;
  if (-det > bound) return -1;
  const i128 d = cross(a, b, c);
  return (d > 0) - (d < 0);
}

namespace detail {

// A signed 256-bit integer, two's complement, least significant word first: just enough for
// the in-circle determinant's exact value (at most 2^217 for coordinates within 2^52).
struct I256 {
  uint64_t w[4] = {0, 0, 0, 0};
};

inline I256 negate(I256 a) {
  unsigned carry = 1;
  for (uint64_t& x : a.w) {
    x = ~x + carry;
    carry = carry && x == 0;
  }
  return a;
}

inline I256 multiply(i128 a, i128 b) {
  const bool negative = (a < 0) != (b < 0);
  const u128 ua = a < 0 ? -u128(a) : u128(a), ub = b < 0 ? -u128(b) : u128(b);
  const uint64_t a0 = uint64_t(ua), a1 = uint64_t(ua >> 64), b0 = uint64_t(ub), b1 = uint64_t(ub >> 64);
  const u128 p00 = u128(a0) * b0, p01 = u128(a0) * b1, p10 = u128(a1) * b0, p11 = u128(a1) * b1;
  I256 r;
  r.w[0] = uint64_t(p00);
  const u128 mid = (p00 >> 64) + uint64_t(p01) + uint64_t(p10);
  r.w[1] = uint64_t(mid);
  const u128 high = (mid >> 64) + (p01 >> 64) + (p10 >> 64) + uint64_t(p11);
  r.w[2] = uint64_t(high);
  r.w[3] = uint64_t((high >> 64) + (p11 >> 64));
  return negative ? negate(r) : r;
}

inline I256 add(I256 a, const I256& b) {
  unsigned carry = 0;
  for (int i = 0; i < 4; ++i) {
    const u128 s = u128(a.w[i]) + b.w[i] + carry;
    a.w[i] = uint64_t(s);
    carry = unsigned(s >> 64);
  }
  return a;
}

inline int sign(const I256& a) {
  if (int64_t(a.w[3]) < 0) return -1;
  return (a.w[0] | a.w[1] | a.w[2] | a.w[3]) != 0;
}

inline int inCircleExact(GridPoint a, GridPoint b, GridPoint c, GridPoint d) {
  const int64_t adx = a.x - d.x, ady = a.y - d.y, bdx = b.x - d.x, bdy = b.y - d.y, cdx = c.x - d.x, cdy = c.y - d.y;
  const i128 alift = i128(adx) * adx + i128(ady) * ady;
  const i128 blift = i128(bdx) * bdx + i128(bdy) * bdy;
  const i128 clift = i128(cdx) * cdx + i128(cdy) * cdy;
  const i128 bc = i128(bdx) * cdy - i128(bdy) * cdx;
  const i128 ca = i128(cdx) * ady - i128(cdy) * adx;
  const i128 ab = i128(adx) * bdy - i128(ady) * bdx;
  return sign(add(add(multiply(alift, bc), multiply(blift, ca)), multiply(clift, ab)));
}

}  // namespace detail

// +1 when d lies strictly inside the circle through a, b, c (counter-clockwise), -1 outside,
// 0 on it. A double-precision evaluation decides unless its error bound says it may be wrong
// (the differences are exact, so the bound of the standard filter is conservative here).
inline int inCircle(GridPoint a, GridPoint b, GridPoint c, GridPoint d) {
  const double adx = double(a.x - d.x), ady = double(a.y - d.y), bdx = double(b.x - d.x), bdy = double(b.y - d.y),
               cdx = double(c.x - d.x), cdy = double(c.y - d.y);
  const double bdxcdy = bdx * cdy, cdxbdy = cdx * bdy, cdxady = cdx * ady, adxcdy = adx * cdy, adxbdy = adx * bdy,
               bdxady = bdx * ady;
  const double alift = adx * adx + ady * ady, blift = bdx * bdx + bdy * bdy, clift = cdx * cdx + cdy * cdy;
  const double det = alift * (bdxcdy - cdxbdy) + blift * (cdxady - adxcdy) + clift * (adxbdy - bdxady);
  const double permanent = (std::fabs(bdxcdy) + std::fabs(cdxbdy)) * alift + (std::fabs(cdxady) + std::fabs(adxcdy)) * blift +
                           (std::fabs(adxbdy) + std::fabs(bdxady)) * clift;
  constexpr double kEpsilon = 0x1p-53;
  constexpr double kBound = (10.0 + 96.0 * kEpsilon) * kEpsilon;
  if (det > kBound * permanent) return 1;
  if (-det > kBound * permanent) return -1;
  return detail::inCircleExact(a, b, c, d);
}

}  // namespace vellum::mesh
