// "Vellum Image With Vector" and "Vellum Image With Vector Structure": the entry the first
// builds, the pixels, and the buffer across executions.
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

  const Structure s = patch.pathEntryStructure();
  ASSERT_EQ(s.count(), 1u);
  EXPECT_FALSE(s.keyAtIndex(0));
  StructureRef e = s.memberAtIndex(0).structure();
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
  e = patch.pathEntryStructure().memberAtIndex(0).structure();
  EXPECT_TRUE(e->memberForKey("path").objectAs<BezierPath>()->lineDash().empty());
}

TEST(ImageWithVector, TheDefaultShadowPointsRightAndDown) {
  V2DImageWithBezierPathPatch patch("id");
  patch.inputBezierPath.setBezierPathValue(rectPath(0, 0, 10, 10));
  patch.inputShadow.setBooleanValue(true);
  StructureRef e = patch.pathEntryStructure().memberAtIndex(0).structure();
  ASSERT_TRUE(e->hasKey("shadow"));
  EXPECT_TRUE(e->memberForKey("shadow").boolValue());
  const Size* offset = e->memberForKey("shadow-offset").size();
  ASSERT_TRUE(offset);
  EXPECT_NEAR(offset->width, 3.5355339059327378, 1e-15);
  EXPECT_NEAR(offset->height, -3.5355339059327378, 1e-15);
  EXPECT_EQ(e->memberForKey("shadow-blur").doubleValue(), 5);
  EXPECT_EQ(*e->memberForKey("shadow-color").color(), Color::colorWithRed(0, 0, 0, 0.5));
}

TEST(ImageWithVector, AShadowAtNinetyDegreesPointsUp) {
  V2DImageWithBezierPathPatch patch("id");
  patch.inputBezierPath.setBezierPathValue(rectPath(20, 20, 20, 20));
  patch.inputMode.setIndexValue(1);
  patch.inputShadow.setBooleanValue(true);
  patch.inputShadowAngle.setDoubleValue(90);
  patch.inputShadowOffset.setDoubleValue(10);
  patch.inputShadowBlur.setDoubleValue(0);
  patch.inputShadowColor.setRed(0, 0, 0, 1);
  patch.inputWidth.setIndexValue(60);
  patch.inputHeight.setIndexValue(60);
  const Structure structure = patch.pathEntryStructure();
  const Size* offset = structure.memberAtIndex(0).structure()->memberForKey("shadow-offset").size();
  ASSERT_TRUE(offset);
  EXPECT_EQ(offset->height, 10);
  EXPECT_EQ(offset->width, 10 * std::cos(3.141592653589793 / 2));
  EXPECT_GT(offset->width, 0);
  EXPECT_LT(offset->width, 1e-15);

  ImageRef image = run(patch);
  ASSERT_TRUE(image);
  EXPECT_EQ(at(*image, 30, 45), kOpaqueBlack);
  EXPECT_EQ(at(*image, 30, 15), kClear);
  EXPECT_EQ(at(*image, 30, 30), (Px{255, 255, 255, 255}));
}

TEST(ImageWithVector, GivenAndAutomaticSizes) {
  V2DImageWithBezierPathPatch patch("id");
  patch.inputBackgroundColor.setRed(1, 0, 0, 1);
  patch.inputWidth.setIndexValue(64);  // height 0: automatic in both, and no path to measure
  EXPECT_FALSE(run(patch));
  patch.inputHeight.setIndexValue(32);
  ImageRef image = run(patch);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->width(), 64);
  ASSERT_EQ(image->height(), 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x) ASSERT_EQ(at(*image, x, y), kOpaqueRed);
  patch.inputBackgroundColor.setRed(0, 0, 0, 0);
  patch.inputHeight.setIndexValue(0);
  patch.inputBezierPath.setBezierPathValue(linePath({10, 10}, {20, 20}));
  image = run(patch);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width(), 21);
  EXPECT_EQ(image->height(), 21);
  // Default stroke: opaque blue.
  Px p = at(*image, 15, 15);
  EXPECT_GT(p.a, 150);
  EXPECT_EQ(p.b, p.a);
  EXPECT_EQ(p.r + p.g, 0);
}

TEST(ImageWithVector, DashFromThePortsReachesThePixels) {
  V2DImageWithBezierPathPatch patch("id");
  patch.inputBezierPath.setBezierPathValue(linePath({0, 5}, {16, 5}));
  patch.inputStrokeWidth.setDoubleValue(2);
  patch.inputStrokeColor.setRed(1, 0, 0, 1);
  patch.inputStrokeDashPattern.setStructureValue(Structure({Value(5), Value(3)}));
  patch.inputWidth.setIndexValue(16);
  patch.inputHeight.setIndexValue(10);
  ImageRef image = run(patch);
  ASSERT_TRUE(image);
  std::string columns;
  for (int x = 0; x < 16; ++x) columns += at(*image, x, 4) == kOpaqueRed ? '#' : '.';
  EXPECT_EQ(columns, "#####...#####...");
}

TEST(ImageWithVector, TheBufferIsReusedAcrossExecutionsAndFreedByDisable) {
  V2DImageWithBezierPathPatch patch("id");
  patch.inputBackgroundColor.setRed(0, 1, 0, 1);
  patch.inputWidth.setIndexValue(100);
  patch.inputHeight.setIndexValue(100);
  ASSERT_TRUE(run(patch));
  ASSERT_TRUE(patch.bmp);
  uint8_t* first = patch.bmp.get();
  EXPECT_EQ(patch.bmpSize, 40000u);
  for (int frame = 0; frame < 3; ++frame) {
    ASSERT_TRUE(run(patch));
    EXPECT_EQ(patch.bmp.get(), first);
  }
  patch.inputWidth.setIndexValue(80);
  patch.inputHeight.setIndexValue(80);
  ImageRef image = run(patch);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width(), 80);
  EXPECT_EQ(patch.bmp.get(), first);
  EXPECT_EQ(patch.bmpSize, 40000u);
  patch.inputWidth.setIndexValue(50);
  patch.inputHeight.setIndexValue(50);
  ASSERT_TRUE(run(patch));
  ASSERT_TRUE(patch.bmp);
  EXPECT_EQ(patch.bmpSize, 10000u);
  patch.disable(nullptr);
  EXPECT_FALSE(patch.bmp);
  EXPECT_EQ(patch.bmpSize, 10000u);
  // Rendering again after disable allocates afresh.
  ASSERT_TRUE(run(patch));
  EXPECT_TRUE(patch.bmp);
}

// ---- Image With Vector Structure ------------------------------------------------------------

TEST(ImageWithVectorStructure, DrawsTheStructureAtAutomaticSize) {
  V2DImageWithBezierPathStructurePatch patch("id");
  patch.inputBezierPaths.setStructureValue(structureOf({entry(rectPath(0, 0, 10, 20), 0, kBlack, std::nullopt)}));
  patch.inputHeight.setIndexValue(50);  // width 0: automatic in both
  ImageRef image = run(patch);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width(), 12);
  EXPECT_EQ(image->height(), 22);
}

TEST(ImageWithVectorStructure, RedOutlineOverBlueFill) {
  V2DImageWithBezierPathStructurePatch patch("id");
  auto outline = rectPath(10, 10, 20, 20);
  outline->setLineWidth(2);
  patch.inputBezierPaths.setStructureValue(
      structureOf({entry(rectPath(10, 10, 20, 20), 1, kBlack, kBlue), entry(outline, 0, kRed, kBlack)}));
  patch.inputWidth.setIndexValue(40);
  patch.inputHeight.setIndexValue(40);
  ImageRef image = run(patch);
  ASSERT_TRUE(image);
  EXPECT_EQ(at(*image, 10, 20), kOpaqueRed);
  EXPECT_EQ(at(*image, 9, 20), kOpaqueRed);
  EXPECT_EQ(at(*image, 11, 20), kOpaqueBlue);
  EXPECT_EQ(at(*image, 20, 20), kOpaqueBlue);
  EXPECT_EQ(at(*image, 8, 20), kClear);
}

TEST(ImageWithVectorStructure, NoStructureGivesTheBackgroundOrNothing) {
  V2DImageWithBezierPathStructurePatch patch("id");
  patch.inputBackgroundColor.setRed(0, 0, 1, 1);
  EXPECT_FALSE(run(patch));
  patch.inputWidth.setIndexValue(3);
  patch.inputHeight.setIndexValue(2);
  ImageRef image = run(patch);
  ASSERT_TRUE(image);
  EXPECT_EQ(at(*image, 2, 1), kOpaqueBlue);
  // Back to automatic size with nothing drawable: nothing, and the buffer goes.
  patch.inputWidth.setIndexValue(0);
  patch.inputBezierPaths.setStructureValue(Structure({Value(1), Value("x")}));
  EXPECT_FALSE(run(patch));
  EXPECT_FALSE(patch.bmp);
  // As does disable.
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
