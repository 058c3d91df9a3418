// Loading compositions and evaluating them, with the test plug-in loaded through Bundle.
#include <gtest/gtest.h>

#include "cli/Composition.h"
#include "cli/Plugins.h"
#include "host/Bundle.h"
#include "host/Patch.h"
#include "tests/cli/TestSupport.h"

using namespace vellum;
using namespace vellum::cli;
namespace fs = std::filesystem;

namespace {

class CompositionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Only the test plug-in: these tests must not depend on the real patches.
    ASSERT_EQ(loadPlugins(manager, {}, {TEST_PLUGIN}), 1u);
  }

  std::unique_ptr<Composition> load(const std::string& text) {
    test::writeFile(folder / "comp.json", text);
    return Composition::load(folder / "comp.json", manager);
  }

  // The error message loading gives, or "" when it loads.
  std::string loadError(const std::string& text) {
    try {
      load(text);
      return "";
    } catch (const UsageError& e) {
      return e.what();
    }
  }

  const Value& port(Composition& c, const std::string& patch, const std::string& key) {
    return c.node(patch)->patch->portForKey(key)->value();
  }
  uint64_t stamp(Composition& c, const std::string& patch) { return uint64_t(port(c, patch, "outputStamp").integerValue()); }

  NodeManager manager;
  test::ScratchFolder folder;
};

const char* kChain = R"({
  "patches": {
    "a": {"class": "VTProbePatch", "inputs": {"inputNumber": 1}},
    "b": {"class": "Vellum Test Probe"},
    "c": {"class": "VTProbePatch"},
    "idle": {"class": "VTProbePatch"}
  },
  "connections": [["a.outputNumber", "b.inputNumber"], ["b.outputNumber", "c.inputNumber"],
                  ["a.outputString", "c.inputString"]],
  "outputs": {"c": "c.outputNumber", "b": "b.outputNumber"}
})";

}  // namespace

TEST_F(CompositionTest, EachPatchRunsOncePerFrameUpstreamFirstBetweenSetupAndCleanup) {
  auto c = load(kChain);
  c->evaluate(0);
  for (const char* id : {"a", "b", "c"}) EXPECT_EQ(c->node(id)->executions, 1u) << id;
  EXPECT_LT(stamp(*c, "a"), stamp(*c, "b"));
  EXPECT_LT(stamp(*c, "b"), stamp(*c, "c"));
  EXPECT_EQ(port(*c, "c", "outputNumber"), Value(4.0));  // 1, plus one per patch
  EXPECT_EQ(port(*c, "c", "outputString"), Value("hello"));
  // The first execution sees every input updated; the flags are cleared after it.
  EXPECT_EQ(port(*c, "b", "outputUpdated"), Value("inputNumber,inputIndex,inputBoolean,inputString,inputColor,inputStructure"));
  for (Port* p : c->node("b")->patch->inputPorts()) EXPECT_FALSE(p->wasUpdated()) << p->key();
  // A patch no output depends on is never pulled, but it was set up.
  EXPECT_EQ(c->node("idle")->executions, 0u);
  EXPECT_EQ(port(*c, "idle", "outputLifecycle"), Value("setup enable"));
  c->stop();
  EXPECT_EQ(port(*c, "a", "outputLifecycle"), Value("setup enable execute disable cleanup"));
  // The options were there before setup, which read them.
  EXPECT_EQ(port(*c, "a", "outputURL"), Value("file://" + fs::absolute(folder / "comp.json").lexically_normal().string()));
  EXPECT_EQ(fileURL("/tmp/my drawings/100%/a.json"), "file:///tmp/my%20drawings/100%25/a.json");
  EXPECT_EQ(fileURL("/x/é.json"), "file:///x/%C3%A9.json");
}

TEST_F(CompositionTest, TimeModeZeroPatchWaitsForChangedInputs) {
  auto c = load(kChain);
  for (double time : {0, 1, 2}) c->evaluate(time);
  for (const char* id : {"a", "b", "c"}) EXPECT_EQ(c->node(id)->executions, 1u) << id;
  // A change at the top runs everything below it, once.
  c->node("a")->patch->portForKey("inputNumber")->setValue(5);
  c->evaluate(3);
  for (const char* id : {"a", "b", "c"}) EXPECT_EQ(c->node(id)->executions, 2u) << id;
  EXPECT_EQ(port(*c, "c", "outputNumber"), Value(8.0));
  EXPECT_EQ(port(*c, "c", "outputUpdated"), Value("inputNumber"));
  // Setting the same value again is no change.
  c->node("a")->patch->portForKey("inputNumber")->setValue(5.0);
  c->evaluate(4);
  EXPECT_EQ(c->node("a")->executions, 2u);
}

TEST_F(CompositionTest, OtherTimeModesRunEveryFrame) {
  auto c = load(R"({
    "patches": {"clock": {"class": "VTClockPatch", "inputs": {"inputScale": 2}}, "probe": {"class": "VTProbePatch"}},
    "connections": [["clock.outputTime", "probe.inputNumber"]],
    "outputs": {"n": "probe.outputNumber"}
  })");
  c->evaluate(0.5);
  c->evaluate(0.5);
  EXPECT_EQ(c->node("clock")->executions, 2u);
  // The clock ran again but gave the same value: the probe had nothing new.
  EXPECT_EQ(c->node("probe")->executions, 1u);
  c->evaluate(1.5);
  EXPECT_EQ(c->node("clock")->executions, 3u);
  EXPECT_EQ(c->node("probe")->executions, 2u);
  EXPECT_EQ(port(*c, "probe", "outputNumber"), Value(4.0));
  EXPECT_LT(stamp(*c, "clock"), stamp(*c, "probe"));
}

// Inputs are converted and clamped as they are set; a saved state comes first (it makes the
// inputs).
TEST_F(CompositionTest, InputsAreConvertedAndClampedWhenSet) {
  auto c = load(R"({"patches": {
      "p": {"class": "VTProbePatch", "inputs": {"inputNumber": 50, "inputIndex": 9, "inputBoolean": 1, "inputString": 2.5,
                                                "inputColor": {"$color": [0, 1, 0, 1]}, "inputStructure": {"k": [1, 2]}}},
      "s": {"class": "VTStatePatch", "state": {"inputsCount": 2}, "inputs": {"input0": 1.5, "input1": 2}}},
    "outputs": {"sum": "s.outputSum"}})");
  EXPECT_EQ(port(*c, "p", "inputNumber"), Value(10.0));
  EXPECT_EQ(port(*c, "p", "inputIndex"), Value(5));
  EXPECT_EQ(port(*c, "p", "inputBoolean"), Value(true));
  EXPECT_EQ(port(*c, "p", "inputString"), Value("2.5"));
  EXPECT_EQ(port(*c, "p", "inputColor"), Value(Color{0, 1, 0, 1}));
  EXPECT_EQ(port(*c, "p", "inputStructure").structure()->memberForKey("k").structure()->count(), 2u);
  c->evaluate(0);
  EXPECT_EQ(port(*c, "s", "outputSum"), Value(3.5));
}

TEST_F(CompositionTest, ErrorsNameTheFilePatchAndPort) {
  const std::string outputs = "(outputs: outputNumber, outputStamp, outputUpdated, outputURL, outputString, outputLifecycle)";
  const std::pair<const char*, std::string> cases[] = {
      {R"({"patches": {"p": {"class": "NoSuchPatch"}}})",
       "patch 'p': unknown class 'NoSuchPatch' (`vellum patches NAME` lists the classes whose name holds NAME)"},
      {R"({"patches": {"p": {"class": "VTUnsafePatch", "inputs": {"inputNope": 1}}}})",
       "patch 'p', port 'inputNope': no input port 'inputNope' on 'VTUnsafePatch' (inputs: inputThrow, inputPicky)"},
      // Without its state the patch has made no inputs yet.
      {R"({"patches": {"s": {"class": "VTStatePatch", "inputs": {"input0": 1}}}})",
       "patch 's', port 'input0': no input port 'input0' on 'VTStatePatch' (inputs: none)"},
      {R"({"patches": {"p": {"class": "VTProbePatch", "inputs": {"inputColor": {"$color": [1, 2]}}}}})",
       "patch 'p', port 'inputColor': $color wants an array of 3 or 4 numbers, not [1,2]"},
      {R"({"patches": {"p": {"class": "VTProbePatch"}}, "outputs": {"x": "p.outputNope"}})",
       "patch 'p', port 'outputNope': no output port 'outputNope' on 'VTProbePatch' " + outputs},
      {R"({"patches": {}, "extra": 1})", "unknown member \"extra\""},
      {R"({"patches": {"p": {"class": "VTProbePatch"}}, "outputs": {"x.txt": "p.outputNumber"}})",
       "output \"x.txt\": unknown file type .txt (png, obj, ply, gltf, glb, svg, json)"},
      {R"({"patches": {"a": {"class": "VTProbePatch"}, "b": {"class": "VTUnsafePatch"}},
          "connections": [["a.outputNumber", "b.inputPicky"]]})",
       "patch 'b', port 'inputPicky': connection a.outputNumber -> b.inputPicky: the input port (NumberPort) refuses "
       "the connection"},
      {R"({"patches": {"a": {"class": "VTProbePatch"}, "b": {"class": "VTProbePatch"}},
          "connections": [["a.outputNumber", "b.inputNumber"], ["a.outputNumber", "b.inputNumber"]]})",
       "patch 'b', port 'inputNumber': connection a.outputNumber -> b.inputNumber: the input is already connected"},
      {R"({"patches": {"a": {"class": "VTProbePatch"}}, "connections": [["a.inputNumber", "a.inputNumber"]]})",
       "patch 'a', port 'inputNumber': no output port 'inputNumber' on 'VTProbePatch' ('inputNumber' is an input) " +
           outputs},
      {R"({"patches": {"a": {"class": "VTProbePatch"}}, "connections": [["a.outputNumber"]]})",
       "a connection is [\"PATCH.outputPort\", \"PATCH.inputPort\"], not [\"a.outputNumber\"]"},
      {R"({"patches": {"a": {"class": "VTProbePatch"}, "b": {"class": "VTProbePatch"}, "c": {"class": "VTProbePatch"}},
          "connections": [["a.outputNumber", "b.inputNumber"], ["b.outputNumber", "c.inputNumber"],
                          ["c.outputNumber", "a.inputNumber"]]})",
       "the connections make a cycle: a -> c -> b -> a (read upstream)"},
      {R"({"patches": {"a": {"class": "VTProbePatch"}}, "connections": [["a.outputNumber", "a.inputNumber"]]})",
       "the connections make a cycle: a -> a (read upstream)"},
  };
  for (const auto& [text, message] : cases) EXPECT_EQ(loadError(text), (folder / "comp.json").string() + ": " + message);
}

TEST_F(CompositionTest, PluginFolderTwiceRegistersOnce) {
  NodeManager other;
  fs::path folder = fs::path(TEST_PLUGIN).parent_path();
  EXPECT_EQ(loadPlugins(other, {folder}, {folder, fs::path(TEST_PLUGIN)}), 1u);
  EXPECT_TRUE(other.isNodeRegisteredWithName("VTProbePatch"));
  EXPECT_EQ(other.classes().size(), 6u);
}
