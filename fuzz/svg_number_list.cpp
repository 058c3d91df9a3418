// SVG number lists ("stroke-dasharray") and the number scanner, and the style resolution that
// reads them; a dash pattern never holds NaN.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "svg/SVGStyle.h"

using namespace vellum;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  (void)parseSVGNumberList(text);
  SVGStyleAttributes style;
  style.set("stroke-dasharray", text);
  style.set("stroke-dashoffset", text);
  style.set("stroke-width", text);
  style.set("stroke-miterlimit", text);
  BezierPath path;
  (void)applySVGStyle(path, style);
  for (double d : path.lineDash())
    if (std::isnan(d)) {
      fprintf(stderr, "NaN in a dash pattern\n");
      abort();
    }
  return 0;
}
