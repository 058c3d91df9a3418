// The messages between the plug-in and its triangulation worker (a separate process, so that a
// failure inside GTS can never end or stall the host). Both sides are built from one tree, so
// the framing is plain native-endian binary.
//
// Request:  Header, then count[0] vertices (x, y as doubles), count[1] constraints (a, b as
//           uint32 vertex indices, multiplicity as int32: the number of times the path runs
//           from a to b minus the number of times it runs from b to a), count[2] path segments
//           (x0, y0, x1, y1 as doubles; sent only when the outside test must look at segments
//           that are not constraints).
// Response: Reply, then count[0] new vertices (x, y as doubles; indices follow the request's
//           vertices), count[1] triangles (three uint32 vertex indices each, counter-clockwise).
#pragma once

#include <cstddef>
#include <cstdint>

namespace vellum::triangulation {

inline constexpr uint32_t kMagic = 0x54443256;  // "V2DT"

enum Flags : uint32_t {
  kConform = 1u << 0,
  kEvenOdd = 1u << 1,
  // Insert vertices first and mark constraints afterwards (otherwise constraints are made
  // first, then vertices, then constraints inserted).
  kVerticesFirst = 1u << 2,
  // The outside test evaluates the winding number of each triangle's centroid against the
  // segments sent, instead of the flood fill over constraint multiplicities.
  kSegmentWinding = 1u << 3,
  // Hand GTS y times 1.5 (exact on the grid): collinear points stay collinear, but the many
  // cocircular points of integer grids no longer are, which some of GTS's failures need.
  kStretch = 1u << 4,
  // Insert a random 1/64 of the vertices first, then a random 1/8 of the rest, then the rest,
  // each round in Morton order (otherwise Morton order throughout). Faster on large inputs;
  // Morton order throughout failed less often on integer grids.
  kRandomRounds = 1u << 5,
  // Hand GTS x + 3/8 y (exact on the grid): a shear keeps lines, crossings and orientation but
  // breaks the cocircular points of mirror-symmetric shapes ("db", "pq" in a serif face: each
  // glyph's mirror image beside it), which a stretch along y leaves cocircular.
  kShear = 1u << 6,
  // Hand GTS the points rotated by about 17 degrees, rounded: unlike the exact maps above this
  // breaks collinearity too (GTS fails on constraints along rows of collinear points, such as
  // the serifs of a line of capitals on one baseline). Triangles that come out with zero area
  // on the grid are left out; one that comes out reversed fails the call.
  kRotate = 1u << 7,
};

// Inputs above this many vertices try kRandomRounds first; below, insertion is cheap anyway.
inline constexpr size_t kRandomRoundsAbove = 4096;

enum Status : uint32_t {
  kOk = 0,
  // GTS answered, but the result failed a check (a constraint missing, a face lost).
  kFailed = 1,
  kBadRequest = 2,
};

struct Header {
  uint32_t magic = kMagic;
  uint32_t flags = 0;
  uint64_t count[3] = {0, 0, 0};
};

struct Constraint {
  uint32_t a, b;
  int32_t multiplicity;
};

struct Reply {
  uint32_t magic = kMagic;
  uint32_t status = kOk;
  uint64_t count[2] = {0, 0};
  // The worker ends after this answer (rather than freeing a large call's objects one by one);
  // the next request needs a new worker.
  uint32_t workerExits = 0;
  uint32_t reserved = 0;
};

}  // namespace vellum::triangulation
