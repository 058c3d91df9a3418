// Every patch that makes a structure, run through vellum and written as JSON, must give the
// files in golden/expected byte for byte; and each file read back as a value and written again
// must give itself.
#include <gtest/gtest.h>

#include "tests/cli/TestSupport.h"

using namespace vellum;
using namespace vellum::cli;

namespace {

const test::fs::path kGolden = GOLDEN_DIR;
const char* const kOutputs[] = {"path", "lines", "triangles", "extrusion", "lathe", "grid", "commands", "svg"};

TEST(GoldenStructures, PatchOutputsMatchTheGoldenFiles) {
  test::ScratchFolder folder;
  for (const char* file : {"structures.json", "drawing.svg"}) test::fs::copy_file(kGolden / file, folder / file);
  const test::RunResult r = test::runVellum(folder.path(), {"run", "structures.json", "--out", "out"}, false);
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* name : kOutputs) {
    const std::string file = std::string(name) + ".json";
    EXPECT_EQ(test::readFile(folder / "out" / file), test::readFile(kGolden / "expected" / file)) << file;
  }
}

TEST(GoldenStructures, JsonReadBackWritesTheSameText) {
  for (const char* name : kOutputs) {
    const std::string text = test::readFile(kGolden / "expected" / (std::string(name) + ".json"));
    ASSERT_FALSE(text.empty()) << name;
    EXPECT_EQ(dumpJson(toJson(fromJson(parseJson(text, name))), true) + "\n", text) << name;
  }
}

}  // namespace
