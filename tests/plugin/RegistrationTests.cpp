// Registration through the real module, loaded the way a host loads it.
#include <gtest/gtest.h>

#include <filesystem>

#include "host/Bundle.h"
#include "host/Exception.h"
#include "host/Log.h"
#include "plugin/Vellum2DPrincipal.h"

using namespace vellum;
namespace fs = std::filesystem;

namespace {

struct CapturedLog {
  std::vector<std::string> lines;
  LogSink previous = setLogSink([this](const std::string& l) { lines.push_back(l); });
  ~CapturedLog() { setLogSink(std::move(previous)); }
};

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

TEST(Catalogue, HasThirtyRowsWithTheClassLevelAnswers) {
  const auto& rows = catalogueRows();
  ASSERT_EQ(rows.size(), 30u);
  EXPECT_STREQ(rows.front().name, "V2DImageWithBezierPathPatch");
  EXPECT_STREQ(rows.back().displayName, "Vellum Vector Commands");
  int unsafe = 0, timeModeOne = 0, defaults = 0;
  for (const auto& row : rows) {
    EXPECT_EQ(std::string(row.displayName).rfind("Vellum ", 0), 0u) << row.name;
    unsafe += !row.isSafe;
    timeModeOne += row.timeMode == 1u;
    defaults += !row.executionMode.has_value();
    EXPECT_EQ(row.executionMode.has_value(), row.timeMode.has_value()) << row.name;
  }
  EXPECT_EQ(unsafe, 1);
  EXPECT_STREQ(rows[26].displayName, "Vellum Vector With SVG");
  EXPECT_FALSE(rows[26].isSafe);
  EXPECT_EQ(timeModeOne, 1);
  EXPECT_EQ(rows[19].timeMode, 1u);
  EXPECT_EQ(defaults, 7);
  EXPECT_STREQ(rows[8].inspectorClass, "V2DBezierPathCombinePatchUI");
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
    auto patch = c->create("id");
    ASSERT_TRUE(patch);
    EXPECT_EQ(patch->userInfo().memberForKey("name").stringValue(), c->displayName);
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
