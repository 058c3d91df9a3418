// Stroke settings (dash, miter limit, joins and caps) and the drop shadow.
#include <cairo.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <random>
#include <tuple>
#include <vector>

#include "RenderTestSupport.h"

namespace vellum::test {
namespace {

struct SurfaceDeleter {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// ---- stroke settings ----------------------------------------------------------------------

// A horizontal line across a 40 x 10 image at y = 5, two units wide, dashed as given; answers
// which of its 40 columns are painted, as a string of '#' and '.'.
std::string dashColumns(std::vector<double> dash, double phase, double length = 40, double flatness = 0.01) {
  auto path = linePath({0, 5}, {length, 5});
  path->setLineWidth(2);
  path->setLineDash(std::move(dash), phase);
  Structure s = structureOf({entry(path, 0, kRed, std::nullopt)});
  Renderer render;
  auto image = render(&s, 40, 10, Value(), true, flatness);
  std::string out;
  for (int x = 0; image && x < 40; ++x) {
    const Px p = at(*image, x, 4);
    EXPECT_TRUE(p == kOpaqueRed || p == kClear) << x << " " << p;
    out += p == kOpaqueRed ? '#' : '.';
  }
  return out;
}

TEST(Dash, PatternsAndPhases) {
  const std::string solid(40, '#'), fiveThree = "#####...#####...#####...#####...#####...";
  // Dash, phase and the columns painted.
  const std::vector<std::tuple<std::vector<double>, double, std::string>> rows = {
      {{5, 3}, 0, fiveThree},
      {{5, 3}, 2, "###...#####...#####...#####...#####...##"},  // starts part way into the pattern
      {{4, 2, 3}, 0, "####..###....##...####..###....##...####"},  // odd count: on and off swap
      // Non-finite phases mean no phase.
      {{5, 3}, kNaN, fiveThree}, {{5, 3}, kInf, fiveThree}, {{5, 3}, -kInf, fiveThree},
      // Patterns Cairo cannot hold draw a solid line.
      {{0}, 0, solid}, {{0, 0}, 0, solid}, {{5, -3}, 0, solid}, {{-1}, 0, solid},
      {{kNaN, 3}, 0, solid}, {{5, kInf}, 0, solid}, {{-kInf, 2}, 0, solid},
  };
  for (const auto& [dash, phase, columns] : rows)
    EXPECT_EQ(dashColumns(dash, phase), columns) << dash.size() << " " << dash[0] << " phase " << phase;
  // 4e6 units at a period of 0.02 would be 2e8 dashes: drawn solid instead, in bounded time.
  EXPECT_EQ(dashColumns({0.01, 0.01}, 0, 4e6, 0.0001), solid);
}

// A right angle, 10 units wide: its outer miter corner is at (45, 45); a bevel cuts the line
// x + y = 85, leaving the pixel (44, 44) outside, and so does a round join.
Structure corner(double miterLimit, int join) {
  auto path = linePath({10, 40}, {40, 40});
  path->lineToPoint({40, 10});
  path->setLineWidth(10);
  path->setMiterLimit(miterLimit);
  path->setLineJoinStyle(join);
  return structureOf({entry(path, 0, kRed, std::nullopt)});
}

// The miter of a right angle is sqrt(2) widths long: a lower limit bevels. NaN means the
// default (10), infinity always miters. A square cap reaches past the end; butt and unknown
// caps do not.
TEST(LineStyles, MiterLimitJoinsAndCaps) {
  std::vector<Drawing> rows = {{"round join", corner(10, RoundLineJoinStyle), 50, 50, 50, 50, {{44, 44, kClear}}}};
  for (auto [limit, mitered] : {std::pair{10.0, true}, {1.42, true}, {kNaN, true}, {kInf, true}, {0.0, false},
                                {1.0, false}, {1.41, false}, {-5.0, false}})
    rows.push_back({"miter limit " + std::to_string(limit), corner(limit, MiterLineJoinStyle), 50, 50, 50, 50,
                    {{44, 44, mitered ? kOpaqueRed : kClear}, {41, 41, kOpaqueRed}}});
  for (auto [cap, reaches] : {std::pair{0, false}, {int(SquareLineCapStyle), true}, {7, false}}) {
    auto path = linePath({10, 10}, {20, 10});
    path->setLineWidth(4);
    path->setLineCapStyle(cap);
    rows.push_back({"cap " + std::to_string(cap), structureOf({entry(path, 0, kRed, std::nullopt)}), 30, 20, 30, 20,
                    {{21, 10, reaches ? kOpaqueRed : kClear}, {19, 10, kOpaqueRed}}});
  }
  for (const Drawing& d : rows) expectDrawing(d);
}

// ---- blur ---------------------------------------------------------------------------------

// The box for a blur radius s is s * 3 sqrt(2 pi) / 4 + 1/2, truncated.
TEST(ShadowBlur, BoxSizeFollowsTheGaussianApproximation) {
  const std::pair<double, uint64_t> rows[] = {{2.5, 5}, {25, 47}, {1, 2}, {0.25, 0}, {0, 0}, {-4, 0}, {kNaN, 0}};
  for (auto [radius, size] : rows) EXPECT_EQ(render_detail::boxBlurSize(radius), size) << radius;
}

// A bright vertical line spreads exactly as far as the renderer sizes a shadow's plane for: the
// boxes' outermost weight still rounds to a step for these sizes.
TEST(ShadowBlur, ALineSpreadsExactlyTheBoxesReach) {
  for (int d = 2; d <= 7; ++d) {
    const int n = 41, c = 20;
    std::vector<uint8_t> plane(size_t(n) * n, 0);
    for (int y = 0; y < n; ++y) plane[size_t(y) * n + c] = 255;
    render_detail::gaussianLikeBlur(plane.data(), n, n, n, uint64_t(d));
    const uint8_t* row = &plane[size_t(c) * n];
    int first = 0, last = n - 1;
    while (row[first] == 0) ++first;
    while (row[last] == 0) --last;
    EXPECT_EQ(c - first, int(render_detail::boxBlurReach(uint64_t(d)))) << d;
    EXPECT_EQ(last - c, int(render_detail::boxBlurReach(uint64_t(d)))) << d;
  }
}

// The blur as it was first written (floats and a prefix array per line): the running sums
// must give the same bytes to within one step. Each axis is three boxes: for an odd size d,
// three centred boxes of d; for an even one, two boxes of d half a pixel either side and a
// centred box of d + 1, so that the kernel is centred again.
void referenceBlur(uint8_t* plane, int width, int height, int stride, uint64_t d) {
  if (d <= 1 || width <= 0 || height <= 0) return;
  const int64_t box = int64_t(std::min<uint64_t>(d, uint64_t(1) << 40));
  std::vector<float> line(size_t(std::max(width, height))), scratch(line.size());
  std::vector<double> prefix(line.size() + 1);
  auto pass = [&](const float* in, float* out, int n, int64_t size, int64_t left) {
    for (int i = 0; i < n; ++i) prefix[size_t(i) + 1] = prefix[size_t(i)] + in[i];
    for (int i = 0; i < n; ++i) {
      const int64_t a = std::clamp<int64_t>(i - left, 0, n), b = std::clamp<int64_t>(i - left + size, 0, n);
      out[i] = float((prefix[size_t(b)] - prefix[size_t(a)]) / double(size));
    }
  };
  auto blurLine = [&](uint8_t* first, ptrdiff_t step, int n) {
    for (int i = 0; i < n; ++i) line[size_t(i)] = first[i * step];
    if (box % 2) {
      for (int k = 0; k < 3; ++k) {
        pass(line.data(), scratch.data(), n, box, (box - 1) / 2);
        line.swap(scratch);
      }
    } else {
      pass(line.data(), scratch.data(), n, box, box / 2);
      pass(scratch.data(), line.data(), n, box, box / 2 - 1);
      pass(line.data(), scratch.data(), n, box + 1, box / 2);
      line.swap(scratch);
    }
    for (int i = 0; i < n; ++i) first[i * step] = uint8_t(std::clamp(std::lround(line[size_t(i)]), 0L, 255L));
  };
  for (int y = 0; y < height; ++y) blurLine(plane + y * stride, 1, width);
  for (int x = 0; x < width; ++x) blurLine(plane + x, stride, height);
}

TEST(ShadowBlur, MatchesTheFloatingPointBlurWithinOneStep) {
  // Sizes: none, small even and odd, the renderer's widest at full resolution, the widest with
  // 32-bit sums and beyond, boxes longer than the plane, the largest accepted.
  const uint64_t sizes[] = {0, 1, 2, 3, 4, 5, 8, 47, 128, 129, 203, 204, 300, 1000, uint64_t(1) << 40, ~uint64_t(0)};
  // width, height, stride: single rows and columns, a padded stride, more than one block.
  const int shapes[][3] = {{1, 1, 1}, {1, 70, 1}, {70, 1, 72}, {31, 17, 40}, {130, 150, 130}, {300, 90, 301}};
  std::mt19937 rng(7);
  for (const auto& [w, h, stride] : shapes)
    for (int fill = 0; fill < 2; ++fill) {
      // Noise, then sparse bright samples (large sums next to zeros).
      std::vector<uint8_t> plane(size_t(stride) * size_t(h));
      for (uint8_t& v : plane) v = fill ? (rng() % 16 ? 0 : 255) : uint8_t(rng());
      for (uint64_t d : sizes) {
        std::vector<uint8_t> ours = plane, theirs = plane;
        render_detail::gaussianLikeBlur(ours.data(), w, h, stride, d);
        referenceBlur(theirs.data(), w, h, stride, d);
        size_t unequal = 0;
        for (size_t i = 0; i < plane.size(); ++i) {
          ASSERT_LE(std::abs(int(ours[i]) - int(theirs[i])), 1) << w << "x" << h << " d " << d << " at " << i;
          unequal += ours[i] != theirs[i];
        }
        // Only rounding ties may differ.
        EXPECT_LE(unequal, plane.size() / 100) << w << "x" << h << " d " << d;
      }
    }
}

// ---- shadow -------------------------------------------------------------------------------

const Px kWhite{255, 255, 255, 255}, kHalfShadow{0, 0, 0, 128};

Structure shadowed(std::shared_ptr<BezierPath> path, int mode, Color fill, Size offset, double blur, Value color) {
  Structure e = entry(std::move(path), mode, kRed, fill);
  addShadow(e, offset, blur, std::move(color));
  return structureOf({e});
}

// A white 20 x 20 square at (20, 20), filled (or as `mode` says), with a shadow.
Structure squareWithShadow(Size offset, double blur, Value color, int mode = 1, Color fill = {1, 1, 1, 1}) {
  return shadowed(rectPath(20, 20, 20, 20), mode, fill, offset, blur, std::move(color));
}

// Drawn at 60 x 60.
Drawing in60(std::string what, Structure s, std::vector<Probe> probes, std::function<Px(int, int)> every = {}) {
  return {std::move(what), std::move(s), 60, 60, 60, 60, std::move(probes), std::move(every)};
}

bool inSquare(int x, int y) { return x >= 20 && x < 40 && y >= 20 && y < 40; }
Px squareAlone(int x, int y) { return inSquare(x, y) ? kWhite : kClear; }
// The square over its sharp shadow, 10 above it.
Px squareAndShadow(int x, int y) { return inSquare(x, y) ? kWhite : inSquare(x, y - 10) ? kOpaqueBlack : kClear; }

TEST(Shadow, Drawings) {
  auto wide = rectPath(20, 20, 20, 20);
  wide->setLineWidth(4);
  std::vector<Drawing> rows = {
      in60("up", squareWithShadow({0, 10}, 0, kBlack), {}, squareAndShadow),
      // At automatic size the drawing is translated; the shadow offset is in pixels regardless.
      {"right and down, at automatic size", shadowed(rectPath(-20, -20, 10, 10), 1, kRed, {5, -5}, 0, kBlack), 0, 0, 20,
       20, {}, [](int x, int y) {
         return x < 10 && y < 10 ? kOpaqueRed : x >= 5 && x < 15 && y < 5 ? kOpaqueBlack : kClear;
       }},
      in60("the shadow colour and its alpha", squareWithShadow({0, 10}, 0, Color{0, 0, 1, 0.6}),
           {{30, 45, {0, 0, 153, 153}}}),
      // A fill and a half-transparent stroke overlap; two shadows would darken where they meet.
      in60("fill and stroke cast one shadow", shadowed(wide, 2, {0, 1, 0, 1}, {0, 30}, 0, Color{0, 0, 0, 0.5}),
           {{21, 55, kHalfShadow}, {30, 55, kHalfShadow}}),
      in60("a half-transparent fill casts half a shadow", squareWithShadow({0, 10}, 0, kBlack, 1, {1, 1, 1, 0.5}),
           {{30, 45, kHalfShadow}}),
      // The left edge's shadow 30 below: a unit-wide line on x = 20 half covers two columns.
      in60("a stroke casts its outline's shadow", squareWithShadow({0, -30}, 0, kBlack, 0),
           {{19, 5, kHalfShadow, 1}, {20, 5, kHalfShadow, 1}, {30, 5, kClear}}),
      in60("an offset beyond the image", squareWithShadow({1e300, 1e300}, 5, kBlack), {}, squareAlone),
  };
  for (double blur : {-5.0, kNaN})
    rows.push_back(in60("blur " + std::to_string(blur) + " is sharp", squareWithShadow({0, 10}, blur, kBlack), {},
                        squareAndShadow));
  for (Value color : {Value(), Value(Color{0, 0, 0, 0}), Value("black")})
    rows.push_back(in60("no shadow colour", squareWithShadow({0, 10}, 0, color), {}, squareAlone));
  for (Size offset : {Size{kNaN, 0}, Size{0, kInf}, Size{-kInf, kNaN}})
    rows.push_back(in60("a non-finite offset", squareWithShadow(offset, 5, kBlack), {}, squareAlone));
  // Enormous blurs finish, and spread the shadow to nothing.
  for (double blur : {1e9, 1e300, kInf})
    rows.push_back(in60("blur " + std::to_string(blur), squareWithShadow({0, 10}, blur, kBlack), {}, squareAlone));
  for (const Drawing& d : rows) expectDrawing(d);
}

// The shadow square spans x 20 .. 40, y 40 .. 60: deep inside it stays near opaque, it fades
// outward symmetrically, the pixels just outside its edges under half and just inside over.
TEST(Shadow, BlurSoftensTheEdgeSymmetrically) {
  const Structure s = squareWithShadow({0, 20}, 10, kBlack);
  Renderer render;
  auto image = render(&s, 60, 60);
  ASSERT_TRUE(image);
  const int middle = alphaAt(*image, 30, 50), outside = alphaAt(*image, 19, 50), inside = alphaAt(*image, 20, 50);
  EXPECT_TRUE(middle > 235 && inside > 128 && inside < middle) << middle << " " << inside;
  EXPECT_NEAR(outside, 118, 10);
  EXPECT_EQ(std::pair(alphaAt(*image, 40, 50), alphaAt(*image, 39, 50)), std::pair(outside, inside));
  EXPECT_TRUE(alphaAt(*image, 15, 50) > 0 && alphaAt(*image, 15, 50) < outside);
  EXPECT_EQ(alphaAt(*image, 2, 50), 0);
}

TEST(Shadow, WideBlursAroundTheImageGiveANearlyEvenShadow) {
  // A frame far larger than the image around a clear 60 x 60 hole that is the image: under a
  // blur of 400 (done on a scaled-down plane) the hole fills with a shadow of about
  // 1 - (60 / (sqrt(2 pi) 200))^2 = 0.986, a little more towards its corners.
  auto frame = rectPath(-5000, -5000, 10060, 10060);
  frame->appendBezierPathWithRect({{0, 0}, {60, 60}});
  frame->setWindingRule(EvenOddWindingRule);
  const Structure s = shadowed(frame, 1, kRed, {0, 0}, 400, kBlack);
  Renderer render;
  auto image = render(&s, 60, 60);
  ASSERT_TRUE(image);
  const int centre = alphaAt(*image, 30, 30), corner = alphaAt(*image, 0, 59);
  EXPECT_NEAR(centre, 251, 3);
  EXPECT_GE(corner, centre);
  EXPECT_EQ(at(*image, 30, 30).r, 0);
}

// The shadow's colour goes through its mask exactly as Cairo's own mask operation lays it,
// over any premultiplied pixels, with rows that end part way through a block of eight.
TEST(ShadowBlur, ShadingMatchesCairosMaskByteForByte) {
  std::mt19937 rng(17);
  for (const Color& color : {Color{0, 0, 0, 0.5}, Color{1, 0.25, 0.8, 1}, Color{0.3, 0.9, 0.1, 0.004}}) {
    constexpr int kW = 37, kH = 5;
    Surface mask(cairo_image_surface_create(CAIRO_FORMAT_A8, kW, kH));
    Surface ours(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kW, kH)), cairos(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kW, kH));
    const int ms = cairo_image_surface_get_stride(mask.get()), ps = cairo_image_surface_get_stride(ours.get());
    for (int i = 0; i < kH * ms; ++i) cairo_image_surface_get_data(mask.get())[i] = uint8_t(rng() % 3 ? rng() : 255 * (rng() % 2));
    for (int i = 0; i < kH * ps; i += 4) {
      const uint8_t a = uint8_t(rng());
      for (int c = 0; c < 4; ++c) cairo_image_surface_get_data(ours.get())[i + c] = c == 3 ? a : uint8_t(rng() % (a + 1));
    }
    std::memcpy(cairo_image_surface_get_data(cairos.get()), cairo_image_surface_get_data(ours.get()), size_t(kH * ps));
    render_detail::shadeWithMask(cairo_image_surface_get_data(ours.get()), ps, cairo_image_surface_get_data(mask.get()),
                                 ms, kW, kH, color);
    cairo_surface_mark_dirty(cairos.get());
    cairo_surface_mark_dirty(mask.get());
    cairo_t* cr = cairo_create(cairos.get());
    cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha);
    cairo_mask_surface(cr, mask.get(), 0, 0);
    cairo_destroy(cr);
    cairo_surface_flush(cairos.get());
    EXPECT_EQ(std::memcmp(cairo_image_surface_get_data(ours.get()), cairo_image_surface_get_data(cairos.get()), size_t(kH * ps)), 0);
  }
}

// The shadow is the shape's own coverage moved, blurred and tinted: built by hand from the shape
// drawn alone (its alpha moved, blurred by the blur above, half black, the shape laid over it)
// it matches to within rounding, for a small star the renderer draws once and reuses and for a
// large one whose coverage it draws again. A fractional offset lies between the whole ones.
TEST(Shadow, IsTheShapesCoverageMovedBlurredAndTinted) {
  constexpr int kSide = 360;
  Renderer render;
  for (double radius : {30.0, 150.0})
    for (double blur : {0.0, 8.0, 40.0}) {
      SCOPED_TRACE(testing::Message() << "radius " << radius << ", blur " << blur);
      auto star = BezierPath::bezierPath();
      for (int i = 0; i < 10; ++i) {
        const double r = i % 2 ? radius / 2 : radius, angle = i * std::numbers::pi / 5;
        const Point p{180 + r * std::cos(angle), 180 + r * std::sin(angle)};
        i ? star->lineToPoint(p) : star->moveToPoint(p);
      }
      star->closePath();
      star->setLineWidth(3);
      const Color fill{1, 0.5, 0, 0.8}, half{0, 0, 0, 0.5};
      const Structure alone = structureOf({entry(star, 2, kRed, fill)});
      auto shape = render(&alone, kSide, kSide);
      auto withShadow = [&](double dx) {
        const Structure s = shadowed(star, 2, fill, {dx, -5}, blur, half);
        return render(&s, kSide, kSide);
      };
      auto got = withShadow(7);
      ASSERT_TRUE(shape && got);
      std::vector<uint8_t> plane(kSide * kSide);  // rows run down: (7, -5) moves 7 right, 5 down
      for (int y = 5; y < kSide; ++y)
        for (int x = 7; x < kSide; ++x) plane[size_t(y * kSide + x)] = shape->pixel(x - 7, y - 5)[3];
      render_detail::gaussianLikeBlur(plane.data(), kSide, kSide, kSide, render_detail::boxBlurSize(blur / 2));
      auto between = blur >= 8 ? std::array{withShadow(3), withShadow(3.5), withShadow(4)} : std::array<std::shared_ptr<Image>, 3>{};
      int worst = 0, outside = 0;
      for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
          for (int c = 0; c < 4; ++c) {
            const uint8_t* s = shape->pixel(x, y);
            const double under = c == 3 ? 0.5 * plane[size_t(y * kSide + x)] : 0;
            worst = std::max(worst, int(std::lround(std::abs(got->pixel(x, y)[c] - (s[c] + under * (255 - s[3]) / 255)))));
            if (!between[0]) continue;
            const int a = between[0]->pixel(x, y)[c], m = between[1]->pixel(x, y)[c], b = between[2]->pixel(x, y)[c];
            outside += m < std::min(a, b) - 1 || m > std::max(a, b) + 1;
          }
      EXPECT_LE(worst, 2);
      EXPECT_EQ(outside, 0);
    }
}

}  // namespace
}  // namespace vellum::test
