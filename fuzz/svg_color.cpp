// SVG colours ("#rgb", "#rrggbb", "rgb(r, g, b)", names) with an opacity text. The first byte
// splits the input into paint and opacity. Components must come out within 0..1.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "svg/SVGStyle.h"

using namespace vellum;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const size_t split = std::min<size_t>(data[0] & 0x7f, rest.size());
  const std::string_view paint = rest.substr(0, split), opacity = rest.substr(split);
  const auto color = parseSVGColor(paint, data[0] & 0x80 ? std::optional<std::string_view>(opacity) : std::nullopt);
  if (color) {
    for (double c : {color->red, color->green, color->blue, color->alpha}) {
      if (!(c >= 0 && c <= 1)) {
        fprintf(stderr, "colour component %g out of 0..1\n", c);
        abort();
      }
    }
  }
  return 0;
}
