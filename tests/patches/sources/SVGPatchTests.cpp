// "Vellum Vector With SVG": where it looks for the file, and what it outputs for no file name, a
// file it cannot read and a drawing. Reading the drawing is the SVG reader's (tests/svg).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <tuple>

#include "patches/sources/V2DBezierPathStructureWithSVGPatch.h"
#include "tests/support/CapturedLog.h"

using namespace vellum;

namespace {

// Relative names resolve against the composition's folder; without a composition location (or
// with one that is not a file URL), against the working directory. %00 is not decoded: it would
// cut the name short. A tilde is the home folder, or a user's.
TEST(SVGFileLocation, RelativeNamesAndTildes) {
  const char* old = std::getenv("HOME");
  const std::string saved = old ? old : "";
  setenv("HOME", "/home/tester", 1);
  const std::tuple<const char*, std::optional<std::string_view>, const char*> rows[] = {
      {"art/a.svg", "file:///home/me/My%20Work/comp.json", "/home/me/My Work/art/a.svg"},
      {"a.svg", "file://localhost/srv/c.json", "/srv/a.svg"},
      {"a.svg", "file:///c.json", "/a.svg"},
      {"/abs/a.svg", "file:///home/me/comp.json", "/abs/a.svg"},
      {"a.svg", std::nullopt, "a.svg"},
      {"a.svg", "http://example.invalid/c.json", "a.svg"},
      {"a.svg", "file:///x%00y/c.json", "/x%00y/a.svg"},
      {"~/d/a.svg", "file:///elsewhere/c.json", "/home/tester/d/a.svg"},
      {"~", std::nullopt, "/home/tester"},
      {"~root/a.svg", std::nullopt, "/root/a.svg"},
      {"~no-such-user-here/a.svg", std::nullopt, "~no-such-user-here/a.svg"},
  };
  for (const auto& [name, composition, location] : rows)
    EXPECT_EQ(svgFileLocation(name, composition), location) << name;
  if (old) setenv("HOME", saved.c_str(), 1);
  else unsetenv("HOME");
}

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
