#include "patches/sources/V2DBezierPathCommandPatches.h"

#include <exception>

#include "host/Log.h"
#include "text/Text.h"

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
  outputCommands.setStructureValue(path->commandList());
  return true;
}

}  // namespace vellum
