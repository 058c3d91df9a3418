// SVG path data ("d", arcs and shorthands included), point lists ("points") and the basic
// shapes with lengths on arbitrary text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "svg/SVGPathData.h"

using namespace vellum;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  size_t errorAt = 0;
  auto path = parseSVGPathData(text, &errorAt);
  if (errorAt > text.size()) abort();
  (void)path->bounds();
  (void)parseSVGPoints(text);
  for (const char* shape : {"polyline", "polygon"}) {
    SVGAttributeList attributes{{"points", std::string(text)}};
    if (auto p = svgShapePath(shape, attributes)) (void)p->bounds();
  }
  SVGAttributeList rect{{"x", std::string(text)}, {"width", std::string(text)}, {"height", "3"}, {"rx", std::string(text)}};
  if (auto p = svgShapePath("rect", rect)) (void)p->bounds();
  return 0;
}
