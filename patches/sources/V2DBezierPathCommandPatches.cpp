#include "patches/sources/V2DBezierPathCommandPatches.h"

#include <exception>

#include "host/Log.h"
#include "text/CommandStructure.h"

namespace vellum {

// --- Vector With Commands ------------------------------------------------------------------

V2DBezierPathWithStructurePatch::V2DBezierPathWithStructurePatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Vector With Commands", "name");
}

bool V2DBezierPathWithStructurePatch::execute(ExecutionContext*, double, const Arguments&) {
  try {
    auto path = BezierPath::bezierPath();
    appendBezierPathWithStructure(*path, inputStructure.structureValue());
    outputBezierPath.setBezierPathValue(std::move(path));
  } catch (const std::exception& e) {
    // A command the path refused: the partly built path is dropped.
    log(std::string("[V2DBezierPathWithStructurePatch execute:time:arguments:]  exception = '") + e.what() + "'");
    outputBezierPath.setBezierPathValue(nullptr);
  }
  return true;
}

// --- Vector Commands -----------------------------------------------------------------------

V2DBezierPathCommandsPatch::V2DBezierPathCommandsPatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Vector Commands", "name");
}

bool V2DBezierPathCommandsPatch::execute(ExecutionContext*, double, const Arguments&) {
  const BezierPathRef path = inputBezierPath.bezierPathValue();
  if (!path) {
    outputCommands.setStructureValue(StructureRef());
    return true;
  }
  std::vector<Value> commands;
  commands.reserve(path->elementCount());
  V2DBezierPathEnumerator elements = path->enumerator();
  while (const auto e = elements.next()) {
    const Point* p = e->points;
    switch (static_cast<BezierPathElement>(e->type)) {
      case BezierPathElement::MoveTo: commands.push_back(std::vector<Value>{"moveTo", p[0].x, p[0].y}); break;
      case BezierPathElement::LineTo: commands.push_back(std::vector<Value>{"lineTo", p[0].x, p[0].y}); break;
      case BezierPathElement::CurveTo:
        // End point first, then the two control points.
        commands.push_back(std::vector<Value>{"curveTo", p[2].x, p[2].y, p[0].x, p[0].y, p[1].x, p[1].y});
        break;
      case BezierPathElement::ClosePath: commands.push_back(std::vector<Value>{"close"}); break;
    }
  }
  outputCommands.setStructureValue(Structure::withArray(std::move(commands)));
  return true;
}

}  // namespace vellum
