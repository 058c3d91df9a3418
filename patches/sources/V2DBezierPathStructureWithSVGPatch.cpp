#include "patches/sources/V2DBezierPathStructureWithSVGPatch.h"

namespace vellum {

V2DBezierPathStructureWithSVGPatch::V2DBezierPathStructureWithSVGPatch(const std::string& identifier)
    : Patch(identifier) {
  userInfo().setMember("Vellum Vector With SVG", "name");
}

bool V2DBezierPathStructureWithSVGPatch::execute(ExecutionContext*, double, const Arguments&) {
  const std::string file = inputFile.stringValue();
  if (file.empty()) {
    outputBezierPaths.setStructureValue(StructureRef());
    return true;
  }
  std::optional<std::string_view> url;
  const StructureRef options = _getUserInfo(".options").structure();
  if (options)
    if (const std::string* s = options->memberForKey("compositionURL").string()) url = *s;
  const bool read = _parseSVG(svgFileLocation(file, url));

  auto out = std::make_shared<Structure>();
  if (read) {
    size_t index = 0;
    for (const SVGReader::Entry& e : reader.allBezierPaths) out->addMember(e.entry, std::to_string(index++));
  }
  reader.allBezierPaths.clear();
  outputBezierPaths.setStructureValue(StructureRef(std::move(out)));
  return true;
}

}  // namespace vellum
