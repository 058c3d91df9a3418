// The SVG reader on whole documents: the fuzz bytes are the file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "patches/sources/V2DBezierPathStructureWithSVGPatch.h"

#include "fuzz/FuzzSupport.h"

using namespace vellum;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::loadFontConfiguration();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string file = "/tmp/vellum-fuzz-svg-" + std::to_string(getpid()) + ".svg";
  FILE* f = fopen(file.c_str(), "wb");
  if (!f) return 0;
  fwrite(data, 1, size, f);
  fclose(f);
  V2DBezierPathStructureWithSVGPatch patch("svg");
  patch.inputFile.setValue(file);
  patch.execute(nullptr, 0, {});
  if (auto entries = patch.outputBezierPaths.structureValue())
    for (const auto& member : *entries)
      if (auto entry = member.value.structure())
        if (auto path = entry->memberForKey("path").objectAs<BezierPath>()) (void)path->bounds();
  return 0;
}
