// "Vellum Image With Vector" and "Vellum Image With Vector Structure": the entry the first builds
// from its inputs, the sizes, and the buffer across executions. Drawing itself is the renderer's
// (tests/render).
#include <cmath>

#include "patches/render/V2DImageWithBezierPathPatch.h"
#include "tests/render/RenderTestSupport.h"
#include "tests/support/PatchInputs.h"

namespace vellum::test {
namespace {

using testing::objectValue;
using testing::setInputs;

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
  setInputs(patch, {{"inputBezierPath", objectValue(input)}, {"inputMode", 2}, {"inputStrokeWidth", 3},
                    {"inputStrokeCapStyle", 1}, {"inputStrokeJoinStyle", 2}, {"inputStrokeMiterLimit", 4}, {"inputFillRule", 1},
                    {"inputStrokeDashPattern", std::vector<Value>{5, 3.5, "2"}}, {"inputStrokeDashPhase", 1.5},
                    {"inputStrokeColor", kRed}});

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
  EXPECT_TRUE(input->lineWidth() == 1 && input->lineDash().empty());  // the input is untouched
  EXPECT_EQ(e->memberForKey("strokefill").integerValue(), 2);
  EXPECT_EQ(*e->memberForKey("stroke").color(), kRed);
  EXPECT_EQ(*e->memberForKey("fill").color(), Color::colorWithRed(1, 1, 1, 1));
  EXPECT_FALSE(e->hasKey("shadow") || e->hasKey("shadow-offset"));
  // An empty dash structure means a solid line.
  patch.inputStrokeDashPattern.setStructureValue(Structure());
  EXPECT_TRUE(entryOf(patch)->memberForKey("path").objectAs<BezierPath>()->lineDash().empty());
}

// The shadow's angle is in degrees counter-clockwise from +x, y up: 315 points right and down.
TEST(ImageWithVector, TheShadowOffsetFollowsTheAngle) {
  V2DImageWithBezierPathPatch patch("id");
  setInputs(patch, {{"inputBezierPath", objectValue(rectPath(0, 0, 10, 10))}, {"inputShadow", true},
                    {"inputShadowColor", kBlue}, {"inputShadowBlur", 2}});
  for (const auto& [angle, distance, dx, dy] : {std::tuple{315.0, 5.0, 3.5355339059327378, -3.5355339059327378},
                                                {90.0, 10.0, 0.0, 10.0}, {180.0, 2.0, -2.0, 0.0}}) {
    setInputs(patch, {{"inputShadowAngle", angle}, {"inputShadowOffset", distance}});
    StructureRef e = entryOf(patch);
    EXPECT_TRUE(e->memberForKey("shadow").boolValue() && e->memberForKey("shadow-blur") == Value(2.0) &&
                e->memberForKey("shadow-color") == Value(kBlue));
    const Size* offset = e->memberForKey("shadow-offset").size();
    ASSERT_TRUE(offset);
    EXPECT_NEAR(offset->width, dx, 1e-15) << angle;
    EXPECT_NEAR(offset->height, dy, 1e-15) << angle;
  }
}

TEST(ImageWithVector, GivenAndAutomaticSizes) {
  V2DImageWithBezierPathPatch patch("id");
  setInputs(patch, {{"inputBackgroundColor", kRed}, {"inputWidth", 64}});  // height 0: automatic, and no path
  EXPECT_FALSE(run(patch));
  patch.inputHeight.setIndexValue(32);
  ImageRef image = run(patch);
  ASSERT_TRUE(image);
  EXPECT_EQ(std::pair(image->width(), image->height()), std::pair(64, 32));
  EXPECT_EQ(at(*image, 63, 31), kOpaqueRed);
  setInputs(patch, {{"inputBackgroundColor", Color::colorWithRed(0, 0, 0, 0)}, {"inputHeight", 0},
                    {"inputBezierPath", objectValue(linePath({10, 10}, {20, 20}))}});
  image = run(patch);
  ASSERT_TRUE(image);
  EXPECT_EQ(std::pair(image->width(), image->height()), std::pair(21, 21));
  const Px p = at(*image, 15, 15);  // the initial stroke: opaque blue
  EXPECT_TRUE(p.a > 150 && p.b == p.a && p.r + p.g == 0) << p;
}

TEST(ImageWithVector, TheBufferIsReusedAcrossExecutionsAndFreedByDisable) {
  V2DImageWithBezierPathPatch patch("id");
  // Side, bytes reserved: a smaller image reuses the buffer while it needs more than half of it
  // (the renderer's tests have the rule; this is the patch keeping its buffer between frames).
  uint8_t* first = nullptr;
  for (const auto& [side, reserved] : {std::pair{100, 40000u}, {100, 40000u}, {80, 40000u}, {50, 10000u}}) {
    setInputs(patch, {{"inputWidth", side}, {"inputHeight", side}});
    ASSERT_TRUE(run(patch) && patch.bmp);
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
  setInputs(patch, {{"inputWidth", 30}, {"inputHeight", 20}});
  patch.inputBezierPaths.setStructureValue(structureOf({entry(rectPath(10, 5, 10, 10), 1, kBlack, kRed)}));
  ImageRef image = run(patch);
  ASSERT_TRUE(image);
  EXPECT_EQ(at(*image, 15, 10), kOpaqueRed);
  EXPECT_EQ(at(*image, 5, 10), kOpaqueBlue);
  // Back to automatic size with nothing drawable: nothing, and the buffer goes; disable frees it too.
  setInputs(patch, {{"inputWidth", 0}, {"inputBezierPaths", std::vector<Value>{1, "x"}}});
  EXPECT_FALSE(run(patch));
  EXPECT_FALSE(patch.bmp);
  setInputs(patch, {{"inputWidth", 10}, {"inputHeight", 10}});
  ASSERT_TRUE(run(patch) && patch.bmp);
  patch.disable(nullptr);
  EXPECT_FALSE(patch.bmp);
  EXPECT_EQ(patch.bmpSize, 400u);
}

}  // namespace
}  // namespace vellum::test
