#include "patches/operators/V2DBezierPathNoisePatch.h"

#include <cstdlib>

#include "path/Noise.h"

namespace vellum {

V2DBezierPathNoisePatch::V2DBezierPathNoisePatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Vector Noise", "name");
}

bool V2DBezierPathNoisePatch::execute(ExecutionContext*, double, const Arguments&) {
  const auto path = inputBezierPath.bezierPathValue();
  if (!path) {
    outputBezierPath.setBezierPathValue(nullptr);
    return true;
  }
  // srandom takes an unsigned int: larger seeds keep their low 32 bits.
  srandom(static_cast<unsigned>(inputSeed.indexValue()));
  outputBezierPath.setBezierPathValue(noisyBezierPath(*path, noiseAmount(inputXAmount.doubleValue()),
                                                      noiseAmount(inputYAmount.doubleValue()), random));
  return true;
}

}  // namespace vellum
