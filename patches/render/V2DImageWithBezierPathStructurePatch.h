// "Vellum Image With Vector Structure": a structure of paint entries (render/PaintEntry.h) drawn
// by the renderer into an 8-bit RGBA image.
#pragma once

#include "host/Patch.h"
#include "render/Renderer.h"

namespace vellum {

class V2DImageWithBezierPathStructurePatch : public Patch {
 public:
  explicit V2DImageWithBezierPathStructurePatch(const std::string& identifier = {});
  void disable(ExecutionContext*) override;
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  // renderBezierPathStructure, under the name both image patches know it by.
  static constexpr auto& _newImageWithBezierPathStructure = renderBezierPathStructure;

  StructurePort inputBezierPaths{this, "inputBezierPaths"};
  ColorPort inputBackgroundColor{this, "inputBackgroundColor", Color::colorWithRed(0, 0, 0, 0)};
  BooleanPort inputAntialias{this, "inputAntialias", true};
  NumberPort inputFlatness{this, "inputFlatness", 0.01};
  IndexPort inputWidth{this, "inputWidth"};
  IndexPort inputHeight{this, "inputHeight"};
  ImagePort outputImage{this, "outputImage"};

  BitmapBuffer bmp;
  uint64_t bmpSize = 0;
};

}  // namespace vellum
