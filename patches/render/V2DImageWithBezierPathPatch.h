// "Vellum Image With Vector": one path drawn with the stroke, fill and shadow settings of its
// ports, through the renderer.
#pragma once

#include "host/Patch.h"
#include "path/V2DBezierPathPort.h"
#include "render/Renderer.h"

namespace vellum {

class V2DImageWithBezierPathPatch : public Patch {
 public:
  explicit V2DImageWithBezierPathPatch(const std::string& identifier = {});
  void disable(ExecutionContext*) override;
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  // The one-member structure handed to the renderer: a copy of the path carrying the stroke
  // and fill settings, with the painting mode, colours and (when switched on) the shadow.
  Structure pathEntryStructure() const;

  V2DBezierPathPort inputBezierPath{this, "inputBezierPath"};
  IndexPort inputMode{this, "inputMode"};
  ColorPort inputStrokeColor{this, "inputStrokeColor", Color::colorWithRed(0, 0, 1, 1)};
  NumberPort inputStrokeWidth{this, "inputStrokeWidth", 1};
  IndexPort inputStrokeCapStyle{this, "inputStrokeCapStyle"};
  IndexPort inputStrokeJoinStyle{this, "inputStrokeJoinStyle"};
  NumberPort inputStrokeMiterLimit{this, "inputStrokeMiterLimit", 10};
  StructurePort inputStrokeDashPattern{this, "inputStrokeDashPattern"};
  NumberPort inputStrokeDashPhase{this, "inputStrokeDashPhase"};
  ColorPort inputFillColor{this, "inputFillColor", Color::colorWithRed(1, 1, 1, 1)};
  IndexPort inputFillRule{this, "inputFillRule"};
  BooleanPort inputShadow{this, "inputShadow"};
  ColorPort inputShadowColor{this, "inputShadowColor", Color::colorWithRed(0, 0, 0, 0.5)};
  NumberPort inputShadowAngle{this, "inputShadowAngle", 315};
  NumberPort inputShadowOffset{this, "inputShadowOffset", 5};
  NumberPort inputShadowBlur{this, "inputShadowBlur", 5};
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
