// Displaces every point of a path, control points included, by a reproducible random offset
// drawn from the process-wide POSIX generator, reseeded from the seed input on each execution.
#pragma once

#include "host/Patch.h"
#include "path/V2DBezierPathPort.h"

namespace vellum {

class V2DBezierPathNoisePatch : public Patch {
 public:
  explicit V2DBezierPathNoisePatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  V2DBezierPathPort inputBezierPath{this, "inputBezierPath"};
  IndexPort inputSeed{this, "inputSeed"};
  NumberPort inputXAmount{this, "inputXAmount"};
  NumberPort inputYAmount{this, "inputYAmount"};
  V2DBezierPathPort outputBezierPath{this, "outputBezierPath"};
};

}  // namespace vellum
