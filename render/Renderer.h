// The Cairo renderer behind both image patches: a structure of paint entries (render/PaintEntry.h)
// drawn into an 8-bit RGBA image.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>

#include "host/Image.h"
#include "host/Structure.h"
#include "path/QuartzPath.h"

typedef struct _cairo cairo_t;

namespace vellum {

// The pixel buffer a render patch keeps across executions; malloc'd memory (calloc gives
// zeroed pages lazily, which matters near the size limit).
struct FreeBitmap {
  void operator()(uint8_t* p) const { std::free(p); }
};
using BitmapBuffer = std::unique_ptr<uint8_t[], FreeBitmap>;

// The smallest flatness the renderer honours: the minimum of every flatness port, and what a
// flatness that is not a positive number means here (Cairo would recurse without end on a NaN
// tolerance).
inline constexpr double kMinFlatness = 0.0001;

// Images larger than this on either side, or holding more than kMaxImageBytes of pixels, are
// refused: the renderer answers nothing. Automatic size follows the drawing, so a stray
// coordinate of 1e9 must not turn into a request for terabytes.
inline constexpr uint64_t kMaxImageSide = 16384;
inline constexpr uint64_t kMaxImageBytes = uint64_t(1) << 30;

// The union of the drawable entries' bounds merged with the origin, so the answer always
// contains (0, 0); an empty structure gives (0, 0, 0, 0). With `includeStroke`, an entry that is
// not fill-only grows by its path's line width on every side. Entries that are not structures,
// have no path, a path without elements, or a path with a non-finite coordinate are skipped.
Rect bezierPathStructureBounds(const Structure& members, bool includeStroke);

// Keeps `buffer` when needed <= capacity < 2 x needed; otherwise replaces it by `needed`
// zeroed bytes and sets capacity = needed. False (and no buffer) when memory runs out.
bool reserveBitmapBuffer(BitmapBuffer& buffer, uint64_t& capacity, uint64_t needed);

// A colour value as the renderer paints it: straight RGBA, each component in 0..1 (a
// component that is not a number counts as 0). Nothing for a value that is not a colour.
std::optional<Color> createCGColorFromColor(const Value& color);

// Draws `structure` (may be null) into a new image, or answers nothing: when the size is not
// positive, when it exceeds the limits above, or when memory runs out. Width or height <= 0
// (or not a number) selects automatic size: the drawing's bezierPathStructureBounds with the
// stroke margin, translated so its lower-left corner is the image's. The caller's buffer is
// reused under reserveBitmapBuffer's rule, and freed when the answer is nothing; the image
// holds its own copy of the pixels.
std::shared_ptr<Image> renderBezierPathStructure(const Structure* structure, double flatness, double width,
                                                 double height, bool antialias, const Value& backgroundColor,
                                                 BitmapBuffer& bitmap, uint64_t& bitmapSize);

// Appends the path's elements to the context's current path (no transform of ours applied).
void appendPath(cairo_t* cr, const QuartzPath& path);

namespace render_detail {
// The box size that approximates a Gaussian of standard deviation sigma by three box blurs:
// floor(sigma * 3 * sqrt(2 pi) / 4 + 0.5); 0 for sigma <= 0 or not a number.
uint64_t boxBlurSize(double sigma);
// Blurs an 8-bit plane (rows `stride` bytes apart) in place with three box blurs of size d per
// axis, counting samples outside the plane as 0. Odd d: three centred boxes; even d: a box of d
// half a pixel to the left, one half a pixel to the right, then a centred box of d + 1.
void gaussianLikeBlur(uint8_t* plane, int width, int height, int stride, uint64_t d);
// Lays `color` (straight, components 0..1) through an 8-bit mask over a block of native A R G B
// pixels, exactly as Cairo's mask operation does.
void shadeWithMask(uint8_t* pixels, ptrdiff_t stride, const uint8_t* mask, ptrdiff_t maskStride, int width,
                   int height, const Color& color);
// How far that blur carries a sample, on either side: 3 floor(d / 2), one less for even d.
inline constexpr uint64_t boxBlurReach(uint64_t d) { return d <= 1 ? 0 : 3 * (d / 2) - (d % 2 ? 0 : 1); }
// Larger shadow blurs are treated as this one: it keeps every size computation in range, and
// at this radius any shape no larger than an image of kMaxImageSide pixels a side already
// spreads into less than one 8-bit step of shadow.
inline constexpr double kMaxShadowBlur = 1e6;
}  // namespace render_detail

}  // namespace vellum
