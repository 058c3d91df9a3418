#include "patches/geometry/V2DLatheTriangleStructurePatch.h"

namespace vellum {

V2DLatheTriangleStructurePatch::V2DLatheTriangleStructurePatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Lathe With Vector", "name");
  setUpFlatnessPort(inputFlatness);
  inputSmooth.setMaxIndexValue(1);
}

bool V2DLatheTriangleStructurePatch::execute(ExecutionContext*, double, const Arguments&) {
  V2DTriangleList triangles;
  V2DTriangleIndexMap triangleIndices;
  if (const auto path = inputBezierPath.bezierPathValue()) {
    // A profile to revolve but no angle to revolve it through makes an empty mesh: say which input.
    const double begin = inputAngleBegin.doubleValue(), end = inputAngleEnd.doubleValue();
    std::string why;
    if (inputAngleSteps.indexValue() == 0)
      why = "inputAngleSteps is 0, so the lathe makes no triangles; give it 1 or more steps";
    else if (begin == end)
      why = "inputAngleBegin and inputAngleEnd are both " + Value(begin).stringValue() +
            ", so the lathe sweeps no angle; set inputAngleEnd to 360 for a full turn";
    if (!why.empty() && !path->isEmpty())
      complain_(why, [&] { return "[V2DLatheTriangleStructurePatch execute:time:arguments:]  " + why + "."; });
    _latheStructureForBezierPath(path->bezierPathByFlatteningPathWithFlatness(inputFlatness.doubleValue()).get(),
                                 triangles, triangleIndices);
  }
  outputTriangles.setStructureValue(V2DMeshStructureFromTriangles(triangles, triangleIndices, inputSmooth.indexValue() != 0));
  return true;
}

}  // namespace vellum
