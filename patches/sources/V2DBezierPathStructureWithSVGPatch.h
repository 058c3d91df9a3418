// "Vellum Vector With SVG": reads an SVG file with the SVG reader (svg/SVGReader.h) into a
// bezier path structure of paint entries.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "host/Patch.h"
#include "svg/SVGReader.h"

namespace vellum {

// Where `inputFile` points: "~" and "~user" expanded, absolute names unchanged, other names
// relative to the folder of `compositionURL` (a percent-encoded file URL), or to the working
// directory when there is no such URL.
std::string svgFileLocation(std::string_view inputFile, std::optional<std::string_view> compositionURL);

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
