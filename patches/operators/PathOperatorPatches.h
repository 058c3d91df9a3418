// Five whole-path operations: transform, reverse, close the last subpath, flatten, and the
// bounding box. Each works on a copy or a new path: a path on an input may be shared.
#pragma once

#include "host/Patch.h"
#include "path/AffineTransform.h"
#include "path/V2DBezierPathPort.h"

namespace vellum {

class V2DBezierPathTransformPatch : public Patch {
 public:
  explicit V2DBezierPathTransformPatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  // Rotates about the origin first, then scales, then translates.
  static AffineTransform transformWith(double translateX, double translateY, double scaleX, double scaleY,
                                       double rotateDegrees);

  V2DBezierPathPort inputBezierPath{this, "inputBezierPath"};
  NumberPort inputTranslateX{this, "inputTranslateX"};
  NumberPort inputTranslateY{this, "inputTranslateY"};
  NumberPort inputScaleX{this, "inputScaleX"};
  NumberPort inputScaleY{this, "inputScaleY"};
  NumberPort inputRotateDegrees{this, "inputRotateDegrees"};
  V2DBezierPathPort outputBezierPath{this, "outputBezierPath"};
};

class V2DBezierPathReversePatch : public Patch {
 public:
  explicit V2DBezierPathReversePatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  V2DBezierPathPort inputBezierPath{this, "inputBezierPath"};
  V2DBezierPathPort outputBezierPath{this, "outputBezierPath"};
};

class V2DBezierPathClosePatch : public Patch {
 public:
  explicit V2DBezierPathClosePatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  V2DBezierPathPort inputBezierPath{this, "inputBezierPath"};
  V2DBezierPathPort outputBezierPath{this, "outputBezierPath"};
};

class V2DBezierPathFlattenPatch : public Patch {
 public:
  explicit V2DBezierPathFlattenPatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  V2DBezierPathPort inputBezierPath{this, "inputBezierPath"};
  NumberPort inputFlatness{this, "inputFlatness"};
  V2DBezierPathPort outputBezierPath{this, "outputBezierPath"};
};

class V2DBezierPathBoundsPatch : public Patch {
 public:
  explicit V2DBezierPathBoundsPatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  V2DBezierPathPort inputBezierPath{this, "inputBezierPath"};
  NumberPort outputX{this, "outputX"};
  NumberPort outputY{this, "outputY"};
  NumberPort outputWidth{this, "outputWidth"};
  NumberPort outputHeight{this, "outputHeight"};
};

}  // namespace vellum
