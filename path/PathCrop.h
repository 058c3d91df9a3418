// Paths cut to the part of the plane a surface shows, so that coordinates far beyond Cairo's
// 24.8 fixed-point range (about 8.4 million pixels) never reach it.
#pragma once

#include <cstddef>
#include <vector>

#include "path/QuartzPath.h"

namespace vellum {

struct CropBox {
  double x0, y0, x1, y1;
};

// The path as a fill of it looks inside `box`: every segment is split where it crosses the
// box's edge lines and its points are moved onto the box, which keeps the winding number of
// every point inside; curves stay curves where they lie inside, parts of curves outside become
// their chords. Subpaths come out closed.
QuartzPath cropForFill(const QuartzPath& path, const CropBox& box);

// The path as a stroke of it looks inside `box`, when the stroke reaches no farther than the
// box's margin: the parts outside are left out, so a subpath leaving the box continues as a
// new one where it comes back. `pieceStarts` gets, per subpath of the answer, how far along
// its original subpath it starts (for dashes); curves are measured flattened to `flatness`.
struct StrokePieces {
  QuartzPath path;
  std::vector<double> starts;  // one per subpath of `path`
  std::vector<size_t> firsts;  // the element each subpath of `path` starts at

  QuartzPath piece(size_t k) const;
};
StrokePieces cropForStroke(const QuartzPath& path, const CropBox& box, double flatness);

}  // namespace vellum
