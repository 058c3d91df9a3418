// The shared renderer: bounds, automatic and fixed sizes, the bitmap's format, painting modes,
// the buffer rule, the size limit and paths through far coordinates.
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <utility>
#include <vector>

#include "RenderTestSupport.h"

namespace vellum::test {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

void expectRect(const Rect& r, double x, double y, double w, double h) {
  EXPECT_DOUBLE_EQ(r.origin.x, x);
  EXPECT_DOUBLE_EQ(r.origin.y, y);
  EXPECT_DOUBLE_EQ(r.size.width, w);
  EXPECT_DOUBLE_EQ(r.size.height, h);
}

// ---- bounds -------------------------------------------------------------------------------

TEST(StructureBounds, StrokedLineGrowsByTheLineWidthAndMergesWithTheOrigin) {
  Structure s = structureOf({entry(linePath({10, 10}, {20, 20}), 0, kBlack, std::nullopt)});
  expectRect(bezierPathStructureBounds(s, true), 0, 0, 21, 21);
  expectRect(bezierPathStructureBounds(s, false), 0, 0, 20, 20);
}

TEST(StructureBounds, FillOnlyEntriesGetNoStrokeMargin) {
  Structure s = structureOf({entry(rectPath(-30, -30, 10, 10), 1, std::nullopt, kRed)});
  expectRect(bezierPathStructureBounds(s, true), -30, -30, 30, 30);
}

TEST(StructureBounds, FillAndStrokeAndUnknownModesGetTheMargin) {
  auto path = rectPath(0, 0, 10, 20);
  for (int mode : {0, 2, 5, -1}) {
    Structure s = structureOf({entry(path, mode, kBlack, kRed)});
    expectRect(bezierPathStructureBounds(s, true), -1, -1, 12, 22);
  }
}

TEST(StructureBounds, TheMarginIsTheFullLineWidth) {
  auto path = rectPath(10, 10, 10, 10);
  path->setLineWidth(4);
  Structure s = structureOf({entry(path, 0, kBlack, std::nullopt)});
  expectRect(bezierPathStructureBounds(s, true), 0, 0, 24, 24);
  path->setLineWidth(3.5);
  s = structureOf({entry(path, 0, kBlack, std::nullopt), entry(rectPath(-5, 40, 1, 1), 1, kBlack, kRed)});
  expectRect(bezierPathStructureBounds(s, true), -5, 0, 28.5, 41);
}

TEST(StructureBounds, EmptyAndUndrawableMembersAreSkipped) {
  expectRect(bezierPathStructureBounds({}, true), 0, 0, 0, 0);
  Structure s = structureOf({entry(nullptr, 0, kBlack, kRed), entry(BezierPath::bezierPath(), 0, kBlack, kRed)});
  s.addMember(42);
  s.addMember("path");
  expectRect(bezierPathStructureBounds(s, true), 0, 0, 0, 0);
}

TEST(StructureBounds, APathWithANonFiniteCoordinateIsSkipped) {
  Structure s = structureOf({entry(linePath({0, 0}, {kNaN, 5}), 0, kBlack, std::nullopt),
                             entry(linePath({0, 0}, {std::numeric_limits<double>::infinity(), 5}), 0, kBlack, std::nullopt),
                             entry(rectPath(2, 3, 4, 5), 1, kBlack, kRed)});
  expectRect(bezierPathStructureBounds(s, true), 0, 0, 6, 8);
}

TEST(StructureBounds, NaNAndNegativeLineWidthsAddNoMargin) {
  auto nanWidth = rectPath(10, 10, 10, 10);
  nanWidth->setLineWidth(kNaN);
  auto negative = rectPath(10, 10, 10, 10);
  negative->setLineWidth(-4);
  for (const auto& path : {nanWidth, negative}) {
    Structure s = structureOf({entry(path, 0, kBlack, std::nullopt)});
    expectRect(bezierPathStructureBounds(s, true), 0, 0, 20, 20);
  }
}

// ---- sizes --------------------------------------------------------------------------------

TEST(Renderer, AutomaticSizeOfAStrokedLineIs21By21WithoutTranslation) {
  Renderer render;
  Structure s = structureOf({entry(linePath({10, 10}, {20, 20}), 0, kBlue, std::nullopt)});
  auto image = render(&s, 0, 0);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width(), 21);
  EXPECT_EQ(image->height(), 21);
  // The diagonal runs through the centres of the pixels (10, 10) ... (19, 19), untranslated.
  for (int i = 10; i < 20; ++i) {
    Px p = at(*image, i, i);
    EXPECT_GT(p.a, 150) << i;
    EXPECT_EQ(p.r, 0);
    EXPECT_EQ(p.g, 0);
    EXPECT_EQ(p.b, p.a);  // opaque blue, premultiplied by its coverage
  }
  EXPECT_EQ(at(*image, 0, 0), kClear);
  EXPECT_EQ(at(*image, 5, 5), kClear);
  EXPECT_EQ(at(*image, 10, 19), kClear);
  EXPECT_EQ(at(*image, 20, 20), kClear);
}

TEST(Renderer, AutomaticSizeTranslatesARectangleAtNegativeCoordinatesToTheLowerLeft) {
  Renderer render;
  Structure s = structureOf({entry(rectPath(-30, -30, 10, 10), 1, kBlack, kRed)});
  auto image = render(&s, 0, 0);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->width(), 30);
  ASSERT_EQ(image->height(), 30);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 30; ++x) ASSERT_EQ(at(*image, x, y), (x < 10 && y < 10 ? kOpaqueRed : kClear)) << x << "," << y;
}

TEST(Renderer, AFractionalWidthRoundsUp) {
  Renderer render;
  Structure s = structureOf({entry(rectPath(0, 0, 10.2, 4), 1, kBlack, kRed)});
  auto image = render(&s, 0, 0);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width(), 11);
  EXPECT_EQ(image->height(), 4);
  EXPECT_EQ(at(*image, 9, 2), kOpaqueRed);
  // The last column is a fifth covered.
  EXPECT_NEAR(alphaAt(*image, 10, 2), 0.2 * 255, 1.5);
}

TEST(Renderer, AnOutlinedTenByTwentyRectangleAtTheOriginIs12By22) {
  Renderer render;
  Structure s = structureOf({entry(rectPath(0, 0, 10, 20), 0, kBlack, std::nullopt)});
  auto image = render(&s, 0, 0);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->width(), 12);
  ASSERT_EQ(image->height(), 22);
  // Translated by (1, 1): the left edge sits on x = 1, so its unit-wide line half covers the
  // columns 0 and 1; the inside stays clear.
  for (int col : {0, 1}) {
    Px p = at(*image, col, 11);
    EXPECT_NEAR(p.a, 128, 1) << col;
    EXPECT_EQ(p.r + p.g + p.b, 0);
  }
  EXPECT_EQ(at(*image, 2, 11), kClear);
  EXPECT_EQ(at(*image, 6, 11), kClear);
  EXPECT_NEAR(alphaAt(*image, 6, 21), 128, 1);  // top edge at y = 21
  EXPECT_NEAR(alphaAt(*image, 10, 11), 128, 1);  // right edge at x = 11
  EXPECT_NEAR(alphaAt(*image, 11, 11), 128, 1);
}

TEST(Renderer, FixedSizeDrawsAtPixelCoordinatesWithoutTranslation) {
  Renderer render;
  Structure s = structureOf({entry(rectPath(-5, -5, 10, 10), 1, kBlack, kRed)});
  auto image = render(&s, 20, 10);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width(), 20);
  EXPECT_EQ(image->height(), 10);
  EXPECT_EQ(at(*image, 4, 4), kOpaqueRed);
  EXPECT_EQ(at(*image, 5, 4), kClear);
  EXPECT_EQ(at(*image, 4, 5), kClear);
}

TEST(Renderer, OneSideNotPositiveMeansAutomaticSizeForBoth) {
  Renderer render;
  Structure s = structureOf({entry(rectPath(0, 0, 7, 9), 1, kBlack, kRed)});
  for (auto [w, h] : {std::pair{100.0, 0.0}, {0.0, 50.0}, {-3.0, 50.0}, {kNaN, 50.0}, {100.0, kNaN}}) {
    auto image = render(&s, w, h);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), 7);
    EXPECT_EQ(image->height(), 9);
  }
  auto fractional = render(&s, 3.5, 2.01);
  ASSERT_TRUE(fractional);
  EXPECT_EQ(fractional->width(), 4);
  EXPECT_EQ(fractional->height(), 3);
}

TEST(Renderer, NothingToDrawAtAutomaticSizeAnswersNothingAndFreesTheBuffer) {
  Renderer render;
  Structure s = structureOf({entry(rectPath(0, 0, 4, 4), 1, kBlack, kRed)});
  ASSERT_TRUE(render(&s, 0, 0));
  ASSERT_TRUE(render.bitmap);
  Structure empty;
  EXPECT_FALSE(render(&empty, 0, 0));
  EXPECT_FALSE(render.bitmap);
  EXPECT_EQ(render.capacity, 64u);  // kept: it only matters while there is a buffer
  EXPECT_FALSE(render(nullptr, 0, 0));
}

// ---- format -------------------------------------------------------------------------------

TEST(Renderer, BackgroundFillsEveryPixel) {
  Renderer render;
  auto image = render(nullptr, 64, 32, kRed);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->width(), 64);
  ASSERT_EQ(image->height(), 32);
  ASSERT_EQ(image->data().size(), 64u * 32 * 4);
  for (size_t i = 0; i < image->data().size(); i += 4) {
    ASSERT_EQ(image->data()[i], 255);
    ASSERT_EQ(image->data()[i + 1], 0);
    ASSERT_EQ(image->data()[i + 2], 0);
    ASSERT_EQ(image->data()[i + 3], 255);
  }
}

TEST(Renderer, BytesAreRedGreenBlueAlphaInThatOrder) {
  Renderer render;
  for (auto [color, expected] : {std::pair{Color::colorWithRed(1, 0, 0, 1), Px{255, 0, 0, 255}},
                                 {Color::colorWithRed(0, 1, 0, 1), Px{0, 255, 0, 255}},
                                 {Color::colorWithRed(0, 0, 1, 1), Px{0, 0, 255, 255}},
                                 {Color::colorWithRed(1, 1, 0, 1), Px{255, 255, 0, 255}}}) {
    auto image = render(nullptr, 3, 2, color);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bytesPerRow(), 12u);
    EXPECT_EQ(at(*image, 2, 1), expected);
  }
}

// Cairo carries a colour premultiplied in 16 bits (rounded) and stores the high byte.
int premultipliedByte(double component, double alpha) { return int(std::lround(component * alpha * 65535)) >> 8; }

TEST(Renderer, ColoursArePremultipliedByAlpha) {
  Renderer render;
  auto image = render(nullptr, 2, 2, Color::colorWithRed(1, 0, 0.2, 0.6));
  ASSERT_TRUE(image);
  EXPECT_EQ(premultipliedByte(1, 0.6), 153);
  EXPECT_EQ(premultipliedByte(0.2, 0.6), 30);  // 0.12 of full scale
  EXPECT_EQ(at(*image, 0, 0), (Px{153, 0, 30, 153}));
  // A half-transparent fill over a clear background keeps its premultiplied value.
  Structure s = structureOf({entry(rectPath(0, 0, 2, 2), 1, std::nullopt, Color::colorWithRed(0, 1, 0, 0.2))});
  image = render(&s, 2, 2);
  ASSERT_TRUE(image);
  EXPECT_EQ(at(*image, 1, 1), (Px{0, 51, 0, 51}));
}

TEST(Renderer, TheFirstRowOfTheBufferIsTheTopOfTheDrawing) {
  Renderer render;
  Structure s = structureOf({entry(rectPath(0, 3, 4, 1), 1, std::nullopt, kRed)});
  auto image = render(&s, 4, 4);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->data()[3], 255);              // row 0, column 0: alpha
  EXPECT_EQ(image->data()[4 * 4 + 3], 0);        // row 1
  EXPECT_EQ(image->data()[3 * 16 + 3], 0);       // last row
}

TEST(Renderer, AntialiasingOffGivesOnlyWholePixels) {
  Renderer render;
  Structure s = structureOf({entry(rectPath(0.3, 0.3, 5.4, 5.4), 1, std::nullopt, kRed)});
  auto smooth = render(&s, 8, 8, Color::colorWithRed(0, 0, 0, 0), true);
  ASSERT_TRUE(smooth);
  EXPECT_GT(alphaAt(*smooth, 0, 0), 0);
  EXPECT_LT(alphaAt(*smooth, 0, 0), 255);
  auto sharp = render(&s, 8, 8, Color::colorWithRed(0, 0, 0, 0), false);
  ASSERT_TRUE(sharp);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      int a = alphaAt(*sharp, x, y);
      ASSERT_TRUE(a == 0 || a == 255) << x << "," << y << " " << a;
    }
  EXPECT_EQ(at(*sharp, 3, 3), kOpaqueRed);
}

// ---- painting modes -----------------------------------------------------------------------

// A 40 x 40 square with a 20 x 20 hole: two subpaths turning the same way.
std::shared_ptr<BezierPath> squareWithHole(int windingRule) {
  auto p = rectPath(0, 0, 40, 40);
  p->appendBezierPathWithRect({{10, 10}, {20, 20}});
  p->setLineWidth(2);
  p->setWindingRule(windingRule);
  return p;
}

// Mode 1 fills, 2 fills and strokes, anything else only strokes; the winding rule decides the
// hole. Probes along y = 20: the hole (20), the ring (5), the inner outline (x = 9 .. 11) and
// the outer one (x = -1 .. 1).
TEST(Renderer, PaintingModesAndWindingRules) {
  struct Row {
    int windingRule, mode;
    std::vector<std::pair<int, Px>> probes;  // x, pixel
  };
  const std::vector<Row> rows = {
      {EvenOddWindingRule, 2, {{20, kClear}, {5, kOpaqueBlue}, {9, kOpaqueRed}, {10, kOpaqueRed}, {0, kOpaqueRed}}},
      {NonZeroWindingRule, 2, {{20, kOpaqueBlue}, {10, kOpaqueRed}}},
      {EvenOddWindingRule, 1, {{20, kClear}, {10, kClear}, {9, kOpaqueBlue}, {0, kOpaqueBlue}}},
      {EvenOddWindingRule, 0, {{5, kClear}, {10, kOpaqueRed}}},
      {EvenOddWindingRule, 3, {{5, kClear}, {10, kOpaqueRed}}},
      {EvenOddWindingRule, 5, {{5, kClear}, {10, kOpaqueRed}}},
      {EvenOddWindingRule, -2, {{5, kClear}, {10, kOpaqueRed}}},
  };
  for (const Row& row : rows) {
    Renderer render;
    Structure s = structureOf({entry(squareWithHole(row.windingRule), row.mode, kRed, kBlue)});
    auto image = render(&s, 40, 40);
    ASSERT_TRUE(image);
    for (auto [x, px] : row.probes)
      EXPECT_EQ(at(*image, x, 20), px) << "mode " << row.mode << ", rule " << row.windingRule << ", x " << x;
  }
}

TEST(Renderer, LaterEntriesPaintOverEarlierOnes) {
  Renderer render;
  auto outline = rectPath(10, 10, 20, 20);
  outline->setLineWidth(4);
  Structure s = structureOf({entry(rectPath(10, 10, 20, 20), 1, kBlack, kBlue), entry(outline, 0, kRed, kBlack)});
  auto image = render(&s, 40, 40);
  ASSERT_TRUE(image);
  EXPECT_EQ(at(*image, 20, 20), kOpaqueBlue);
  EXPECT_EQ(at(*image, 10, 20), kOpaqueRed);  // inside the square, under the outline
  EXPECT_EQ(at(*image, 8, 20), kOpaqueRed);   // outside it
  EXPECT_EQ(at(*image, 12, 20), kOpaqueBlue);
}

TEST(Renderer, TheSettingsOfOneEntryDoNotCarryOverToTheNext) {
  Renderer render;
  auto wide = linePath({0, 5}, {40, 5});
  wide->setLineWidth(6);
  wide->setLineDash({2, 2}, 0);
  wide->setLineCapStyle(RoundLineCapStyle);
  Structure s = structureOf({entry(wide, 0, kBlue, std::nullopt), entry(linePath({0, 15}, {40, 15}), 0, kRed, std::nullopt)});
  auto image = render(&s, 40, 20);
  ASSERT_TRUE(image);
  // The second line is solid and one unit wide: y 14.5 .. 15.5 half covers two rows.
  for (int x = 0; x < 40; ++x) {
    ASSERT_NEAR(alphaAt(*image, x, 15), 128, 1) << x;
    ASSERT_NEAR(alphaAt(*image, x, 14), 128, 1) << x;
    ASSERT_EQ(alphaAt(*image, x, 16), 0) << x;
    ASSERT_EQ(alphaAt(*image, x, 13), 0) << x;
  }
}

// ---- colours ------------------------------------------------------------------------------

TEST(CreateCGColorFromColor, AnswersTheComponentsWithinRange) {
  auto c = createCGColorFromColor(Color::colorWithRed(0.25, 0.5, 0.75, 0.125));
  ASSERT_TRUE(c);
  EXPECT_EQ(*c, Color::colorWithRed(0.25, 0.5, 0.75, 0.125));
  c = createCGColorFromColor(Color::colorWithRed(-1, 2, kNaN, std::numeric_limits<double>::infinity()));
  ASSERT_TRUE(c);
  EXPECT_EQ(*c, Color::colorWithRed(0, 1, 0, 1));
  EXPECT_FALSE(createCGColorFromColor(Value()));
  EXPECT_FALSE(createCGColorFromColor(Value("red")));
  EXPECT_FALSE(createCGColorFromColor(Value(1.0)));
}

TEST(Renderer, MissingColoursPaintNothingForThatPart) {
  Renderer render;
  auto path = rectPath(5, 5, 10, 10);
  path->setLineWidth(2);
  Structure noFill = structureOf({entry(path, 2, kRed, std::nullopt)});
  auto image = render(&noFill, 20, 20, kBlue);
  ASSERT_TRUE(image);
  EXPECT_EQ(at(*image, 10, 10), kOpaqueBlue);
  EXPECT_EQ(at(*image, 5, 10), kOpaqueRed);
  Structure nothing = structureOf({entry(rectPath(5, 5, 10, 10), 2, std::nullopt, std::nullopt)});
  image = render(&nothing, 20, 20, Value());
  ASSERT_TRUE(image);
  for (uint8_t byte : image->data()) ASSERT_EQ(byte, 0);
}

// ---- the buffer ---------------------------------------------------------------------------

TEST(ReserveBitmapBuffer, AllocatesZeroedBytesWhenThereIsNone) {
  BitmapBuffer buffer;
  uint64_t capacity = 77;
  ASSERT_TRUE(reserveBitmapBuffer(buffer, capacity, 100));
  ASSERT_TRUE(buffer);
  EXPECT_EQ(capacity, 100u);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(buffer[i], 0);
}

TEST(ReserveBitmapBuffer, ReusesWhileNeededIsMoreThanHalfTheCapacity) {
  BitmapBuffer buffer;
  uint64_t capacity = 0;
  ASSERT_TRUE(reserveBitmapBuffer(buffer, capacity, 40000));
  uint8_t* first = buffer.get();
  for (uint64_t needed : {40000u, 20001u, 30000u}) {
    ASSERT_TRUE(reserveBitmapBuffer(buffer, capacity, needed));
    EXPECT_EQ(buffer.get(), first) << needed;
    EXPECT_EQ(capacity, 40000u);
  }
  ASSERT_TRUE(reserveBitmapBuffer(buffer, capacity, 20000));  // exactly half: too roomy
  EXPECT_EQ(capacity, 20000u);
  ASSERT_TRUE(reserveBitmapBuffer(buffer, capacity, 20001));  // grows
  EXPECT_EQ(capacity, 20001u);
}

TEST(Renderer, SteadySizesReuseTheBufferAndAMuchSmallerOneReallocates) {
  Renderer render;
  ASSERT_TRUE(render(nullptr, 100, 100, kRed));
  uint8_t* first = render.bitmap.get();
  EXPECT_EQ(render.capacity, 40000u);
  auto image = render(nullptr, 80, 80, kBlue);
  ASSERT_TRUE(image);
  EXPECT_EQ(render.bitmap.get(), first);
  EXPECT_EQ(render.capacity, 40000u);
  // Old pixels do not show through the reused buffer.
  EXPECT_EQ(at(*image, 79, 79), kOpaqueBlue);
  image = render(nullptr, 50, 50, Value());
  ASSERT_TRUE(image);
  EXPECT_EQ(render.capacity, 10000u);
  for (uint8_t byte : image->data()) ASSERT_EQ(byte, 0);
}

TEST(Renderer, TheImageKeepsItsPixelsWhenTheBufferIsReused) {
  Renderer render;
  auto red = render(nullptr, 10, 10, kRed);
  auto blue = render(nullptr, 10, 10, kBlue);
  ASSERT_TRUE(red && blue);
  EXPECT_EQ(at(*red, 5, 5), kOpaqueRed);
  EXPECT_EQ(at(*blue, 5, 5), kOpaqueBlue);
}

// ---- size limit ---------------------------------------------------------------------------

TEST(Renderer, ADrawingFarAwayIsRefusedRatherThanAllocated) {
  Renderer render;
  ASSERT_TRUE(render(nullptr, 8, 8, kRed));
  Structure far = structureOf({entry(linePath({0, 0}, {1e9, 1e9}), 0, kBlack, std::nullopt)});
  EXPECT_FALSE(render(&far, 0, 0));
  EXPECT_FALSE(render.bitmap);
  Structure farOff = structureOf({entry(rectPath(-1e9, 5, 1, 1), 1, kBlack, kRed)});
  EXPECT_FALSE(render(&farOff, 0, 0));
}

TEST(Renderer, SidesUpToTheLimitRenderAndBeyondItAnswerNothing) {
  Renderer render;
  auto wide = render(nullptr, double(kMaxImageSide), 1, kRed);
  ASSERT_TRUE(wide);
  EXPECT_EQ(wide->width(), 16384);
  EXPECT_EQ(at(*wide, 16383, 0), kOpaqueRed);
  EXPECT_FALSE(render(nullptr, 16385, 1, kRed));
  EXPECT_FALSE(render(nullptr, 1, 16384.01, kRed));
  EXPECT_FALSE(render(nullptr, 1e300, 1e300, kRed));
  EXPECT_FALSE(render(nullptr, std::numeric_limits<double>::infinity(), 5, kRed));
  EXPECT_FALSE(render.bitmap);
  // Automatic size obeys the same limit: 16 384 fits, a hair more does not.
  Structure fits = structureOf({entry(rectPath(0, 0, 16384, 1), 1, kBlack, kRed)});
  auto image = render(&fits, 0, 0);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width(), 16384);
  Structure over = structureOf({entry(rectPath(0, 0, 16384.5, 1), 1, kBlack, kRed)});
  EXPECT_FALSE(render(&over, 0, 0));
}

TEST(Renderer, PathsWithNonFiniteCoordinatesAreSkippedAndTheRestDrawn) {
  Renderer render;
  Structure s = structureOf({entry(linePath({0, 0}, {kNaN, kNaN}), 0, kBlack, std::nullopt),
                             entry(rectPath(0, 0, 4, 4), 1, kBlack, kRed)});
  auto image = render(&s, 0, 0);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width(), 4);
  EXPECT_EQ(at(*image, 2, 2), kOpaqueRed);
  auto fixed = render(&s, 10, 10);
  ASSERT_TRUE(fixed);
  EXPECT_EQ(at(*fixed, 8, 8), kClear);
}

TEST(Renderer, MembersThatAreNotEntriesAreSkipped) {
  Renderer render;
  Structure s = structureOf({entry(rectPath(0, 0, 4, 4), 1, kBlack, kRed)});
  s.insertObject(Value(3.0), 0);
  s.addMember(Value("x"));
  auto image = render(&s, 0, 0);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width(), 4);
  EXPECT_EQ(at(*image, 0, 0), kOpaqueRed);
}

TEST(Renderer, BadFlatnessStillDrawsCurves) {
  Renderer render;
  auto oval = BezierPath::bezierPathWithOvalInRect({{2, 2}, {16, 16}});
  Structure s = structureOf({entry(oval, 1, kBlack, kRed)});
  for (double flatness : {kNaN, 0.0, -1.0, 1e-300, std::numeric_limits<double>::infinity()}) {
    auto image = render(&s, 20, 20, Value(), true, flatness);
    ASSERT_TRUE(image) << flatness;
    EXPECT_EQ(at(*image, 10, 10), kOpaqueRed) << flatness;
    EXPECT_EQ(at(*image, 0, 0), kClear) << flatness;
  }
}

TEST(Renderer, NaNAndNegativeLineWidthsDrawNoStroke) {
  Renderer render;
  for (double width : {kNaN, -3.0, 0.0, -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()}) {
    auto path = rectPath(5, 5, 10, 10);
    path->setLineWidth(width);
    Structure s = structureOf({entry(path, 2, kRed, kBlue)});
    auto image = render(&s, 20, 20);
    ASSERT_TRUE(image) << width;
    EXPECT_EQ(at(*image, 4, 10), kClear) << width;
    EXPECT_EQ(at(*image, 5, 10), kOpaqueBlue) << width;  // the fill is still drawn
  }
}

// Widths are held to 2^22 pixels, inside Cairo's fixed-point range, so a stroke wider than
// any image still covers it.
TEST(Renderer, HugeLineWidthsCoverTheImage) {
  Renderer render;
  auto path = linePath({5, 5}, {15, 15});
  path->lineToPoint({25, 5});
  path->setLineWidth(1e9);
  path->setLineJoinStyle(RoundLineJoinStyle);
  path->setLineCapStyle(RoundLineCapStyle);
  Structure s = structureOf({entry(path, 0, kRed, std::nullopt)});
  auto image = render(&s, 30, 30);
  ASSERT_TRUE(image);
  EXPECT_EQ(at(*image, 15, 15), kOpaqueRed);
}

// ---- far coordinates ----------------------------------------------------------------------

// Each drawing is made with its far points at a distance `far`, and again with them brought to
// 200 along the same lines (outside the image, but where Cairo draws them right): the visible
// parts are the same, so the images must be.
TEST(Renderer, PathsThroughFarCoordinatesDrawWhatIsVisibleOfThem) {
  auto polyline = [](std::initializer_list<Point> points, bool closed, double width) {
    auto p = BezierPath::bezierPath();
    for (Point q : points) p->isEmpty() ? p->moveToPoint(q) : p->lineToPoint(q);
    if (closed) p->closePath();
    p->setLineWidth(width);
    return p;
  };
  // A dash period no finer than 2^19 periods over the line's length, so it stays dashed; the
  // near line starts a whole number of periods along, in the same phase.
  auto dashed = [](double far) {
    const double period = std::exp2(std::ceil(std::log2(2e7 / (1 << 19)) + std::max(0.0, std::log2(far / 1e7))));
    const double from = -far + std::floor((far - 200) / period) * period;
    auto p = linePath({from, 20}, {far, 20});
    p->setLineWidth(3);
    p->setLineDash({period * 0.75, period * 0.25}, 0);
    return structureOf({entry(p, 0, kRed, std::nullopt)});
  };
  const std::vector<std::pair<const char*, std::function<Structure(double)>>> drawings = {
      {"across", [&](double f) { return structureOf({entry(polyline({{-f, 12}, {f, 12}}, false, 3), 0, kRed, {})}); }},
      {"diagonal", [&](double f) { return structureOf({entry(polyline({{-f, -f}, {f, f}}, false, 2), 0, kRed, {})}); }},
      {"triangle", [&](double f) { return structureOf({entry(polyline({{5, 5}, {f, 5}, {5, f}}, true, 1), 1, {}, kBlue)}); }},
      // Its start is a corner inside the image: the join there stays a join.
      {"wedge", [&](double f) {
         return structureOf({entry(polyline({{20, 20}, {20 + f, 20 - f}, {20 + f, 20 + f}}, true, 3), 2, kRed, kBlue)});
       }},
      {"band", [&](double f) {
         return structureOf({entry(polyline({{-f, 8}, {f, 8}, {f, 30}, {-f, 30}}, true, 2), 2, kRed, kBlue)});
       }},
      {"frame", [&](double f) {
         auto p = rectPath(-f, -f, 2 * f, 2 * f);
         p->appendBezierPathWithRect({{10, 10}, {20, 20}});
         p->setWindingRule(EvenOddWindingRule);
         return structureOf({entry(p, 1, {}, kRed)});
       }},
      {"straight curve", [&](double f) {
         auto p = BezierPath::bezierPath();
         p->moveToPoint({-f, 20});
         p->curveToPoint({f, 20}, {-f / 3, 20}, {f / 3, 20});
         p->setLineWidth(4);
         return structureOf({entry(p, 0, kRed, {})});
       }},
      {"shadowed", [&](double f) {
         Structure e = entry(polyline({{5, 5}, {f, 5}, {5, f}}, true, 1), 1, {}, kBlue);
         addShadow(e, {3, -3}, 4, kBlack);
         return structureOf({e});
       }},
      {"dashed", dashed},
  };
  for (const auto& [name, make] : drawings)
    for (double far : {1e7, 1e9, 1e15}) {
      const Structure nearDrawing = make(200), farDrawing = make(far);
      Renderer render;
      auto expected = render(&nearDrawing, 40, 40), actual = render(&farDrawing, 40, 40);
      ASSERT_TRUE(expected && actual) << name;
      int worst = 0, painted = 0;
      for (size_t i = 0; i < expected->data().size(); ++i) {
        worst = std::max(worst, std::abs(int(expected->data()[i]) - int(actual->data()[i])));
        painted += expected->data()[i] != 0;
      }
      EXPECT_GT(painted, 0) << name;
      EXPECT_LE(worst, 1) << name << " through " << far;
    }
}

TEST(QuartzPath, SameElementsDrawnByCairoAndSameContainment) {
  BezierPath p;
  p.appendBezierPathWithOvalInRect({{1, 1}, {30, 20}});
  p.closePath();
  p.appendBezierPathWithRect({{10, 6}, {8, 8}});
  const QuartzPath q = p.quartzPath();
  EXPECT_EQ(q.elementCount(), p.elementCount());
  EXPECT_EQ(q.boundingBox(), p.bounds());
  EXPECT_TRUE(BezierPath().quartzPath().isEmpty());

  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(s);
  cairo_set_tolerance(cr, 0.01);
  appendPath(cr, q);
  cairo_path_t* copied = cairo_copy_path(cr);
  int curves = 0;
  for (int i = 0; i < copied->num_data; i += copied->data[i].header.length)
    curves += copied->data[i].header.type == CAIRO_PATH_CURVE_TO;
  EXPECT_EQ(curves, 4);
  cairo_path_destroy(copied);
  int checked = 0;
  for (int evenOdd = 0; evenOdd < 2; ++evenOdd) {
    cairo_set_fill_rule(cr, evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    for (double y = 0.25; y < 22; y += 0.5)
      for (double x = 0.25; x < 32; x += 0.5) {
        // Cairo is a reference only away from the outline (it flattens and rounds to 1/256).
        if (std::fabs(x - 10) < 0.1 || std::fabs(x - 18) < 0.1 || std::fabs(y - 6) < 0.1 || std::fabs(y - 14) < 0.1)
          continue;
        const double ex = (x - 16) / 15, ey = (y - 11) / 10;
        if (std::fabs(ex * ex + ey * ey - 1) < 0.03) continue;
        ++checked;
        EXPECT_EQ(q.containsPoint({x, y}, evenOdd), static_cast<bool>(cairo_in_fill(cr, x, y))) << x << ", " << y;
      }
  }
  EXPECT_GT(checked, 2000);
  cairo_destroy(cr);
  cairo_surface_destroy(s);
}

}  // namespace
}  // namespace vellum::test
