// CSS colours (hex forms, rgb(a), hsl(a), names) and lengths with units. Components must come
// out within 0..1.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "svg/SVGStyle.h"

using namespace vellum;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const auto color = parseSVGColor(text)) {
    for (double c : {color->red, color->green, color->blue, color->alpha}) {
      if (!(c >= 0 && c <= 1)) {
        fprintf(stderr, "colour component %g out of 0..1\n", c);
        abort();
      }
    }
  }
  for (SVGAxis axis : {SVGAxis::X, SVGAxis::Y, SVGAxis::Other}) (void)parseSVGLength(text, {}, axis);
  return 0;
}
