#include "render/Renderer.h"

#include <cairo.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>
#include <numbers>
#include <vector>

#include "path/BezierPath.h"
#include "path/ElementWalk.h"
#include "path/PathCrop.h"
#include "render/PaintEntry.h"

namespace vellum {

namespace {

struct CairoDeleter {
  void operator()(cairo_t* cr) const { cairo_destroy(cr); }
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
  void operator()(cairo_pattern_t* p) const { cairo_pattern_destroy(p); }
};
using Context = std::unique_ptr<cairo_t, CairoDeleter>;
using Surface = std::unique_ptr<cairo_surface_t, CairoDeleter>;
using Pattern = std::unique_ptr<cairo_pattern_t, CairoDeleter>;

// A dash pattern so fine that the stroke would be cut into more periods than this is drawn
// solid: Cairo's dasher walks every period, so the work must stay bounded.
constexpr double kMaxDashPeriods = 1 << 20;
// Box blurs above this size are done on a coverage plane scaled down to keep them near it.
constexpr uint64_t kMaxFullResolutionBox = 128;
constexpr double kReducedBox = 64;

bool isFinite(const Rect& r) {
  return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
         std::isfinite(r.size.height);
}

// The path of an entry the renderer draws and measures, or null: a path with elements, every
// coordinate finite. A NaN or infinite coordinate has no place in a bitmap; such an entry is a
// bad member and is skipped like one.
std::shared_ptr<const BezierPath> drawablePath(const Value& value) {
  auto path = value.objectAs<BezierPath>();
  if (!path || path->isEmpty()) return nullptr;
  const ElementWalk walk(*path);
  for (size_t i = 0; i < walk.size(); ++i)
    for (const Point& p : walk.points(i))
      if (!std::isfinite(p.x) || !std::isfinite(p.y)) return nullptr;
  return path;
}
std::shared_ptr<const BezierPath> drawablePath(const Structure& entry) { return drawablePath(entry.memberForKey(paint::kPath)); }

// An entry's "clip": one path, or a structure of paths that all apply. Empty when any of them
// is unusable, which clips everything away.
std::vector<std::shared_ptr<const BezierPath>> clipPaths(const Value& clip) {
  std::vector<std::shared_ptr<const BezierPath>> paths;
  if (const StructureRef all = clip.structure()) {
    for (const Structure::Member member : *all) {
      auto path = drawablePath(member.value);
      if (!path) return {};
      paths.push_back(std::move(path));
    }
  } else if (auto path = drawablePath(clip)) {
    paths.push_back(std::move(path));
  }
  return paths;
}

// NaN, infinite and negative widths draw no stroke and add no stroke margin. Wider strokes
// than kMaxLineWidth are drawn at that width: Cairo works in 24.8 fixed point, and a stroke
// whose outline leaves that range comes out as garbage, while 2^22 pixels already covers any
// image around a path near it.
constexpr double kMaxLineWidth = 1 << 22;
double drawnLineWidth(const BezierPath& path) {
  double w = path.lineWidth();
  return std::isfinite(w) && w > 0 ? std::min(w, kMaxLineWidth) : 0;
}

bool isFillOnly(const Structure& entry) { return entry.memberForKey(paint::kStrokeFill).integerValue() == paint::kFillOnly; }

// Length of the control polygon: never shorter than the path it bounds.
double controlPolygonLength(const BezierPath& path) {
  ElementWalk walk(path);
  double length = 0;
  Point last{};
  for (size_t i = 0; i < walk.size(); ++i) {
    const BezierPathElement kind = walk.kind(i);
    const std::span<const Point> q = walk.points(i);
    const Point end = walk.next(i);
    if (kind == BezierPathElement::CurveTo)
      length += std::hypot(q[0].x - last.x, q[0].y - last.y) + std::hypot(q[1].x - q[0].x, q[1].y - q[0].y) +
                std::hypot(q[2].x - q[1].x, q[2].y - q[1].y);
    else if (kind != BezierPathElement::MoveTo)
      length += std::hypot(end.x - last.x, end.y - last.y);
    last = end;
  }
  return length;
}

// How one entry is painted, read once and used for the shape and for its shadow's coverage.
struct EntryPaint {
  bool fill = false, stroke = false, evenOdd = false;
  std::optional<Color> fillColor, strokeColor;
  double lineWidth = 0, miterLimit = 10, dashPhase = 0;
  cairo_line_cap_t cap = CAIRO_LINE_CAP_BUTT;
  cairo_line_join_t join = CAIRO_LINE_JOIN_MITER;
  std::vector<double> dash;  // empty: solid
  std::shared_ptr<cairo_pattern_t> fillPattern, strokePattern;  // gradients, drawn instead of the colours
};

// A "fill-gradient" or "stroke-gradient" member as a Cairo gradient, or null when the member is
// absent or unusable (then the colour is drawn). See render/PaintEntry.h for the members.
std::shared_ptr<cairo_pattern_t> gradientPattern(const Value& value) {
  const StructureRef g = value.structure();
  if (!g) return nullptr;
  const StructureRef stops = g->memberForKey(paint::kGradientStops).structure();
  const StructureRef m = g->memberForKey(paint::kGradientMatrix).structure();
  if (!stops || stops->count() == 0 || !m || m->count() != 6) return nullptr;
  auto number = [&](const char* key) { return g->memberForKey(key).doubleValue(); };
  cairo_matrix_t toDrawing;
  cairo_matrix_init(&toDrawing, m->memberAtIndex(0).doubleValue(), m->memberAtIndex(1).doubleValue(),
                    m->memberAtIndex(2).doubleValue(), m->memberAtIndex(3).doubleValue(),
                    m->memberAtIndex(4).doubleValue(), m->memberAtIndex(5).doubleValue());
  if (cairo_matrix_invert(&toDrawing) != CAIRO_STATUS_SUCCESS) return nullptr;
  const std::string* kind = g->memberForKey(paint::kGradientKind).string();
  const auto& l = paint::kLinearCoordinates;
  const auto& r = paint::kRadialCoordinates;  // cx cy r fx fy fr
  cairo_pattern_t* p = kind && *kind == paint::kRadial
                           ? cairo_pattern_create_radial(number(r[3]), number(r[4]), std::max(0.0, number(r[5])),
                                                         number(r[0]), number(r[1]), std::max(0.0, number(r[2])))
                           : cairo_pattern_create_linear(number(l[0]), number(l[1]), number(l[2]), number(l[3]));
  std::shared_ptr<cairo_pattern_t> pattern(p, cairo_pattern_destroy);
  if (cairo_pattern_status(p) != CAIRO_STATUS_SUCCESS) return nullptr;
  cairo_pattern_set_matrix(p, &toDrawing);
  const std::string* spread = g->memberForKey(paint::kGradientSpread).string();
  cairo_pattern_set_extend(p, spread && *spread == "reflect"  ? CAIRO_EXTEND_REFLECT
                              : spread && *spread == "repeat" ? CAIRO_EXTEND_REPEAT
                                                              : CAIRO_EXTEND_PAD);
  for (const Structure::Member member : *stops) {
    const StructureRef stop = member.value.structure();
    const std::optional<Color> c = stop ? createCGColorFromColor(stop->memberForKey(paint::kStopColor)) : std::nullopt;
    if (!c) continue;
    const double offset = stop->memberForKey(paint::kStopOffset).doubleValue();
    cairo_pattern_add_color_stop_rgba(p, std::isfinite(offset) ? std::clamp(offset, 0.0, 1.0) : 0, c->red, c->green,
                                      c->blue, c->alpha);
  }
  return cairo_pattern_status(p) == CAIRO_STATUS_SUCCESS ? pattern : nullptr;
}

EntryPaint entryPaint(const Structure& entry, const BezierPath& path) {
  EntryPaint p;
  const int64_t mode = entry.memberForKey(paint::kStrokeFill).integerValue();
  p.fill = mode == paint::kFillOnly || mode == paint::kFillThenStroke;
  p.evenOdd = path.windingRule() == EvenOddWindingRule;
  p.fillColor = createCGColorFromColor(entry.memberForKey(paint::kFill));
  p.strokeColor = createCGColorFromColor(entry.memberForKey(paint::kStroke));
  if (entry.hasKey(paint::kFillGradient)) p.fillPattern = gradientPattern(entry.memberForKey(paint::kFillGradient));
  if (entry.hasKey(paint::kStrokeGradient))
    p.strokePattern = gradientPattern(entry.memberForKey(paint::kStrokeGradient));
  p.lineWidth = drawnLineWidth(path);
  p.stroke = mode != paint::kFillOnly && p.lineWidth > 0;
  switch (path.lineCapStyle()) {
    case RoundLineCapStyle: p.cap = CAIRO_LINE_CAP_ROUND; break;
    case SquareLineCapStyle: p.cap = CAIRO_LINE_CAP_SQUARE; break;
    default: p.cap = CAIRO_LINE_CAP_BUTT; break;
  }
  switch (path.lineJoinStyle()) {
    case RoundLineJoinStyle: p.join = CAIRO_LINE_JOIN_ROUND; break;
    case BevelLineJoinStyle: p.join = CAIRO_LINE_JOIN_BEVEL; break;
    default: p.join = CAIRO_LINE_JOIN_MITER; break;
  }
  const double miter = path.miterLimit();
  p.miterLimit = std::isnan(miter) ? 10 : std::max(miter, 0.0);

  // A pattern Cairo cannot hold (a negative or non-finite length, or nothing but zeros) would
  // put the context into a permanent error state; it means a solid line.
  const std::vector<double>& dash = path.lineDash();
  if (p.stroke && !dash.empty()) {
    double period = 0;
    bool valid = true;
    for (double length : dash) {
      if (!std::isfinite(length) || length < 0) valid = false;
      period += length;
    }
    if (dash.size() % 2) period *= 2;
    if (valid && period > 0 && std::isfinite(period) && controlPolygonLength(path) / period <= kMaxDashPeriods) {
      p.dash = dash;
      p.dashPhase = std::isfinite(path.dashPhase()) ? path.dashPhase() : 0;
    }
  }
  return p;
}

// How far from the path a stroke of it can paint: half the width, or the miter tip, or a
// square cap's corner.
double strokeReach(const EntryPaint& p) {
  if (!p.stroke || !p.strokeColor) return 0;
  double factor = 1;
  if (p.join == CAIRO_LINE_JOIN_MITER) factor = std::max(factor, p.miterLimit);
  if (p.cap == CAIRO_LINE_CAP_SQUARE) factor = std::max(factor, std::numbers::sqrt2);
  return p.lineWidth / 2 * factor;
}

// Device coordinates up to this size reach Cairo as they are (its fixed-point range ends at
// 2^23, and the widest stroke adds up to 2^21 around the path).
constexpr double kFixedPointSafe = 1 << 22;

// The box, in drawing coordinates, that a path reaching beyond kFixedPointSafe is cut to: what
// the surface shows (its clip), grown by the stroke's reach and two pixels of antialiasing.
// Nothing when the path can be drawn as it is.
std::optional<CropBox> farCropBox(cairo_t* cr, const QuartzPath& path, const EntryPaint& p) {
  const ElementWalk walk(path);
  if (walk.size() == 0) return std::nullopt;
  const Point first = walk.points(0)[0];
  double x0 = first.x, y0 = first.y, x1 = x0, y1 = y0;
  for (size_t i = 0; i < walk.size(); ++i)
    for (const Point& q : walk.points(i)) {
      x0 = std::min(x0, q.x), x1 = std::max(x1, q.x);
      y0 = std::min(y0, q.y), y1 = std::max(y1, q.y);
    }
  bool safe = true;
  for (Point corner : {Point{x0, y0}, Point{x0, y1}, Point{x1, y0}, Point{x1, y1}}) {
    cairo_user_to_device(cr, &corner.x, &corner.y);
    safe = safe && std::abs(corner.x) <= kFixedPointSafe && std::abs(corner.y) <= kFixedPointSafe;
  }
  if (safe) return std::nullopt;
  CropBox box;
  cairo_clip_extents(cr, &box.x0, &box.y0, &box.x1, &box.y1);
  double aa = 2, aaY = 2;
  cairo_device_to_user_distance(cr, &aa, &aaY);
  const double margin = std::min(strokeReach(p), kFixedPointSafe) + std::max(std::abs(aa), std::abs(aaY));
  return CropBox{box.x0 - margin, box.y0 - margin, box.x1 + margin, box.y1 + margin};
}

// The stroke of a path cut by farCropBox. A dashed stroke whose pieces start part way along
// their subpaths is stroked piece by piece, each with the dash offset it has there; the pieces
// go through an opaque group so that where two overlap the colour is not laid on twice.
void strokeCropped(cairo_t* cr, const QuartzPath& path, const CropBox& box, const EntryPaint& p) {
  StrokePieces pieces = cropForStroke(path, box, p.dash.empty() ? 0 : cairo_get_tolerance(cr));
  const Color& c = *p.strokeColor;
  cairo_new_path(cr);
  if (p.dash.empty() || std::all_of(pieces.starts.begin(), pieces.starts.end(), [](double s) { return s == 0; })) {
    appendPath(cr, pieces.path);
    if (p.strokePattern) cairo_set_source(cr, p.strokePattern.get());
    else cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha);
    cairo_stroke(cr);
    return;
  }
  cairo_push_group(cr);
  if (p.strokePattern) cairo_set_source(cr, p.strokePattern.get());
  else cairo_set_source_rgba(cr, c.red, c.green, c.blue, 1);
  for (size_t k = 0; k < pieces.starts.size(); ++k) {
    appendPath(cr, pieces.piece(k));
    cairo_set_dash(cr, p.dash.data(), int(p.dash.size()), p.dashPhase + pieces.starts[k]);
    cairo_stroke(cr);
  }
  cairo_pop_group_to_source(cr);
  cairo_paint_with_alpha(cr, c.alpha);
}

void paintEntry(cairo_t* cr, const QuartzPath& path, const EntryPaint& p) {
  const std::optional<CropBox> crop = farCropBox(cr, path, p);
  if (crop)
    appendPath(cr, cropForFill(path, *crop));
  else
    appendPath(cr, path);
  cairo_set_fill_rule(cr, p.evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
  if (p.fill && p.fillColor) {
    const Color& c = *p.fillColor;
    if (p.fillPattern) cairo_set_source(cr, p.fillPattern.get());
    else cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha);
    cairo_fill_preserve(cr);
  }
  if (p.stroke && p.strokeColor) {
    cairo_set_line_width(cr, p.lineWidth);
    cairo_set_line_cap(cr, p.cap);
    cairo_set_line_join(cr, p.join);
    cairo_set_miter_limit(cr, p.miterLimit);
    cairo_set_dash(cr, p.dash.data(), int(p.dash.size()), p.dashPhase);
    const Color& c = *p.strokeColor;
    if (crop) {
      strokeCropped(cr, path, *crop, p);
    } else {
      if (p.strokePattern) cairo_set_source(cr, p.strokePattern.get());
      else cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha);
      cairo_stroke_preserve(cr);
    }
  }
  cairo_new_path(cr);
}

struct Shadow {
  double dx = 0, dy = 0, blur = 0;  // pixels, y up
  Color color;
};

// An entry's shadow, or nothing when it casts none: no "shadow" member, no colour (or a clear
// one), or an offset that is not finite (a shadow at infinity lands on no pixel).
std::optional<Shadow> entryShadow(const Structure& entry) {
  if (!entry.hasKey(paint::kShadow)) return std::nullopt;
  std::optional<Color> color = createCGColorFromColor(entry.memberForKey(paint::kShadowColor));
  if (!color || color->alpha <= 0) return std::nullopt;
  Shadow s;
  if (const Size* offset = entry.memberForKey(paint::kShadowOffset).size()) {
    s.dx = offset->width;
    s.dy = offset->height;
  }
  if (!std::isfinite(s.dx) || !std::isfinite(s.dy)) return std::nullopt;
  const double blur = entry.memberForKey(paint::kShadowBlur).doubleValue();
  s.blur = blur > 0 ? std::min(blur, render_detail::kMaxShadowBlur) : 0;
  s.color = *color;
  return s;
}

// A box of whole pixels, [x0, x1) x [y0, y1).
struct PixelBox {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool empty() const { return x0 >= x1 || y0 >= y1; }
};

// The smallest box holding every sample of a w x h plane (rows `stride` bytes apart) that
// `inked` finds non-zero; empty when there is none. Samples are of type T; runs of zero bytes
// are skipped eight at a time.
template <class T, class Inked>
PixelBox inkedBox(const uint8_t* data, int w, int h, ptrdiff_t stride, Inked inked) {
  constexpr int kRun = 8 / sizeof(T);
  PixelBox box{w, h, 0, 0};
  auto at = [](const uint8_t* row, int x) {
    T v;
    std::memcpy(&v, row + x * ptrdiff_t(sizeof(T)), sizeof(T));
    return v;
  };
  auto zeroRun = [&](const uint8_t* row, int x) {
    uint64_t run;
    std::memcpy(&run, row + x * ptrdiff_t(sizeof(T)), 8);
    return run == 0;
  };
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = data + y * stride;
    int first = 0;
    while (first + kRun <= w && zeroRun(row, first)) first += kRun;
    while (first < w && !inked(at(row, first))) ++first;
    if (first == w) continue;
    int last = w;
    while (last - kRun > first && zeroRun(row, last - kRun)) last -= kRun;
    while (!inked(at(row, last - 1))) --last;
    box.x0 = std::min(box.x0, first), box.x1 = std::max(box.x1, last);
    box.y0 = std::min(box.y0, y), box.y1 = y + 1;
  }
  return box;
}

// The shape of an entry drawn once into a surface of its own at device pixel (x, y), when its
// shadow took its coverage from it: it is laid over the image instead of drawing the entry
// again.
struct Ink {
  Surface surface;
  int x = 0, y = 0;
};

// A shadow moved by a fraction of a pixel reuses the shape's pixels, interpolated the rest of
// the way, only from this blur on: below it the interpolation's softening would show.
constexpr double kSmoothShadowSigma = 4;
// Reusing the shape costs in proportion to its box (a surface of its own, laid over the image),
// drawing it again in proportion to its outline: only small shapes gain.
constexpr double kMaxReusedInkArea = 256 * 256;

// Fills `plane` (w x h, rows `stride` apart) with the alpha of `ink` moved by (dx, dy) device
// pixels, sample (x, y) of the plane being device pixel (x0 + x, y0 + y); the fractional part
// of the offset interpolates between neighbouring pixels.
void moveInkAlpha(const Ink& ink, double dx, double dy, int x0, int y0, uint8_t* plane, int w, int h,
                  ptrdiff_t stride) {
  const uint8_t* from = cairo_image_surface_get_data(ink.surface.get());
  const ptrdiff_t fromStride = cairo_image_surface_get_stride(ink.surface.get());
  const int iw = cairo_image_surface_get_width(ink.surface.get());
  const int ih = cairo_image_surface_get_height(ink.surface.get());
  const int alpha = std::endian::native == std::endian::little ? 3 : 0;  // of the native A R G B word
  // The alpha with clear rows above and below and a clear column between rows, so that each
  // moved sample reads its four neighbours without a test.
  const ptrdiff_t pw = iw + 1;
  std::vector<uint8_t> a(size_t(pw) * size_t(ih + 2) + 1);
  for (int r = 0; r < ih; ++r) {
    const uint8_t* src = from + r * fromStride + alpha;
    uint8_t* to = a.data() + (r + 1) * pw + 1;
    for (int c = 0; c < iw; ++c) to[c] = src[4 * c];
  }
  const double sx = std::floor(dx), sy = std::floor(dy);
  const int wx1 = int(std::lround((dx - sx) * 256)), wy1 = int(std::lround((dy - sy) * 256));
  const int wx0 = 256 - wx1, wy0 = 256 - wy1;
  // Plane sample (x, y) is ink pixel (c, r) = (x + ox, y + oy) moved the fraction of a pixel
  // on: it mixes ink pixels c and c - 1, r and r - 1, which exist for c in [0, iw], r in [0, ih].
  const int ox = x0 - int(sx) - ink.x, oy = y0 - int(sy) - ink.y;
  const int xa = std::max(0, -ox), xb = std::min(w, iw + 1 - ox);
  for (int y = std::max(0, -oy); y < std::min(h, ih + 1 - oy); ++y) {
    const uint8_t* lower = a.data() + (y + oy) * pw + ox;  // row r - 1, at column c - 1 for x
    const uint8_t* upper = lower + pw;
    uint8_t* to = plane + y * stride;
    for (int x = xa; x < xb; ++x)
      to[x] = uint8_t((wy0 * (wx0 * upper[x + 1] + wx1 * upper[x]) + wy1 * (wx0 * lower[x + 1] + wx1 * lower[x]) +
                       32768) >> 16);
  }
}

// The shadow of one entry, painted under the shape: the coverage of fill and stroke together,
// moved by the offset into an alpha plane that reaches as far as the blur can carry it into the
// image, blurred, then used as a mask for the shadow colour.
//
// When the ink lies inside the image (so that nothing clips it, exactly as when it is drawn
// there directly), the coverage is the alpha of the shape drawn once, which is returned to be
// laid over the image: the entry is rasterized once instead of twice. Otherwise the coverage is
// drawn on its own, and the answer holds no surface.
Ink paintShadow(cairo_t* target, int width, int height, double tolerance, const BezierPath& path,
                const QuartzPath& qpath, const EntryPaint& p, const Shadow& s) {
  // The ink's box in device pixels: control points (which enclose the curves) grown by the
  // farthest a stroke reaches.
  Rect box = path.controlPointBounds();
  const double reach = 1 + strokeReach(p);  // with a pixel of antialiasing
  double x0 = box.origin.x, y0 = box.origin.y, x1 = x0 + box.size.width, y1 = y0 + box.size.height;
  cairo_user_to_device(target, &x0, &y0);
  cairo_user_to_device(target, &x1, &y1);
  const double dx = s.dx, dy = -s.dy;  // device rows run down
  const double ex0 = std::min(x0, x1) - reach + dx, ex1 = std::max(x0, x1) + reach + dx;  // moved
  const double ey0 = std::min(y0, y1) - reach + dy, ey1 = std::max(y0, y1) + reach + dy;

  const double sigma = s.blur / 2;
  const uint64_t d = render_detail::boxBlurSize(sigma);
  // Wide blurs are smooth: do them on a plane scaled down by `scale` so the box stays small,
  // which bounds both the plane's size and the time, whatever the blur.
  const double scale = d > kMaxFullResolutionBox ? std::ceil(double(d) / kReducedBox) : 1;
  const uint64_t ds = scale == 1 ? d : render_detail::boxBlurSize(sigma / scale);
  // How far the blur carries a sample, in plane samples and in device pixels: exact at full
  // resolution; a reduced plane also spreads by the filter that scales it back up.
  const int planeReach = int(scale == 1 ? render_detail::boxBlurReach(d) : uint64_t(std::ceil(3 * (double(ds) / 2 + 1))));
  const double blurReach = planeReach * scale;

  // Where the shadow can land: within the image, within the blur's reach of the moved ink.
  const double tx0 = std::max(0.0, std::floor(ex0 - blurReach)), ty0 = std::max(0.0, std::floor(ey0 - blurReach));
  const double tx1 = std::min(double(width), std::ceil(ex1 + blurReach));
  const double ty1 = std::min(double(height), std::ceil(ey1 + blurReach));
  if (!(tx0 < tx1 && ty0 < ty1)) return {};

  // The ink's box in whole pixels, where it is drawn when reused.
  const double ix0 = std::floor(ex0 - dx), ix1 = std::ceil(ex1 - dx), iy0 = std::floor(ey0 - dy), iy1 = std::ceil(ey1 - dy);
  Ink ink;
  const bool whole = dx == std::floor(dx) && dy == std::floor(dy);
  const bool reuse = scale == 1 && (whole || sigma >= kSmoothShadowSigma) && ix0 >= 0 && iy0 >= 0 &&
                     ix1 <= double(width) && iy1 <= double(height) && (ix1 - ix0) * (iy1 - iy0) <= kMaxReusedInkArea;
  Surface coverage;
  PixelBox inked;  // in plane samples
  double bx0 = 0, by0 = 0;  // the plane's corner in device pixels
  if (reuse) {
    ink.x = int(ix0), ink.y = int(iy0);
    ink.surface.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(ix1 - ix0), int(iy1 - iy0)));
    if (cairo_surface_status(ink.surface.get()) != CAIRO_STATUS_SUCCESS) return {};
    {
      Context ic(cairo_create(ink.surface.get()));
      cairo_set_tolerance(ic.get(), tolerance);
      cairo_set_antialias(ic.get(), cairo_get_antialias(target));
      cairo_matrix_t ctm;
      cairo_get_matrix(target, &ctm);
      cairo_translate(ic.get(), -ix0, -iy0);
      cairo_transform(ic.get(), &ctm);
      paintEntry(ic.get(), qpath, p);
    }
    cairo_surface_flush(ink.surface.get());
    const PixelBox a = inkedBox<uint32_t>(cairo_image_surface_get_data(ink.surface.get()),
                                          cairo_image_surface_get_width(ink.surface.get()),
                                          cairo_image_surface_get_height(ink.surface.get()),
                                          cairo_image_surface_get_stride(ink.surface.get()),
                                          [](uint32_t argb) { return argb >> 24 != 0; });
    if (a.empty()) return ink;
    // The moved ink, in device pixels (a fraction of a pixel reaches one further), and the
    // plane around it as far as the blur carries it, where that can still reach the image.
    const double mx0 = ink.x + a.x0 + std::floor(dx), mx1 = ink.x + a.x1 + std::ceil(dx);
    const double my0 = ink.y + a.y0 + std::floor(dy), my1 = ink.y + a.y1 + std::ceil(dy);
    bx0 = std::max(tx0, mx0) - planeReach, by0 = std::max(ty0, my0) - planeReach;
    const double bx1 = std::min(tx1, mx1) + planeReach, by1 = std::min(ty1, my1) + planeReach;
    if (!(bx0 < bx1 && by0 < by1)) return ink;
    coverage.reset(cairo_image_surface_create(CAIRO_FORMAT_A8, int(bx1 - bx0), int(by1 - by0)));
    if (cairo_surface_status(coverage.get()) != CAIRO_STATUS_SUCCESS) return ink;
    moveInkAlpha(ink, dx, dy, int(bx0), int(by0), cairo_image_surface_get_data(coverage.get()), int(bx1 - bx0),
                 int(by1 - by0), cairo_image_surface_get_stride(coverage.get()));
    inked = {0, 0, int(bx1 - bx0), int(by1 - by0)};
  } else {
    // The plane covers that area grown by the blur's reach, so the blur sees every sample that
    // can reach a pixel of the area; beyond the ink's own reach all of it would stay 0.
    bx0 = std::max(tx0 - blurReach, std::floor(ex0 - blurReach));
    by0 = std::max(ty0 - blurReach, std::floor(ey0 - blurReach));
    const double bx1 = std::min(tx1 + blurReach, std::ceil(ex1 + blurReach));
    const double by1 = std::min(ty1 + blurReach, std::ceil(ey1 + blurReach));
    const int bw = int(std::ceil((bx1 - bx0) / scale)), bh = int(std::ceil((by1 - by0) / scale));
    coverage.reset(cairo_image_surface_create(CAIRO_FORMAT_A8, bw, bh));
    if (cairo_surface_status(coverage.get()) != CAIRO_STATUS_SUCCESS) return {};
    {
      Context cc(cairo_create(coverage.get()));
      cairo_set_tolerance(cc.get(), tolerance);
      cairo_set_antialias(cc.get(), cairo_get_antialias(target));
      cairo_matrix_t ctm;
      cairo_get_matrix(target, &ctm);
      cairo_scale(cc.get(), 1 / scale, 1 / scale);
      cairo_translate(cc.get(), dx - bx0, dy - by0);
      cairo_transform(cc.get(), &ctm);
      paintEntry(cc.get(), qpath, p);
    }
    cairo_surface_flush(coverage.get());
    // The box is loose (control points, the longest miter): blur only around what was drawn.
    inked = inkedBox<uint8_t>(cairo_image_surface_get_data(coverage.get()), bw, bh,
                              cairo_image_surface_get_stride(coverage.get()), [](uint8_t a) { return a != 0; });
    if (inked.empty()) return {};
    inked = {std::max(0, inked.x0 - planeReach), std::max(0, inked.y0 - planeReach),
             std::min(bw, inked.x1 + planeReach), std::min(bh, inked.y1 + planeReach)};
  }
  uint8_t* plane = cairo_image_surface_get_data(coverage.get());
  const int stride = cairo_image_surface_get_stride(coverage.get());
  render_detail::gaussianLikeBlur(plane + ptrdiff_t(inked.y0) * stride + inked.x0, inked.x1 - inked.x0,
                                  inked.y1 - inked.y0, stride, ds);
  cairo_surface_mark_dirty(coverage.get());

  Pattern mask(cairo_pattern_create_for_surface(coverage.get()));
  cairo_matrix_t toPlane;
  cairo_matrix_init_scale(&toPlane, 1 / scale, 1 / scale);
  cairo_matrix_translate(&toPlane, -bx0, -by0);
  cairo_pattern_set_matrix(mask.get(), &toPlane);
  cairo_pattern_set_filter(mask.get(), scale == 1 ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_BILINEAR);
  // Only where the blurred plane can be non-zero and the image shows it.
  const double cx0 = std::max(tx0, bx0 + inked.x0 * scale), cy0 = std::max(ty0, by0 + inked.y0 * scale);
  const double cx1 = std::min(tx1, bx0 + inked.x1 * scale), cy1 = std::min(ty1, by0 + inked.y1 * scale);
  if (cx0 < cx1 && cy0 < cy1 && scale == 1) {
    cairo_surface_t* image = cairo_get_target(target);
    cairo_surface_flush(image);
    const ptrdiff_t imageStride = cairo_image_surface_get_stride(image);
    const int x = int(cx0), y = int(cy0), w = int(cx1 - cx0), h = int(cy1 - cy0);
    render_detail::shadeWithMask(cairo_image_surface_get_data(image) + y * imageStride + 4 * x, imageStride,
                                 plane + (y - int(by0)) * stride + (x - int(bx0)), stride, w, h, s.color);
    cairo_surface_mark_dirty_rectangle(image, x, y, w, h);
  } else if (cx0 < cx1 && cy0 < cy1) {
    cairo_save(target);
    cairo_identity_matrix(target);
    cairo_rectangle(target, cx0, cy0, cx1 - cx0, cy1 - cy0);
    cairo_clip(target);
    cairo_set_source_rgba(target, s.color.red, s.color.green, s.color.blue, s.color.alpha);
    cairo_mask(target, mask.get());
    cairo_restore(target);
  }
  return ink;
}

// Lays the shape drawn by paintShadow over the image.
void paintInk(cairo_t* cr, const Ink& ink) {
  cairo_save(cr);
  cairo_identity_matrix(cr);
  cairo_set_source_surface(cr, ink.surface.get(), ink.x, ink.y);
  cairo_rectangle(cr, ink.x, ink.y, cairo_image_surface_get_width(ink.surface.get()),
                  cairo_image_surface_get_height(ink.surface.get()));
  cairo_fill(cr);
  cairo_restore(cr);
}

}  // namespace

void appendPath(cairo_t* cr, const QuartzPath& path) {
  const ElementWalk walk(path);
  for (size_t i = 0; i < walk.size(); ++i) {
    const std::span<const Point> q = walk.points(i);
    switch (walk.kind(i)) {
      case BezierPathElement::MoveTo: cairo_move_to(cr, q[0].x, q[0].y); break;
      case BezierPathElement::LineTo: cairo_line_to(cr, q[0].x, q[0].y); break;
      case BezierPathElement::CurveTo: cairo_curve_to(cr, q[0].x, q[0].y, q[1].x, q[1].y, q[2].x, q[2].y); break;
      default: cairo_close_path(cr); break;
    }
  }
}

// ---- shared operations ------------------------------------------------------------------

Rect bezierPathStructureBounds(const Structure& members, bool includeStroke) {
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  for (const Structure::Member& member : members) {
    StructureRef entry = member.value.structure();
    if (!entry) continue;
    auto path = drawablePath(*entry);
    if (!path) continue;
    Rect r = path->bounds();
    if (includeStroke && !isFillOnly(*entry)) {
      const double w = drawnLineWidth(*path);
      r = {{r.origin.x - w, r.origin.y - w}, {r.size.width + 2 * w, r.size.height + 2 * w}};
    }
    if (!isFinite(r)) continue;  // finite points whose box overflows
    x0 = std::min(x0, r.origin.x);
    y0 = std::min(y0, r.origin.y);
    x1 = std::max(x1, r.origin.x + r.size.width);
    y1 = std::max(y1, r.origin.y + r.size.height);
  }
  return {{x0, y0}, {x1 - x0, y1 - y0}};
}

bool reserveBitmapBuffer(BitmapBuffer& buffer, uint64_t& capacity, uint64_t needed) {
  // capacity / 2 < needed is capacity < 2 x needed without the overflow.
  if (buffer && needed <= capacity && capacity / 2 < needed) return true;
  buffer.reset();
  if (needed > SIZE_MAX) return false;
  buffer.reset(static_cast<uint8_t*>(std::calloc(needed ? size_t(needed) : 1, 1)));
  if (!buffer) return false;
  capacity = needed;
  return true;
}

std::optional<Color> createCGColorFromColor(const Value& value) {
  const Color* c = value.color();
  if (!c) return std::nullopt;
  auto unit = [](double x) { return std::isnan(x) ? 0.0 : std::clamp(x, 0.0, 1.0); };
  return Color::colorWithRed(unit(c->red), unit(c->green), unit(c->blue), unit(c->alpha));
}

// ---- the renderer -----------------------------------------------------------------------

std::shared_ptr<Image> renderBezierPathStructure(const Structure* structure, double flatness, double width,
                                                 double height, bool antialias, const Value& backgroundColor,
                                                 BitmapBuffer& bitmap, uint64_t& bitmapSize) {
  static const Structure kNoMembers;
  const Structure& members = structure ? *structure : kNoMembers;
  auto answerNothing = [&]() -> std::shared_ptr<Image> {
    bitmap.reset();  // the capacity keeps its value; it only matters while there is a buffer
    return nullptr;
  };

  // Either side not positive (NaN included) means automatic size for both.
  const bool automatic = !(width > 0) || !(height > 0);
  const Rect r = automatic ? bezierPathStructureBounds(members, true) : Rect{{0, 0}, {width, height}};
  if (!(r.size.width > 0) || !(r.size.height > 0)) return answerNothing();
  if (!(r.size.width <= double(kMaxImageSide)) || !(r.size.height <= double(kMaxImageSide))) return answerNothing();
  const uint64_t w = uint64_t(std::ceil(r.size.width)), h = uint64_t(std::ceil(r.size.height));
  const uint64_t bytesPerRow = 4 * w, needed = h * bytesPerRow;
  if (needed > kMaxImageBytes) return answerNothing();

  try {
    if (!reserveBitmapBuffer(bitmap, bitmapSize, needed)) return answerNothing();
    // The buffer holds Cairo's native pixels while drawing; they become R, G, B, A bytes when
    // the image is taken.
    const std::optional<Color> bg = createCGColorFromColor(backgroundColor);
    // An opaque background covers every pixel by itself.
    if (!bg || bg->alpha < 1) std::memset(bitmap.get(), 0, needed);
    Surface surface(
        cairo_image_surface_create_for_data(bitmap.get(), CAIRO_FORMAT_ARGB32, int(w), int(h), int(bytesPerRow)));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return answerNothing();
    Context context(cairo_create(surface.get()));
    cairo_t* cr = context.get();
    const double tolerance = flatness > 0 ? flatness : kMinFlatness;
    cairo_set_tolerance(cr, tolerance);
    cairo_set_antialias(cr, antialias ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
    if (bg) {
      cairo_set_source_rgba(cr, bg->red, bg->green, bg->blue, bg->alpha);
      cairo_rectangle(cr, 0, 0, double(w), double(h));
      cairo_fill(cr);
    }
    // Drawing space: y up from the lower-left corner; at automatic size the drawing's
    // lower-left corner is the image's.
    cairo_translate(cr, 0, double(h));
    cairo_scale(cr, 1, -1);
    if (automatic) cairo_translate(cr, -r.origin.x, -r.origin.y);

    for (const Structure::Member& member : members) {
      StructureRef entry = member.value.structure();
      if (!entry) continue;
      auto path = drawablePath(*entry);
      if (!path) continue;
      const EntryPaint paint = entryPaint(*entry, *path);
      const QuartzPath qpath = path->quartzPath();
      Ink ink;
      if (std::optional<Shadow> shadow = entryShadow(*entry))
        ink = paintShadow(cr, int(w), int(h), tolerance, *path, qpath, paint, *shadow);
      // Clip paths (finite, with elements) limit the entry; an unusable one clips everything away.
      if (entry->hasKey(paint::kClip)) {
        const auto clips = clipPaths(entry->memberForKey(paint::kClip));
        if (clips.empty()) continue;
        cairo_save(cr);
        for (const auto& clip : clips) {
          appendPath(cr, clip->quartzPath());
          cairo_set_fill_rule(cr, clip->windingRule() == EvenOddWindingRule ? CAIRO_FILL_RULE_EVEN_ODD
                                                                            : CAIRO_FILL_RULE_WINDING);
          cairo_clip(cr);
        }
        if (ink.surface) paintInk(cr, ink);
        else paintEntry(cr, qpath, paint);
        cairo_restore(cr);
        continue;
      }
      if (ink.surface) paintInk(cr, ink);
      else paintEntry(cr, qpath, paint);
    }
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) return answerNothing();
    cairo_surface_flush(surface.get());

    // Cairo keeps each pixel as one native-endian 32-bit word A R G B; the image wants bytes.
    std::vector<uint8_t> rgba(needed);
    const uint8_t* from = bitmap.get();
    uint8_t* to = rgba.data();
    for (uint64_t i = 0; i < needed; i += 4) {
      uint32_t px;
      std::memcpy(&px, from + i, 4);
      // Word-wide so that the loop vectorises: on a little-endian machine the bytes R G B A
      // are the word A B G R, i.e. A R G B with R and B swapped.
      if constexpr (std::endian::native == std::endian::little)
        px = (px & 0xFF00FF00u) | ((px >> 16) & 0xFFu) | ((px & 0xFFu) << 16);
      else
        px = (px << 8) | (px >> 24);
      std::memcpy(to + i, &px, 4);
    }
    return std::make_shared<Image>(int(w), int(h), std::move(rgba));
  } catch (const std::bad_alloc&) {
    return answerNothing();
  }
}

}  // namespace vellum
