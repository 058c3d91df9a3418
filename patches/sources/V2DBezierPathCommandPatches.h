// The two directions between paths and command structures: "Vellum Vector With Commands" builds
// a path from drawing commands, "Vellum Vector Commands" writes a path out as move, line, curve
// and close commands.
#pragma once

#include "host/Patch.h"
#include "path/V2DBezierPathPort.h"

namespace vellum {

class V2DBezierPathWithStructurePatch : public Patch {
 public:
  explicit V2DBezierPathWithStructurePatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  StructurePort inputStructure{this, "inputStructure"};
  V2DBezierPathPort outputBezierPath{this, "outputBezierPath"};
};

class V2DBezierPathCommandsPatch : public Patch {
 public:
  explicit V2DBezierPathCommandsPatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  V2DBezierPathPort inputBezierPath{this, "inputBezierPath"};
  StructurePort outputCommands{this, "outputCommands"};
};

}  // namespace vellum
