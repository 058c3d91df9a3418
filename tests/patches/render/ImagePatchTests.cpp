// "Vellum Image With Vector" and "Vellum Image With Vector Structure": the entry the first builds
// from its inputs, the sizes, and the buffer across executions. Drawing itself is the renderer's
// (tests/render).
#include <cmath>

#include "patches/render/V2DImageWithBezierPathPatch.h"
#include "tests/render/RenderTestSupport.h"

namespace vellum::test {
namespace {

Arguments noArguments;

ImageRef run(Patch& patch) {
  EXPECT_TRUE(patch.execute(nullptr, 0, noArguments));
  return static_cast<ImagePort*>(patch.portForKey("outputImage"))->imageValue();
}

StructureRef entryOf(const V2DImageWithBezierPathPatch& patch) {
  const Structure s = patch.pathEntryStructure();
  EXPECT_EQ(s.count(), 1u);
  EXPECT_FALSE(s.keyAtIndex(0));
  return s.memberAtIndex(0).structure();
}

TEST(ImageWithVector, TheEntryCarriesTheSettingsOnACopyOfThePath) {
  V2DImageWithBezierPathPatch patch("id");
  auto input = rectPath(0, 0, 10, 10);
  patch.inputBezierPath.setBezierPathValue(input);
  patch.inputMode.setIndexValue(2);
  patch.inputStrokeWidth.setDoubleValue(3);
  patch.inputStrokeCapStyle.setIndexValue(1);
  patch.inputStrokeJoinStyle.setIndexValue(2);
  patch.inputStrokeMiterLimit.setDoubleValue(4);
  patch.inputFillRule.setIndexValue(1);
  patch.inputStrokeDashPattern.setStructureValue(Structure({Value(5), Value(3.5), Value("2")}));
  patch.inputStrokeDashPhase.setDoubleValue(1.5);
  patch.inputStrokeColor.setRed(1, 0, 0, 1);

  StructureRef e = entryOf(patch);
  ASSERT_TRUE(e);
  auto path = e->memberForKey("path").objectAs<BezierPath>();
  ASSERT_TRUE(path);
  EXPECT_NE(path.get(), input.get());
  EXPECT_TRUE(path->isEqualToBezierPath(*input));
  EXPECT_EQ(path->lineWidth(), 3);
  EXPECT_EQ(path->lineCapStyle(), RoundLineCapStyle);
  EXPECT_EQ(path->lineJoinStyle(), BevelLineJoinStyle);
  EXPECT_EQ(path->miterLimit(), 4);
  EXPECT_EQ(path->windingRule(), EvenOddWindingRule);
  EXPECT_EQ(path->lineDash(), (std::vector<double>{5, 3.5, 2}));
  EXPECT_EQ(path->dashPhase(), 1.5);
  EXPECT_EQ(input->lineWidth(), 1);  // the input is untouched
  EXPECT_TRUE(input->lineDash().empty());
  EXPECT_EQ(e->memberForKey("strokefill").integerValue(), 2);
  EXPECT_EQ(*e->memberForKey("stroke").color(), kRed);
  EXPECT_EQ(*e->memberForKey("fill").color(), Color::colorWithRed(1, 1, 1, 1));
  EXPECT_FALSE(e->hasKey("shadow"));
  EXPECT_FALSE(e->hasKey("shadow-offset"));
  // An empty dash structure means a solid line.
  patch.inputStrokeDashPattern.setStructureValue(Structure());
  EXPECT_TRUE(entryOf(patch)->memberForKey("path").objectAs<BezierPath>()->lineDash().empty());
}

// The shadow's angle is in degrees counter-clockwise from +x, y up: 315 points right and down.
TEST(ImageWithVector, TheShadowOffsetFollowsTheAngle) {
  V2DImageWithBezierPathPatch patch("id");
  patch.inputBezierPath.setBezierPathValue(rectPath(0, 0, 10, 10));
  patch.inputShadow.setBooleanValue(true);
  patch.inputShadowColor.setRed(0, 0, 1, 1);
  patch.inputShadowBlur.setDoubleValue(2);
  for (const auto& [angle, distance, dx, dy] : {std::tuple{315.0, 5.0, 3.5355339059327378, -3.5355339059327378},
                                                {90.0, 10.0, 0.0, 10.0}, {180.0, 2.0, -2.0, 0.0}}) {
    patch.inputShadowAngle.setDoubleValue(angle);
    patch.inputShadowOffset.setDoubleValue(distance);
    StructureRef e = entryOf(patch);
    EXPECT_TRUE(e->memberForKey("shadow").boolValue());
    const Size* offset = e->memberForKey("shadow-offset").size();
    ASSERT_TRUE(offset);
    EXPECT_NEAR(offset->width, dx, 1e-15) << angle;
    EXPECT_NEAR(offset->height, dy, 1e-15) << angle;
    EXPECT_EQ(e->memberForKey("shadow-blur").doubleValue(), 2);
    EXPECT_EQ(*e->memberForKey("shadow-color").color(), kBlue);
  }
}

TEST(ImageWithVector, GivenAndAutomaticSizes) {
  V2DImageWithBezierPathPatch patch("id");
  patch.inputBackgroundColor.setRed(1, 0, 0, 1);
  patch.inputWidth.setIndexValue(64);  // height 0: automatic in both, and no path to measure
  EXPECT_FALSE(run(patch));
  patch.inputHeight.setIndexValue(32);
  ImageRef image = run(patch);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width(), 64);
  EXPECT_EQ(image->height(), 32);
  EXPECT_EQ(at(*image, 63, 31), kOpaqueRed);
  patch.inputBackgroundColor.setRed(0, 0, 0, 0);
  patch.inputHeight.setIndexValue(0);
  patch.inputBezierPath.setBezierPathValue(linePath({10, 10}, {20, 20}));
  image = run(patch);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width(), 21);
  EXPECT_EQ(image->height(), 21);
  // The initial stroke: opaque blue.
  Px p = at(*image, 15, 15);
  EXPECT_GT(p.a, 150);
  EXPECT_EQ(p.b, p.a);
  EXPECT_EQ(p.r + p.g, 0);
}

TEST(ImageWithVector, TheBufferIsReusedAcrossExecutionsAndFreedByDisable) {
  V2DImageWithBezierPathPatch patch("id");
  patch.inputBackgroundColor.setRed(0, 1, 0, 1);
  // Side, bytes reserved: a smaller image reuses the buffer while it needs more than half of it.
  uint8_t* first = nullptr;
  for (const auto& [side, reserved] : {std::pair{100, 40000u}, {100, 40000u}, {80, 40000u}, {50, 10000u}}) {
    patch.inputWidth.setIndexValue(side);
    patch.inputHeight.setIndexValue(side);
    ImageRef image = run(patch);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), side);
    ASSERT_TRUE(patch.bmp);
    if (!first) first = patch.bmp.get();
    EXPECT_TRUE(reserved != 40000u || patch.bmp.get() == first) << side;
    EXPECT_EQ(patch.bmpSize, reserved) << side;
  }
  patch.disable(nullptr);
  EXPECT_FALSE(patch.bmp);
  // Rendering again after disable allocates afresh.
  ASSERT_TRUE(run(patch));
  EXPECT_TRUE(patch.bmp);
}

TEST(ImageWithVectorStructure, DrawsItsEntriesOrTheBackgroundOrNothing) {
  V2DImageWithBezierPathStructurePatch patch("id");
  patch.inputBackgroundColor.setRed(0, 0, 1, 1);
  EXPECT_FALSE(run(patch));
  patch.inputWidth.setIndexValue(30);
  patch.inputHeight.setIndexValue(20);
  ImageRef image = run(patch);
  ASSERT_TRUE(image);
  EXPECT_EQ(at(*image, 29, 19), kOpaqueBlue);
  patch.inputBezierPaths.setStructureValue(structureOf({entry(rectPath(10, 5, 10, 10), 1, kBlack, kRed)}));
  image = run(patch);
  ASSERT_TRUE(image);
  EXPECT_EQ(at(*image, 15, 10), kOpaqueRed);
  EXPECT_EQ(at(*image, 5, 10), kOpaqueBlue);
  // Back to automatic size with nothing drawable: nothing, and the buffer goes; disable frees it too.
  patch.inputWidth.setIndexValue(0);
  patch.inputBezierPaths.setStructureValue(Structure({Value(1), Value("x")}));
  EXPECT_FALSE(run(patch));
  EXPECT_FALSE(patch.bmp);
  patch.inputWidth.setIndexValue(10);
  patch.inputHeight.setIndexValue(10);
  ASSERT_TRUE(run(patch));
  ASSERT_TRUE(patch.bmp);
  patch.disable(nullptr);
  EXPECT_FALSE(patch.bmp);
  EXPECT_EQ(patch.bmpSize, 400u);
}

}  // namespace
}  // namespace vellum::test
