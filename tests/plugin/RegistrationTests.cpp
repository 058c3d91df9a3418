// Registration through the real module, loaded the way a host loads it, and what the node manager
// then answers about every class, against the catalogue kept as data in catalogue.json.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "host/Bundle.h"
#include "host/Exception.h"
#include "host/Log.h"
#include "plugin/Vellum2DPrincipal.h"
#include "tests/support/CapturedLog.h"

using namespace vellum;
namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

namespace {

using vellum::testing::CapturedLog;

// A port value as plain JSON: colours as [r, g, b, a], ports that start empty as null.
Json plain(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::Nothing: return nullptr;
    case Value::Kind::Boolean: return v.boolValue();
    case Value::Kind::Integer: return v.integerValue();
    case Value::Kind::Double: return v.doubleValue();
    case Value::Kind::String: return v.stringValue();
    case Value::Kind::Color: return {v.color()->red, v.color()->green, v.color()->blue, v.color()->alpha};
    default: return std::string("a value of kind ") + Value::kindName(v.kind());
  }
}

// The class as the node manager answers it and as a new instance shows it, in the data file's form.
Json answersOf(const PatchClass& c) {
  auto mode = [](std::optional<unsigned> m) { return m ? Json(*m) : Json(nullptr); };
  Json entry = {{"name", c.name}, {"displayName", c.displayName}, {"safe", c.isSafe},
                {"executionMode", mode(c.executionMode)}, {"timeMode", mode(c.timeMode)},
                {"inspector", c.inspectorClass.empty() ? Json(nullptr) : Json(c.inspectorClass)}};
  auto patch = c.create("id");
  if (!patch) return entry;
  for (bool inputs : {true, false}) {
    Json& ports = entry[inputs ? "inputs" : "outputs"] = Json::array();
    for (const Port* p : inputs ? patch->inputPorts() : patch->outputPorts()) {
      Json port = {{"key", p->key()}, {"kind", p->portClassName()}};
      for (const auto& m : inputs ? p->attributes() : Structure()) port[*m.key()] = plain(m.value);
      for (const auto& [key, names] : inputs ? c.indexChoices : decltype(c.indexChoices)())
        if (key == p->key()) port["choices"] = names;
      ports.push_back(port);
    }
  }
  return entry;
}

}  // namespace

// Names, display names, modes, port order, kinds, defaults and limits of every class, checked once
// here: what a saved composition refers to and what a user starts from.
TEST(Registration, AFreshHostGetsTheCatalogueOfTheDataFileAndNothingLogged) {
  std::ifstream file(VELLUM_CATALOGUE_FILE);
  ASSERT_TRUE(file) << VELLUM_CATALOGUE_FILE;
  const Json expected = Json::parse(file)["classes"];
  Bundle& bundle = Bundle::load(VELLUM_PLUGIN_FILE);
  EXPECT_STREQ(bundle.module().principalClass, "Vellum2DPrincipal");
  NodeManager manager;
  CapturedLog log;
  bundle.registerNodesWithManager(manager);
  EXPECT_TRUE(log.lines.empty());
  ASSERT_EQ(manager.classes().size(), expected.size());
  ASSERT_EQ(catalogueRows().size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const PatchClass* c = manager.classes()[i];
    SCOPED_TRACE(c->name);
    EXPECT_EQ(Json(catalogueRows()[i].name), expected[i]["name"]);
    const Json got = answersOf(*c);
    EXPECT_EQ(got, expected[i]) << "differences: " << Json::diff(expected[i], got).dump();
    EXPECT_FALSE(c->allowsSubpatches);
    auto patch = c->create("id");
    ASSERT_TRUE(patch);
    EXPECT_EQ(patch->userInfo().memberForKey("name").stringValue(), c->displayName);
    // An inspector shows the view its class names.
    if (!c->inspectorClass.empty()) {
      ASSERT_TRUE(c->createInspector);
      EXPECT_EQ(c->createInspector()->viewNibName(), c->inspectorClass);
    }
    // `vellum patches` describes every class and names each value of every bounded index input,
    // and no other.
    EXPECT_FALSE(c->description.empty());
    size_t named = 0;
    for (const Json& port : got["inputs"]) {
      const bool bounded = port["kind"] == "IndexPort" && port.contains("max");
      EXPECT_EQ(port.contains("choices"), bounded) << port;
      EXPECT_TRUE(!bounded || port.value("choices", Json::array()).size() == port["max"].get<size_t>() + 1) << port;
      named += port.contains("choices");
    }
    EXPECT_EQ(named, c->indexChoices.size());
  }
  // Loading the same file again answers the same bundle.
  EXPECT_EQ(&Bundle::load(VELLUM_PLUGIN_FILE), &bundle);
}

TEST(Registration, ASecondCopyLogsEachKnownClassAndRegistersTheRest) {
  // A second copy of the module at another path, as a user with two installs would have.
  const fs::path copy = fs::temp_directory_path() / ("vellum-plugin-copy-" + std::to_string(::getpid())) / "libVellum2D.so";
  fs::create_directories(copy.parent_path());
  fs::copy_file(VELLUM_PLUGIN_FILE, copy, fs::copy_options::overwrite_existing);
  Bundle& first = Bundle::load(VELLUM_PLUGIN_FILE);
  Bundle& second = Bundle::load(copy.string());
  ASSERT_NE(&first, &second);
  ASSERT_NE(first.classNamed("V2DBezierPathWithOvalPatch"), second.classNamed("V2DBezierPathWithOvalPatch"));

  // One class already known (from the first copy): one group of lines, the rest registered.
  NodeManager manager;
  manager.registerNodeWithClass(*first.classNamed("V2DBezierPathWithOvalPatch"));
  CapturedLog log;
  second.registerNodesWithManager(manager);
  const std::string prefix = "[Vellum2DPrincipal registerNodesWithManager:]  ";
  std::vector<std::string> expected = {
      prefix + "Class V2DBezierPathWithOvalPatch is already registered.  Make sure you don't have multiple copies of this plugin installed.",
      prefix + "\tV2DBezierPathWithOvalPatch is also defined in " + first.bundlePath(),
      prefix + "\tV2DBezierPathWithOvalPatch is also defined in " + second.bundlePath(),
  };
  EXPECT_EQ(log.lines, expected);
  EXPECT_EQ(manager.classes().size(), patchClasses().size());
  EXPECT_EQ(manager.classNamed("V2DBezierPathWithOvalPatch"), first.classNamed("V2DBezierPathWithOvalPatch"));
  EXPECT_EQ(manager.classNamed("V2DBezierPathWithRectanglePatch"), second.classNamed("V2DBezierPathWithRectanglePatch"));

  // The whole copy again: three lines per class, nothing registered twice.
  log.lines.clear();
  first.registerNodesWithManager(manager);
  EXPECT_EQ(log.lines.size(), 3 * patchClasses().size());
  EXPECT_EQ(manager.classes().size(), patchClasses().size());
}

TEST(Registration, NonPluginsAreRefusedClearly) {
  try {
    Bundle::load("/nonexistent/libNothing.so");
    FAIL() << "loaded a missing file";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find("/nonexistent/libNothing.so"), std::string::npos);
  }
}
