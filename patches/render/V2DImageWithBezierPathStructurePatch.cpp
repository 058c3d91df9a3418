#include "patches/render/V2DImageWithBezierPathStructurePatch.h"

namespace vellum {

V2DImageWithBezierPathStructurePatch::V2DImageWithBezierPathStructurePatch(const std::string& identifier)
    : Patch(identifier) {
  userInfo().setMember("Vellum Image With Vector Structure", "name");
  inputFlatness.setMinDoubleValue(kMinFlatness);
  inputFlatness.setDoubleValue(0.01);
}

void V2DImageWithBezierPathStructurePatch::disable(ExecutionContext*) { bmp.reset(); }

bool V2DImageWithBezierPathStructurePatch::execute(ExecutionContext*, double, const Arguments&) {
  StructureRef paths = inputBezierPaths.structureValue();
  outputImage.setImageValue(renderBezierPathStructure(
      paths.get(), inputFlatness.doubleValue(), double(inputWidth.indexValue()), double(inputHeight.indexValue()),
      inputAntialias.booleanValue(), inputBackgroundColor.value(), bmp, bmpSize));
  return true;
}

}  // namespace vellum
