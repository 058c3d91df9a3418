// "Vellum Vector With SVG": what it outputs for no file name, a file it cannot read and a
// drawing. Where it looks for the file, and reading the drawing, are the SVG reader's (tests/svg).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "patches/sources/V2DBezierPathStructureWithSVGPatch.h"
#include "tests/support/CapturedLog.h"

using namespace vellum;

namespace {

// No name: nothing. A missing file: an empty structure. A drawing: its entries keyed "0", "1", ...,
// read anew on every execution, and nothing kept between executions.
TEST(VectorWithSVG, NothingAnEmptyStructureOrTheEntriesReadAnewEachTime) {
  V2DBezierPathStructureWithSVGPatch patch;
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));
  EXPECT_TRUE(patch.outputBezierPaths.value().isNothing());
  const auto file = std::filesystem::temp_directory_path() / ("vellum-svg-patch-" + std::to_string(::getpid()) + ".svg");
  std::filesystem::remove(file);
  patch.inputFile.setStringValue(file.string());
  vellum::testing::CapturedLog captured;
  for (size_t count : {0, 1, 2}) {
    if (count) std::ofstream(file) << "<svg><rect width='1' height='1'/>" << (count == 2 ? "<circle r='1'/>" : "") << "</svg>";
    EXPECT_TRUE(patch.execute(nullptr, 0, {}));
    const StructureRef s = patch.outputBezierPaths.structureValue();
    ASSERT_TRUE(s) << count;
    ASSERT_EQ(s->count(), count);
    for (size_t i = 0; i < count; ++i) EXPECT_EQ(s->keyAtIndex(i), std::to_string(i));
    EXPECT_TRUE(patch.reader.allBezierPaths.empty());
  }
  std::filesystem::remove(file);
  EXPECT_EQ(captured.lines.size(), 1u);  // the missing file
}

}  // namespace
