// Measuring a path along its length (path/Resample.h): even resampling, the point at a fraction
// of the length, and point containment.
#pragma once

#include <cstdint>

#include "host/Patch.h"
#include "path/Resample.h"
#include "path/V2DBezierPathPort.h"

namespace vellum {

class V2DBezierPathResamplePatch : public Patch {
 public:
  explicit V2DBezierPathResamplePatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  // resampleBezierPath (path/Resample.h), under the name the patches know it by.
  static constexpr auto& _resampleBezierPath = resampleBezierPath;

  V2DBezierPathPort inputBezierPath{this, "inputBezierPath"};
  NumberPort inputSampleRate{this, "inputSampleRate"};
  NumberPort inputFlatness{this, "inputFlatness"};
  BooleanPort inputKeepOriginalPoints{this, "inputKeepOriginalPoints"};
  V2DBezierPathPort outputBezierPath{this, "outputBezierPath"};
};

class V2DBezierPathPointPatch : public Patch {
 public:
  explicit V2DBezierPathPointPatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  // pointOnBezierPath (path/Resample.h).
  static constexpr auto& _pointOnBezierPath = pointOnBezierPath;

  V2DBezierPathPort inputBezierPath{this, "inputBezierPath"};
  NumberPort inputT{this, "inputT"};
  NumberPort inputFlatness{this, "inputFlatness"};
  NumberPort outputX{this, "outputX"};
  NumberPort outputY{this, "outputY"};
};

class V2DBezierPathContainsPointPatch : public Patch {
 public:
  explicit V2DBezierPathContainsPointPatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  V2DBezierPathPort inputBezierPath{this, "inputBezierPath"};
  NumberPort inputX{this, "inputX"};
  NumberPort inputY{this, "inputY"};
  IndexPort inputFillRule{this, "inputFillRule"};
  BooleanPort outputContains{this, "outputContains"};
};

}  // namespace vellum
