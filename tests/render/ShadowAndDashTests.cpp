// Stroke settings (dash, miter limit) and the drop shadow.
#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "RenderTestSupport.h"

namespace vellum::test {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// ---- dash ---------------------------------------------------------------------------------

// A horizontal line across a 40 x 10 image at y = 5, two units wide, dashed as given.
std::shared_ptr<Image> dashedLine(Renderer& render, std::vector<double> dash, double phase) {
  auto path = linePath({0, 5}, {40, 5});
  path->setLineWidth(2);
  path->setLineDash(std::move(dash), phase);
  Structure s = structureOf({entry(path, 0, kRed, std::nullopt)});
  return render(&s, 40, 10);
}

// Which of the 40 columns of the line are painted, as a string of '#' and '.'.
std::string dashColumns(const Image& image) {
  std::string out;
  for (int x = 0; x < 40; ++x) {
    Px p = at(image, x, 4);
    EXPECT_TRUE(p == kOpaqueRed || p == kClear) << x << " " << p;
    out += p == kOpaqueRed ? '#' : '.';
  }
  return out;
}

TEST(Dash, PatternsAndPhases) {
  const std::string solid(40, '#'), fiveThree = "#####...#####...#####...#####...#####...";
  struct Row {
    std::vector<double> dash;
    double phase;
    std::string columns;
  };
  const std::vector<Row> rows = {
      {{5, 3}, 0, fiveThree},
      {{5, 3}, 2, "###...#####...#####...#####...#####...##"},  // starts part way into the pattern
      {{4, 2, 3}, 0, "####..###....##...####..###....##...####"},  // odd count: on and off swap
      // Non-finite phases mean no phase.
      {{5, 3}, kNaN, fiveThree}, {{5, 3}, kInf, fiveThree}, {{5, 3}, -kInf, fiveThree},
      // Patterns Cairo cannot hold draw a solid line.
      {{0}, 0, solid}, {{0, 0}, 0, solid}, {{5, -3}, 0, solid}, {{-1}, 0, solid},
      {{kNaN, 3}, 0, solid}, {{5, kInf}, 0, solid}, {{-kInf, 2}, 0, solid},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.dash.size() << " " << row.dash[0] << " phase " << row.phase);
    Renderer render;
    auto image = dashedLine(render, row.dash, row.phase);
    ASSERT_TRUE(image);
    EXPECT_EQ(dashColumns(*image), row.columns);
  }
}

TEST(Dash, APatternTooFineForTheLineIsDrawnSolidInsteadOfCutForever) {
  // 4e6 units at a period of 0.02: 2e8 dashes. Drawn solid, in bounded time.
  auto path = linePath({0, 5}, {4e6, 5});
  path->setLineWidth(2);
  path->setLineDash({0.01, 0.01}, 0);
  Structure s = structureOf({entry(path, 0, kRed, std::nullopt)});
  Renderer render;
  auto image = render(&s, 40, 10, Value(), true, 0.0001);
  ASSERT_TRUE(image);
  EXPECT_EQ(dashColumns(*image), std::string(40, '#'));
}

// ---- miter limit --------------------------------------------------------------------------

// A right angle, 10 units wide: its outer miter corner is at (45, 45); a bevel cuts the line
// x + y = 85, leaving the pixel (44, 44) outside.
std::shared_ptr<Image> corner(double miterLimit, int join = MiterLineJoinStyle) {
  auto path = linePath({10, 40}, {40, 40});
  path->lineToPoint({40, 10});
  path->setLineWidth(10);
  path->setMiterLimit(miterLimit);
  path->setLineJoinStyle(join);
  Structure s = structureOf({entry(path, 0, kRed, std::nullopt)});
  Renderer render;
  return render(&s, 50, 50);
}

// The miter of a right angle is sqrt(2) widths long: a lower limit bevels. NaN means the
// default (10), infinity always miters.
TEST(MiterLimit, ARightAngleMitersUnlessTheLimitIsBelowTheRatio) {
  for (auto [limit, mitered] : {std::pair{10.0, true}, {1.42, true}, {kNaN, true}, {kInf, true}, {0.0, false},
                                {1.0, false}, {1.41, false}, {-5.0, false}}) {
    auto image = corner(limit);
    ASSERT_TRUE(image);
    EXPECT_EQ(at(*image, 44, 44), mitered ? kOpaqueRed : kClear) << limit;
    EXPECT_EQ(at(*image, 41, 41), kOpaqueRed) << limit;
  }
}

TEST(LineStyles, JoinsAndCapsComeFromThePath) {
  auto round = corner(10, RoundLineJoinStyle);
  ASSERT_TRUE(round);
  EXPECT_EQ(at(*round, 44, 44), kClear);
  auto path = linePath({10, 10}, {20, 10});
  path->setLineWidth(4);
  for (auto [cap, painted] : {std::pair{0, false}, {int(SquareLineCapStyle), true}, {7, false}}) {
    path->setLineCapStyle(cap);
    Structure s = structureOf({entry(path, 0, kRed, std::nullopt)});
    Renderer render;
    auto image = render(&s, 30, 20);
    ASSERT_TRUE(image);
    EXPECT_EQ(at(*image, 21, 10) == kOpaqueRed, painted) << cap;
    EXPECT_EQ(at(*image, 19, 10), kOpaqueRed);
  }
}

// ---- blur ---------------------------------------------------------------------------------

TEST(ShadowBlur, BoxSizeFollowsTheGaussianApproximation) {
  using render_detail::boxBlurSize;
  EXPECT_EQ(boxBlurSize(2.5), 5u);   // blur 5: 4.70 + 0.5
  EXPECT_EQ(boxBlurSize(25), 47u);   // blur 50: 46.999 + 0.5
  EXPECT_EQ(boxBlurSize(1), 2u);     // 1.88 + 0.5
  EXPECT_EQ(boxBlurSize(0.25), 0u);  // 0.47 + 0.5
  EXPECT_EQ(boxBlurSize(0), 0u);
  EXPECT_EQ(boxBlurSize(-4), 0u);
  EXPECT_EQ(boxBlurSize(kNaN), 0u);
}

// The blur of a single bright sample, computed the long way: each axis is the kernel of its
// three boxes, rounded to bytes after the horizontal axis.
std::vector<int> boxKernel(int d) {
  std::vector<int> k{1};
  auto convolve = [&](int size) {
    std::vector<int> out(k.size() + size - 1, 0);
    for (size_t i = 0; i < k.size(); ++i)
      for (int j = 0; j < size; ++j) out[i + j] += k[i];
    k = out;
  };
  // Odd: three centred boxes. Even: the two boxes of d sit half a pixel either side, so
  // together with the centred box of d + 1 the kernel is centred again.
  if (d % 2) {
    for (int i = 0; i < 3; ++i) convolve(d);
  } else {
    convolve(d);
    convolve(d);
    convolve(d + 1);
  }
  return k;  // centred on its middle element
}

void expectImpulseResponse(int d) {
  const int n = 31, c = 15, stride = 32;
  std::vector<uint8_t> plane(size_t(stride) * n, 0);
  plane[size_t(c) * stride + c] = 255;
  render_detail::gaussianLikeBlur(plane.data(), n, n, stride, uint64_t(d));
  const std::vector<int> k = boxKernel(d);
  const int half = int(k.size()) / 2;
  double total = 0;
  for (int v : k) total += v;
  ASSERT_EQ(int(k.size()) % 2, 1);
  EXPECT_EQ(half, int(render_detail::boxBlurReach(uint64_t(d))));
  auto weight = [&](int o) { return std::abs(o) <= half ? k[size_t(o + half)] : 0; };
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      const long row = std::lround(255.0 * weight(x - c) / total);  // the centre row, after the rows' pass
      const long expected = std::lround(double(row) * weight(y - c) / total);
      ASSERT_EQ(plane[size_t(y) * stride + x], expected) << "d " << d << " at " << x << "," << y;
    }
}

TEST(ShadowBlur, ThreeOddBoxesMakeTheExpectedKernel) {
  EXPECT_EQ(boxKernel(3), (std::vector<int>{1, 3, 6, 7, 6, 3, 1}));
  expectImpulseResponse(3);
  expectImpulseResponse(5);
}

TEST(ShadowBlur, EvenBoxesStayCentred) {
  EXPECT_EQ(boxKernel(2), (std::vector<int>{1, 3, 4, 3, 1}));
  expectImpulseResponse(2);
  expectImpulseResponse(4);
}

// The blur as it was first written (floats and a prefix array per line): the running sums
// must give the same bytes to within one step.
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

// A filled white 20 x 20 square at (20, 20) in a 60 x 60 image, with a shadow.
std::shared_ptr<Image> squareWithShadow(Size offset, double blur, Value color, int mode = 1) {
  auto path = rectPath(20, 20, 20, 20);
  Structure e = entry(path, mode, kRed, Color::colorWithRed(1, 1, 1, 1));
  addShadow(e, offset, blur, std::move(color));
  Structure s = structureOf({e});
  Renderer render;
  return render(&s, 60, 60);
}

TEST(Shadow, UpwardOffsetCastsTheShadowAboveTheShape) {
  const double a = 90 * 3.141592653589793 / 180;
  auto image = squareWithShadow({10 * std::cos(a), 10 * std::sin(a)}, 0, kBlack);
  ASSERT_TRUE(image);
  EXPECT_EQ(at(*image, 30, 45), kOpaqueBlack);  // above the square
  EXPECT_EQ(at(*image, 20, 49), kOpaqueBlack);
  EXPECT_EQ(at(*image, 39, 49), kOpaqueBlack);
  EXPECT_EQ(at(*image, 30, 50), kClear);
  EXPECT_EQ(at(*image, 19, 45), kClear);
  EXPECT_EQ(at(*image, 40, 45), kClear);
  EXPECT_EQ(at(*image, 30, 15), kClear);  // nothing below
  EXPECT_EQ(at(*image, 30, 30), (Px{255, 255, 255, 255}));  // the shape over its shadow
}

TEST(Shadow, OffsetXIsRightAndYIsUpWhateverTheDrawingTransform) {
  // At automatic size the drawing is translated; the shadow offset is in pixels regardless.
  auto path = rectPath(-20, -20, 10, 10);
  Structure e = entry(path, 1, kRed, kRed);
  addShadow(e, {5, -5}, 0, kBlack);
  Structure s = structureOf({e});
  Renderer render;
  auto image = render(&s, 0, 0);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->width(), 20);
  EXPECT_EQ(at(*image, 5, 5), kOpaqueRed);
  EXPECT_EQ(at(*image, 12, 3), kOpaqueBlack);  // right and down of the square at 0 .. 10
  EXPECT_EQ(at(*image, 12, 7), kClear);
}

TEST(Shadow, TheShadowColourAndItsAlphaTintTheShadow) {
  auto image = squareWithShadow({0, 10}, 0, Color::colorWithRed(0, 0, 1, 0.6));
  ASSERT_TRUE(image);
  EXPECT_EQ(at(*image, 30, 45), (Px{0, 0, 153, 153}));
}

TEST(Shadow, BlurSoftensTheEdgeSymmetrically) {
  auto image = squareWithShadow({0, 20}, 10, kBlack);
  ASSERT_TRUE(image);
  // The shadow square spans x 20 .. 40, y 40 .. 60. Deep inside it stays near opaque, its
  // edge is about half, and it fades outward.
  EXPECT_GT(alphaAt(*image, 30, 50), 235);
  const int left = alphaAt(*image, 19, 50), right = alphaAt(*image, 40, 50);
  EXPECT_NEAR(left, 118, 10);  // just under half: the pixel lies outside the edge
  EXPECT_EQ(left, right);
  EXPECT_EQ(alphaAt(*image, 20, 50), alphaAt(*image, 39, 50));
  EXPECT_GT(alphaAt(*image, 20, 50), 128);  // just inside: over half, under the middle
  EXPECT_LT(alphaAt(*image, 20, 50), alphaAt(*image, 30, 50));
  EXPECT_GT(alphaAt(*image, 15, 50), 0);
  EXPECT_LT(alphaAt(*image, 15, 50), left);
  EXPECT_EQ(alphaAt(*image, 2, 50), 0);
}

TEST(Shadow, FillAndStrokeCastOneShadow) {
  // A half-transparent fill and stroke overlap; two shadows would darken where they meet.
  auto path = rectPath(20, 20, 20, 20);
  path->setLineWidth(4);
  Structure e = entry(path, 2, Color::colorWithRed(1, 0, 0, 1), Color::colorWithRed(0, 1, 0, 1));
  addShadow(e, {0, 30}, 0, Color::colorWithRed(0, 0, 0, 0.5));
  Structure s = structureOf({e});
  Renderer render;
  auto image = render(&s, 60, 60);
  ASSERT_TRUE(image);
  // The shadow of the inner half of the outline (over the fill) and of the middle of the fill.
  EXPECT_EQ(at(*image, 21, 55), at(*image, 30, 55));
  EXPECT_EQ(alphaAt(*image, 30, 55), 128);
}

TEST(Shadow, ShadowsFollowTheShapesCoverageIncludingItsAlpha) {
  auto solid = squareWithShadow({0, 10}, 0, kBlack);
  auto faint = [&] {
    auto path = rectPath(20, 20, 20, 20);
    Structure e = entry(path, 1, kRed, Color::colorWithRed(1, 1, 1, 0.5));
    addShadow(e, {0, 10}, 0, kBlack);
    Structure s = structureOf({e});
    Renderer render;
    return render(&s, 60, 60);
  }();
  ASSERT_TRUE(solid && faint);
  EXPECT_EQ(alphaAt(*solid, 30, 45), 255);
  EXPECT_EQ(alphaAt(*faint, 30, 45), 128);
}

TEST(Shadow, NoShadowWithoutAShadowColour) {
  for (Value color : {Value(), Value(Color::colorWithRed(0, 0, 0, 0)), Value("black")}) {
    auto image = squareWithShadow({0, 10}, 0, color);
    ASSERT_TRUE(image);
    EXPECT_EQ(at(*image, 30, 45), kClear);
  }
}

TEST(Shadow, NonFiniteOffsetsCastNoShadowButTheShapeIsDrawn) {
  for (Size offset : {Size{kNaN, 0}, Size{0, kInf}, Size{-kInf, kNaN}}) {
    auto image = squareWithShadow(offset, 5, kBlack);
    ASSERT_TRUE(image);
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 60; ++x) {
        const bool inside = x >= 20 && x < 40 && y >= 20 && y < 40;
        ASSERT_EQ(at(*image, x, y), (inside ? Px{255, 255, 255, 255} : kClear)) << x << "," << y;
      }
  }
}

TEST(Shadow, AnOffsetBeyondTheImageLeavesNoTrace) {
  auto image = squareWithShadow({1e300, 1e300}, 5, kBlack);
  ASSERT_TRUE(image);
  EXPECT_EQ(at(*image, 45, 45), kClear);
  EXPECT_EQ(at(*image, 30, 30), (Px{255, 255, 255, 255}));
}

TEST(Shadow, EnormousBlursFinishAndSpreadTheShadowToNothing) {
  for (double blur : {1e9, 1e300, kInf}) {
    auto image = squareWithShadow({0, 10}, blur, kBlack);
    ASSERT_TRUE(image) << blur;
    EXPECT_EQ(at(*image, 30, 45), kClear) << blur;
    EXPECT_EQ(at(*image, 30, 30), (Px{255, 255, 255, 255})) << blur;
  }
}

TEST(Shadow, WideBlursAroundTheImageGiveANearlyEvenShadow) {
  // A frame far larger than the image around a clear 60 x 60 hole that is the image: under a
  // blur of 400 (done on a scaled-down plane) the hole fills with a shadow of about
  // 1 - (60 / (sqrt(2 pi) 200))^2 = 0.986, a little more towards its corners.
  auto path = rectPath(-5000, -5000, 10060, 10060);
  path->appendBezierPathWithRect({{0, 0}, {60, 60}});
  path->setWindingRule(EvenOddWindingRule);
  Structure e = entry(path, 1, kRed, kRed);
  addShadow(e, {0, 0}, 400, kBlack);
  Structure s = structureOf({e});
  Renderer render;
  auto image = render(&s, 60, 60);
  ASSERT_TRUE(image);
  const int centre = alphaAt(*image, 30, 30), corner = alphaAt(*image, 0, 59);
  EXPECT_NEAR(centre, 251, 3);
  EXPECT_GE(corner, centre);
  EXPECT_EQ(at(*image, 30, 30).r, 0);
}

TEST(Shadow, NegativeOrNaNBlursAreSharp) {
  auto sharp = squareWithShadow({0, 10}, 0, kBlack);
  for (double blur : {-5.0, kNaN}) {
    auto image = squareWithShadow({0, 10}, blur, kBlack);
    ASSERT_TRUE(image && sharp);
    EXPECT_EQ(image->data(), sharp->data()) << blur;
  }
}

TEST(Shadow, StrokedEntriesCastTheirOutlinesShadow) {
  auto image = squareWithShadow({0, -30}, 0, kBlack, 0);
  ASSERT_TRUE(image);
  // The shadow of the left edge, 30 below: a unit-wide line on x = 20 half covers two columns.
  EXPECT_NEAR(alphaAt(*image, 19, 5), 128, 1);
  EXPECT_EQ(alphaAt(*image, 20, 5), alphaAt(*image, 19, 5));
  EXPECT_EQ(at(*image, 30, 5), kClear);  // no fill, no shadow inside
}

}  // namespace
}  // namespace vellum::test
