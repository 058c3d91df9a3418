// SVG transform texts ("translate(...) scale(...) rotate(...)" and unknown functions).
#include <cstdint>
#include <string>

#include "svg/SVGStyle.h"

using namespace vellum;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (auto transform = parseSVGTransform(text)) (void)transform->transformPoint({1, 2});
  size_t position = 0;
  while (position < text.size() && parseSVGArgumentList(text, position)) {
  }
  return 0;
}
