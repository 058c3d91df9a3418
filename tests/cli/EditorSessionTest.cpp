// The editor's messages, handled as plain function calls on a session over the test plug-in.
#include <gtest/gtest.h>

#include "cli/EditorSession.h"
#include "cli/Plugins.h"
#include "tests/cli/TestSupport.h"

using namespace vellum;
using namespace vellum::cli;
namespace fs = std::filesystem;

namespace {

class EditorSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(loadPlugins(manager, {}, {TEST_PLUGIN}), 1u);
    session = std::make_unique<EditorSession>(manager, folder / "graph.json");
  }

  Json send(const std::string& text) { return session->handle(text); }
  Json ok(const std::string& text) {
    Json reply = send(text);
    EXPECT_TRUE(reply["ok"].get<bool>()) << text << " -> " << reply.dump();
    return reply;
  }
  Json document() { return ok(R"({"kind": "hello"})")["document"]; }

  NodeManager manager;
  test::ScratchFolder folder;
  std::unique_ptr<EditorSession> session;
};

TEST_F(EditorSessionTest, BadMessagesAreAnsweredAndChangeNothing) {
  ok(R"({"kind": "add", "class": "VTProbePatch", "id": "a"})");
  ok(R"({"kind": "add", "class": "VTProbePatch", "id": "b"})");
  const Json before = document();
  const struct {
    std::string message, error;
  } cases[] = {
      {"[]", "a message is a JSON object with a \"kind\""},
      {R"({"kind": 3})", "a message is a JSON object with a \"kind\""},
      {R"({"kind": "ad"})", "unknown kind of message 'ad'; did you mean 'add'?"},
      {R"({"kind": "add"})", "the message needs \"class\""},
      {R"({"kind": "add", "class": 5})", "\"class\" must be a string, not 5"},
      {R"({"kind": "add", "class": "VTProbePatch", "colour": 1})", "a 'add' message has no member \"colour\""},
      {R"({"kind": "add", "class": "VTProbePatch", "id": "a"})", "graph.json: patch 'a': a patch of that name exists already"},
      {R"({"kind": "add", "class": "VTProbePatch", "position": [1, "2"]})", "\"position\" must be [x, y], two finite numbers, not [1,\"2\"]"},
      {R"({"kind": "add", "class": "VTProbePatch", "state": 7})", "\"state\" must be an object"},
      {R"({"kind": "add", "class": "VTStatePatch", "state": {"inputsCount": -1}})",
       "graph.json: patch 'testState': the patch refuses its \"state\""},
      {R"({"kind": "remove", "id": "c"})", "graph.json: no patch named 'c'; did you mean 'a'?"},
      {R"({"kind": "set", "port": "a.inputNumbr", "value": 1})",
       "graph.json: patch 'a', port 'inputNumbr': no input port 'inputNumbr' on 'VTProbePatch'; did you mean "
       "'inputNumber'? (inputs: inputNumber, inputIndex, inputBoolean, inputString, inputColor, inputStructure)"},
      {R"({"kind": "set", "port": "a.inputNumber"})", "the message needs \"value\""},
      {R"({"kind": "set", "port": "a.inputNumber", "value": 1, "merge": "yes"})", "\"merge\" must be true or false"},
      {R"({"kind": "connect", "from": "a.outputNumber", "to": "b.inputString"})",
       "graph.json: patch 'b', port 'inputString': connection a.outputNumber -> b.inputString: kind mismatch: the output "
       "is a NumberPort, the input a StringPort"},
      {R"({"kind": "connect", "from": "a.outputNumber", "to": "a.inputNumber"})",
       "connection a.outputNumber -> a.inputNumber would make a cycle: 'a' is upstream of 'a'"},
      {R"({"kind": "disconnect", "to": "b.inputNumber"})", "'b.inputNumber' is not connected"},
      {R"({"kind": "time", "time": "soon"})", "\"time\" must be a finite number"},
      {R"({"kind": "move", "id": "a"})", "the message needs \"position\""},
      {R"({"kind": "publish", "name": "a.png", "port": "a.outputNumber"})",
       "graph.json: patch 'a', port 'outputNumber': output \"a.png\": a .png file is written from an image port, and "
       "this port is a NumberPort"},
      {R"({"kind": "unpublish", "name": "nothing"})", "no output named 'nothing'"},
      {R"({"kind": "redo"})", "nothing to redo"},
      {R"({"kind": "open", "file": "../graph.json"})", "'../graph.json': \"..\" is refused: only files in the composition's folder can be used"},
      {R"({"kind": "open", "file": "/etc/passwd"})", "'/etc/passwd': refused: a file is named relative to the composition's folder, and stays inside it"},
      {R"({"kind": "open", "file": "absent.json"})", "cannot read the composition file"},
      {R"({"kind": "save", "file": "graph.txt"})", "'graph.txt': a composition is saved as a .json file"},
      {R"({"kind": "set", "port": "a.inputStructure", "value": {"$image": "../secret.png"}})",
       "'../secret.png': \"..\" is refused: only files in the composition's folder can be used"},
  };
  for (const auto& c : cases) {
    const Json reply = send(c.message);
    EXPECT_FALSE(reply["ok"].get<bool>()) << c.message;
    const std::string error = reply.value("error", "");
    EXPECT_NE(error.find(c.error), std::string::npos) << c.message << "\n  answered: " << error;
  }
  EXPECT_EQ(document(), before);

  const std::string huge = R"({"kind": "hello", "pad": ")" + std::string(EditorSession::kMaxMessageBytes, 'x') + "\"}";
  EXPECT_EQ(send(huge)["error"], "the message is too large (" + std::to_string(huge.size()) +
                                " bytes; at most " + std::to_string(EditorSession::kMaxMessageBytes) + ")");
  EXPECT_NE(send("{\"kind\": ").value("error", "").find("the message"), std::string::npos);
  EXPECT_EQ(document(), before);
}

TEST_F(EditorSessionTest, EditsEvaluateAndAnswerWhatChanged) {
  Json added = ok(R"({"kind": "add", "class": "Vellum Test Probe", "id": "a", "position": [10, 20]})");
  EXPECT_EQ(added["node"]["ports"][0]["value"], 0.0);
  EXPECT_EQ(added["values"]["a"]["outputNumber"], 1.0);
  EXPECT_EQ(added["executed"], Json::array({"a"}));
  EXPECT_EQ(ok(R"({"kind": "set", "port": "a.inputNumber", "value": 50})")["inputs"]["a"]["inputNumber"], 10.0);

  ok(R"({"kind": "add", "class": "VTProbePatch", "id": "b"})");
  Json connected = ok(R"({"kind": "connect", "from": "a.outputNumber", "to": "b.inputNumber"})");
  EXPECT_EQ(connected["executed"], Json::array({"b"}));
  // a gives 11, which b's input clamps to its limit of 10.
  EXPECT_EQ(connected["values"]["b"]["outputNumber"], 11.0);
  EXPECT_EQ(document()["connections"], Json::parse(R"([["a.outputNumber", "b.inputNumber"]])"));

  // Only what depends on a change runs again.
  Json again = ok(R"({"kind": "set", "port": "b.inputString", "value": "x"})");
  EXPECT_EQ(again["executed"], Json::array({"b"}));
  EXPECT_EQ(again["values"]["b"]["outputString"], "x");

  ok(R"({"kind": "disconnect", "to": "b.inputNumber"})");
  EXPECT_EQ(document()["connections"], Json::array());

  EXPECT_EQ(ok(R"({"kind": "duplicate", "id": "a", "position": [50, 60]})")["node"]["id"], "testProbe");

  ok(R"({"kind": "publish", "name": "b.json", "port": "b.outputString"})");
  ok(R"({"kind": "connect", "from": "a.outputString", "to": "b.inputString"})");
  Json removed = ok(R"({"kind": "remove", "id": "a"})");
  EXPECT_EQ(removed["removed"], "a");
  EXPECT_EQ(removed["document"]["connections"], Json::array());
  EXPECT_EQ(removed["document"]["outputs"], Json::parse(R"({"b.json": "b.outputString"})"));
  ok(R"({"kind": "unpublish", "name": "b.json"})");
  EXPECT_EQ(document()["outputs"], Json::object());
}

TEST_F(EditorSessionTest, UndoAndRedoStepThroughEditsAndADragIsOneStep) {
  ok(R"({"kind": "add", "class": "VTProbePatch", "id": "a"})");
  ok(R"({"kind": "set", "port": "a.inputNumber", "value": 1})");
  ok(R"({"kind": "set", "port": "a.inputNumber", "value": 2})");
  ok(R"({"kind": "set", "port": "a.inputNumber", "value": 3, "merge": true})");
  ok(R"({"kind": "set", "port": "a.inputNumber", "value": 4, "merge": true})");
  auto number = [&](const Json& reply) {
    for (const Json& n : reply["nodes"])
      if (n["id"] == "a") return n["ports"][0]["value"];
    return Json();
  };
  Json undone = ok(R"({"kind": "undo"})");
  EXPECT_EQ(number(undone), 1.0);
  EXPECT_EQ(undone["values"]["a"]["outputNumber"], 2.0);
  EXPECT_EQ(number(ok(R"({"kind": "undo"})")), 0.0);
  Json empty = ok(R"({"kind": "undo"})");
  EXPECT_EQ(empty["nodes"], Json::array());
  EXPECT_FALSE(empty["canUndo"].get<bool>());
  for (int step = 0; step < 2; ++step) ok(R"({"kind": "redo"})");
  Json redone = ok(R"({"kind": "redo"})");
  EXPECT_EQ(number(redone), 4.0);
  EXPECT_FALSE(redone["canRedo"].get<bool>());

  // A first place is no step; moving from it is one, however often the patch is moved on.
  ok(R"({"kind": "move", "id": "a", "position": [5, 5]})");
  EXPECT_FALSE(ok(R"({"kind": "move", "id": "a", "position": [5, 5]})")["canRedo"].get<bool>());
  ok(R"({"kind": "move", "id": "a", "position": [6, 6]})");
  ok(R"({"kind": "move", "id": "a", "position": [7, 7]})");
  EXPECT_EQ(ok(R"({"kind": "undo"})")["document"]["editor"]["positions"]["a"], Json::parse("[5.0, 5.0]"));
  EXPECT_EQ(number(ok(R"({"kind": "undo"})")), 1.0);
}

TEST_F(EditorSessionTest, RefusalsAndErrorsGoToThePatchThatRaisedThem) {
  ok(R"({"kind": "add", "class": "VTUnsafePatch", "id": "u"})");
  ok(R"({"kind": "add", "class": "VTProbePatch", "id": "a"})");
  const Json refused = send(R"({"kind": "set", "port": "a.inputNumber", "value": "ten"})");
  EXPECT_EQ(refused["patch"], "a");
  EXPECT_EQ(refused["port"], "inputNumber");
  EXPECT_NE(refused["error"].get<std::string>().find("a number is written without quotes"), std::string::npos);
  Json thrown = ok(R"({"kind": "set", "port": "u.inputThrow", "value": true})");
  EXPECT_EQ(thrown["errors"]["u"], Json::array({"vellum: patch 'u' (VTUnsafePatch) execute: asked to throw"}));
  // The session goes on, and a clean run clears the patch's errors.
  Json clean = ok(R"({"kind": "set", "port": "u.inputThrow", "value": false})");
  EXPECT_EQ(clean["errors"]["u"], Json::array());
  EXPECT_EQ(clean["values"]["u"]["outputNumber"], 42.0);
}

TEST_F(EditorSessionTest, PreviewsOfImagesAndMeshesAtTheSessionsTime) {
  ok(R"({"kind": "add", "class": "VTMeshPatch", "id": "m"})");
  ok(R"({"kind": "add", "class": "Vellum Test Clock", "id": "clock"})");
  ok(R"({"kind": "set", "port": "clock.inputScale", "value": 2})");
  ok(R"({"kind": "connect", "from": "clock.outputTime", "to": "m.inputDepth"})");
  Json values = ok(R"({"kind": "time", "time": 1})")["values"]["m"];
  // Straight alpha: the half-covered blue pixel is full blue at alpha 128.
  EXPECT_EQ(values["outputImage"], Json::parse(R"({"$image": {"width": 2, "height": 1, "rgba": "/wAA/wAA/4A="}})"));
  EXPECT_EQ(values["outputMesh"]["$mesh"]["triangles"], 2);
  EXPECT_EQ(values["outputMesh"]["$mesh"]["positions"],
            Json::parse("[0.0,0.0,2.0, 1.0,0.0,2.0, 1.0,1.0,2.0, 0.0,0.0,2.0, 1.0,1.0,2.0, 0.0,1.0,2.0]"));
  EXPECT_EQ(values["outputMesh"]["$mesh"]["normals"][2], 1.0);
}

TEST_F(EditorSessionTest, SavedCompositionsKeepStateAndPositionsAndOpenAgain) {
  ok(R"({"kind": "add", "class": "VTProbePatch", "id": "a", "position": [1, 2]})");
  ok(R"({"kind": "add", "class": "VTStatePatch", "id": "sum", "state": {"inputsCount": 2}, "position": [300, 2]})");
  ok(R"({"kind": "set", "port": "a.inputNumber", "value": 4})");
  ok(R"({"kind": "connect", "from": "a.outputNumber", "to": "sum.input1"})");
  ok(R"({"kind": "publish", "name": "sum.json", "port": "sum.outputSum"})");
  EXPECT_EQ(ok(R"({"kind": "save", "file": "sub/copy.json"})")["file"], "sub/copy.json");

  const Json saved = Json::parse(test::readFile(folder / "sub" / "copy.json"));
  EXPECT_EQ(saved, Json::parse(R"({
    "patches": {"a": {"class": "VTProbePatch", "inputs": {"inputNumber": 4}},
                "sum": {"class": "VTStatePatch", "state": {"inputsCount": 2}}},
    "connections": [["a.outputNumber", "sum.input1"]],
    "outputs": {"sum.json": "sum.outputSum"},
    "editor": {"positions": {"a": [1.0, 2.0], "sum": [300.0, 2.0]}}})"));
  // Opened again, the same graph, positions and values.
  Json hello = EditorSession(manager, folder / "sub" / "copy.json").handle(std::string(R"({"kind": "hello"})"));
  EXPECT_EQ(hello["document"], saved);
  EXPECT_EQ(hello["values"]["sum"]["outputSum"], 5.0);
  EXPECT_EQ(hello["file"], "copy.json");
}

TEST_F(EditorSessionTest, FilesAreListedAndOpenedOnlyInsideTheFolder) {
  test::writeFile(folder / "other.json", R"({"patches": {"p": {"class": "VTProbePatch"}}})");
  test::writeFile(folder / "picture.png", "");
  fs::create_directories(folder / "inner");
  test::writeFile(folder / "inner" / "deep.svg", "");
  fs::create_symlink("/etc/passwd", folder / "link.json");
  fs::create_directory_symlink("/etc", folder / "etc");
  EXPECT_EQ(ok(R"({"kind": "files"})")["files"], Json::parse(R"(["inner/deep.svg", "other.json", "picture.png"])"));

  for (const char* refused : {R"({"kind": "open", "file": "link.json"})", R"({"kind": "open", "file": "etc/passwd.json"})",
                              R"({"kind": "save", "file": "link.json"})", R"({"kind": "open", "file": "~/x.json"})"}) {
    Json reply = send(refused);
    EXPECT_FALSE(reply["ok"].get<bool>()) << refused;
    EXPECT_NE(reply.value("error", "").find("refused"), std::string::npos) << reply.dump();
  }
  EXPECT_EQ(fs::read_symlink(folder / "link.json"), "/etc/passwd");

  Json opened = ok(R"({"kind": "open", "file": "other.json"})");
  EXPECT_EQ(opened["file"], "other.json");
  EXPECT_EQ(opened["nodes"][0]["id"], "p");
  EXPECT_FALSE(opened["canUndo"].get<bool>());
}

TEST(InsideFolder, RefusesWhatLeavesTheFolder) {
  test::ScratchFolder folder;
  fs::create_directories(folder / "a");
  for (const char* inside : {"x.json", "a/x.json", "./a/./x.json"})
    EXPECT_EQ(EditorSession::insideFolder(folder.path(), inside).lexically_normal(), (folder / inside).lexically_normal()) << inside;
  for (const char* outside : {"a/../x.json", "../x.json", "/tmp/x.json", "~/x.json", ""})
    EXPECT_THROW(EditorSession::insideFolder(folder.path(), outside), UsageError) << outside;
}

TEST(EditorComposition, TheRunnerIgnoresTheEditorMember) {
  NodeManager manager;
  ASSERT_EQ(loadPlugins(manager, {}, {TEST_PLUGIN}), 1u);
  auto c = Composition::fromJson(Json::parse(R"({"patches": {"a": {"class": "VTProbePatch"}},
                                                 "editor": {"positions": {"a": [1, 2]}, "anything": true}})"),
                                 "c.json", manager);
  EXPECT_EQ(c->toJson(), Json::parse(R"({"patches": {"a": {"class": "VTProbePatch"}}, "connections": [], "outputs": {}})"));
}

}  // namespace
