// Registration through the real module, loaded the way a host loads it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "host/Bundle.h"
#include "host/Exception.h"
#include "host/Log.h"
#include "plugin/Vellum2DPrincipal.h"
#include "tests/support/CapturedLog.h"

using namespace vellum;
namespace fs = std::filesystem;

namespace {

using vellum::testing::CapturedLog;

// A second copy of the module at another path, as a user with two installs would have.
std::string copyOfModule() {
  static const std::string copy = [] {
    fs::path dir = fs::temp_directory_path() / ("vellum-plugin-copy-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::path to = dir / "libVellum2D.so";
    fs::copy_file(VELLUM_PLUGIN_FILE, to, fs::copy_options::overwrite_existing);
    return to.string();
  }();
  return copy;
}

std::vector<std::string> rowNamesWithClasses() {
  std::vector<std::string> names;
  for (const auto& row : catalogueRows())
    if (row.create) names.push_back(row.name);
  return names;
}

std::vector<std::string> namesOf(const NodeManager& m) {
  std::vector<std::string> names;
  for (const PatchClass* c : m.classes()) names.push_back(c->name);
  return names;
}

const std::string kPrefix = "[Vellum2DPrincipal registerNodesWithManager:]  ";

}  // namespace

// The whole catalogue in registration order: class names and display names are what saved
// compositions refer to. Modes: -1 leaves the host's default; only the SVG reader is unsafe.
TEST(Catalogue, ThirtyRowsInOrderWithTheirClassLevelAnswers) {
  struct Row {
    const char* name;
    const char* displayName;
    int executionMode, timeMode;
  };
  const std::vector<Row> expected = {
      {"V2DImageWithBezierPathPatch", "Vellum Image With Vector", -1, -1},
      {"V2DBezierPathWithStringPatch", "Vellum Vector With String", 0, 0},
      {"V2DLineStructurePatch", "Vellum Line Structure With Vector", 0, 0},
      {"V2DBezierPathContainsPointPatch", "Vellum Vector Contains Point", 0, 0},
      {"V2DBezierPathWithStructurePatch", "Vellum Vector With Commands", 0, 0},
      {"V2DBezierPathWithOvalPatch", "Vellum Vector With Oval", 0, 0},
      {"V2DBezierPathWithRectanglePatch", "Vellum Vector With Rectangle", 0, 0},
      {"V2DBezierPathWithRoundedRectanglePatch", "Vellum Vector With Rounded Rectangle", 0, 0},
      {"V2DBezierPathCombinePatch", "Vellum Vector Combine", 0, 0},
      {"V2DBezierPathWithArcPatch", "Vellum Vector With Arc", 0, 0},
      {"V2DBezierPathWithCurvePatch", "Vellum Vector With Curve", 0, 0},
      {"V2DBezierPathWithLinePatch", "Vellum Vector With Line", 0, 0},
      {"V2DBezierPathReversePatch", "Vellum Vector Reverse", 0, 0},
      {"V2DBezierPathTransformPatch", "Vellum Vector Transform", -1, -1},
      {"V2DBezierPathBoundsPatch", "Vellum Vector Bounds", 0, 0},
      {"V2DTriangleStructurePatch", "Vellum Triangle Structure With Vector", -1, -1},
      {"V2DBezierPathClosePatch", "Vellum Vector Close", 0, 0},
      {"V2DBezierPathNoisePatch", "Vellum Vector Noise", -1, -1},
      {"V2DBezierPathFlattenPatch", "Vellum Vector Flatten", -1, -1},
      {"V2DBezierPathMorphPatch", "Vellum Vector Morph", 0, 1},
      {"V2DExtrusionTriangleStructurePatch", "Vellum Extrusion With Vector", -1, -1},
      {"V2DLatheTriangleStructurePatch", "Vellum Lathe With Vector", -1, -1},
      {"V2DBezierPathWithLineStructurePatch", "Vellum Vector With Line Structure", 0, 0},
      {"V2DBezierPathPointPatch", "Vellum Vector Intermediate Point", 0, 0},
      {"V2DBezierPathResamplePatch", "Vellum Vector Resample", 0, 0},
      {"V2DGridPatch", "Vellum Grid With Vector", 0, 0},
      {"V2DBezierPathStructureWithSVGPatch", "Vellum Vector With SVG", 0, 0},
      {"V2DImageWithBezierPathStructurePatch", "Vellum Image With Vector Structure", 0, 0},
      {"V2DBezierPathWithCurveStructurePatch", "Vellum Vector With Curve Structure", 0, 0},
      {"V2DBezierPathCommandsPatch", "Vellum Vector Commands", 0, 0},
  };
  auto mode = [](int m) { return m < 0 ? std::nullopt : std::optional<unsigned>(m); };
  const auto& rows = catalogueRows();
  ASSERT_EQ(rows.size(), expected.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_STREQ(rows[i].name, expected[i].name);
    EXPECT_STREQ(rows[i].displayName, expected[i].displayName);
    EXPECT_EQ(rows[i].isSafe, std::string(rows[i].name) != "V2DBezierPathStructureWithSVGPatch");
    EXPECT_EQ(rows[i].executionMode, mode(expected[i].executionMode));
    EXPECT_EQ(rows[i].timeMode, mode(expected[i].timeMode));
    EXPECT_STREQ(rows[i].inspectorClass, i == 8 ? "V2DBezierPathCombinePatchUI" : "");
  }
}

TEST(Registration, AFreshHostGetsEveryClassInOrderAndNothingLogged) {
  Bundle& bundle = Bundle::load(VELLUM_PLUGIN_FILE);
  EXPECT_STREQ(bundle.module().principalClass, "Vellum2DPrincipal");
  NodeManager manager;
  CapturedLog log;
  bundle.registerNodesWithManager(manager);
  EXPECT_TRUE(log.lines.empty());
  EXPECT_EQ(namesOf(manager), rowNamesWithClasses());
  for (const PatchClass* c : manager.classes()) {
    EXPECT_FALSE(c->allowsSubpatches);
    // The class-level answers are the catalogue row's.
    const auto row = std::find_if(catalogueRows().begin(), catalogueRows().end(),
                                  [&](const CatalogueRow& r) { return c->name == r.name; });
    ASSERT_NE(row, catalogueRows().end());
    EXPECT_EQ(c->isSafe, row->isSafe) << c->name;
    EXPECT_EQ(c->executionMode, row->executionMode) << c->name;
    EXPECT_EQ(c->timeMode, row->timeMode) << c->name;
    EXPECT_EQ(c->inspectorClass, row->inspectorClass) << c->name;
    auto patch = c->create("id");
    ASSERT_TRUE(patch);
    EXPECT_EQ(patch->userInfo().memberForKey("name").stringValue(), c->displayName);
    // `vellum patches` describes every class and names each value of every bounded index input.
    EXPECT_FALSE(c->description.empty()) << c->name;
    size_t named = 0;
    for (Port* p : patch->inputPorts()) {
      const auto* index = dynamic_cast<const IndexPort*>(p);
      if (!index || !index->maxIndexValue()) continue;
      const auto choices = std::find_if(c->indexChoices.begin(), c->indexChoices.end(),
                                        [&](const auto& entry) { return entry.first == p->key(); });
      ASSERT_NE(choices, c->indexChoices.end()) << c->name << " " << p->key();
      EXPECT_EQ(choices->second.size(), *index->maxIndexValue() + 1) << c->name << " " << p->key();
      ++named;
    }
    EXPECT_EQ(named, c->indexChoices.size()) << c->name << ": a choice names no bounded index input";
  }
  // Loading the same file again answers the same bundle.
  EXPECT_EQ(&Bundle::load(VELLUM_PLUGIN_FILE), &bundle);
}

TEST(Registration, ASecondCopyLogsEachKnownClassAndRegistersTheRest) {
  Bundle& first = Bundle::load(VELLUM_PLUGIN_FILE);
  Bundle& second = Bundle::load(copyOfModule());
  ASSERT_NE(&first, &second);
  ASSERT_NE(first.classNamed("V2DBezierPathWithOvalPatch"), second.classNamed("V2DBezierPathWithOvalPatch"));

  // One class already known (from the first copy): one pair of lines, the rest registered.
  NodeManager manager;
  manager.registerNodeWithClass(*first.classNamed("V2DBezierPathWithOvalPatch"));
  CapturedLog log;
  second.registerNodesWithManager(manager);
  std::vector<std::string> expected = {
      kPrefix + "Class V2DBezierPathWithOvalPatch is already registered.  Make sure you don't have multiple copies of this plugin installed.",
      kPrefix + "\tV2DBezierPathWithOvalPatch is also defined in " + first.bundlePath(),
      kPrefix + "\tV2DBezierPathWithOvalPatch is also defined in " + second.bundlePath(),
  };
  EXPECT_EQ(log.lines, expected);
  EXPECT_EQ(manager.classes().size(), rowNamesWithClasses().size());
  EXPECT_EQ(manager.classNamed("V2DBezierPathWithOvalPatch"), first.classNamed("V2DBezierPathWithOvalPatch"));
  EXPECT_EQ(manager.classNamed("V2DBezierPathWithRectanglePatch"), second.classNamed("V2DBezierPathWithRectanglePatch"));

  // The whole copy again: three lines per class, nothing registered twice.
  log.lines.clear();
  first.registerNodesWithManager(manager);
  EXPECT_EQ(log.lines.size(), 3 * rowNamesWithClasses().size());
  EXPECT_EQ(manager.classes().size(), rowNamesWithClasses().size());
}

TEST(Registration, NonPluginsAreRefusedClearly) {
  try {
    Bundle::load("/nonexistent/libNothing.so");
    FAIL() << "loaded a missing file";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find("/nonexistent/libNothing.so"), std::string::npos);
  }
}
