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

  // One displacement for amount `amount`, from one draw of random(): the low 23 bits r give
  // (r * e - 0.5) * amount in single precision, e being the float of bit pattern 0x34000001.
  static float displacement(long draw, float amount);
  // The amount as the formula uses it: converted to single precision; an amount that is not
  // finite there (NaN, infinities, doubles beyond the float range) displaces nothing.
  static float singleAmount(double amount);

  V2DBezierPathPort inputBezierPath{this, "inputBezierPath"};
  IndexPort inputSeed{this, "inputSeed"};
  NumberPort inputXAmount{this, "inputXAmount"};
  NumberPort inputYAmount{this, "inputYAmount"};
  V2DBezierPathPort outputBezierPath{this, "outputBezierPath"};
};

}  // namespace vellum
