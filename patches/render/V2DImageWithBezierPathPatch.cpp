#include "patches/render/V2DImageWithBezierPathPatch.h"

#include <cmath>

#include "render/PaintEntry.h"

namespace vellum {

V2DImageWithBezierPathPatch::V2DImageWithBezierPathPatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Image With Vector", "name");
  inputMode.setMaxIndexValue(2);
  inputStrokeWidth.setMinDoubleValue(0.0001);
  inputStrokeCapStyle.setMaxIndexValue(2);
  inputStrokeJoinStyle.setMaxIndexValue(2);
  inputStrokeMiterLimit.setMinDoubleValue(0);
  inputFillRule.setMaxIndexValue(1);
  inputShadowBlur.setMinDoubleValue(0);
  inputFlatness.setMinDoubleValue(kMinFlatness);
}

void V2DImageWithBezierPathPatch::disable(ExecutionContext*) { bmp.reset(); }

Structure V2DImageWithBezierPathPatch::pathEntryStructure() const {
  std::shared_ptr<BezierPath> path;
  // The input path is shared with other patches: the settings go on a copy.
  if (BezierPathRef input = inputBezierPath.bezierPathValue()) {
    path = input->copy();
    path->setLineCapStyle(int(inputStrokeCapStyle.indexValue()));
    path->setLineJoinStyle(int(inputStrokeJoinStyle.indexValue()));
    path->setLineWidth(inputStrokeWidth.doubleValue());
    path->setMiterLimit(inputStrokeMiterLimit.doubleValue());
    path->setWindingRule(int(inputFillRule.indexValue()));
    std::vector<double> dash;
    if (StructureRef pattern = inputStrokeDashPattern.structureValue())
      for (const Value& length : pattern->arrayRepresentation()) dash.push_back(length.doubleValue());
    path->setLineDash(std::move(dash), inputStrokeDashPhase.doubleValue());
  }
  Structure entry =
      paint::entry(std::move(path), inputStrokeColor.value(), inputFillColor.value(), int(inputMode.indexValue()));
  if (inputShadow.booleanValue()) {
    const double angle = inputShadowAngle.doubleValue() * 3.141592653589793 / 180;
    const double distance = inputShadowOffset.doubleValue();
    entry.addMember(inputShadow.value(), paint::kShadow);
    entry.addMember(Size{distance * std::cos(angle), distance * std::sin(angle)}, paint::kShadowOffset);
    entry.addMember(inputShadowBlur.value(), paint::kShadowBlur);
    entry.addMember(inputShadowColor.value(), paint::kShadowColor);
  }
  Structure structure;
  structure.addMember(Value(std::make_shared<const Structure>(std::move(entry))));
  return structure;
}

bool V2DImageWithBezierPathPatch::execute(ExecutionContext*, double, const Arguments&) {
  const Structure structure = pathEntryStructure();
  outputImage.setImageValue(renderBezierPathStructure(
      &structure, inputFlatness.doubleValue(), double(inputWidth.indexValue()), double(inputHeight.indexValue()),
      inputAntialias.booleanValue(), inputBackgroundColor.value(), bmp, bmpSize));
  return true;
}

}  // namespace vellum
