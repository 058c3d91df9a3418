// "Vellum Vector With SVG": reads an SVG file with the SVG reader (svg/SVGReader.h) into a
// bezier path structure of paint entries.
#pragma once

#include <string>

#include "host/Patch.h"
#include "svg/SVG.h"

namespace vellum {

class V2DBezierPathStructureWithSVGPatch : public Patch {
 public:
  explicit V2DBezierPathStructureWithSVGPatch(const std::string& identifier = {});
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  // Reads the file at `path` with the patch's reader (SVGReader::read).
  bool _parseSVG(const std::string& path) { return reader.read(path); }

  StringPort inputFile{this, "inputFile"};
  StructurePort outputBezierPaths{this, "outputBezierPaths"};

  SVGReader reader;
};

}  // namespace vellum
