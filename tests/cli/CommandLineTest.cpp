// The built vellum program end to end: arguments, exit status, files and --json output.
#include <gtest/gtest.h>

#include "cli/JsonValue.h"
#include "host/Image.h"
#include "tests/cli/TestSupport.h"

using namespace vellum;
using namespace vellum::cli;
namespace fs = std::filesystem;
using vellum::test::readFile;
using vellum::test::runVellum;
using vellum::test::runVellumWith;
using vellum::test::writeFile;

namespace {

const char* kShapes = R"({
  "patches": {
    "clock": {"class": "VTClockPatch"},
    "mesh": {"class": "Vellum Test Mesh", "inputs": {"inputDepth": 0.5}},
    "probe": {"class": "VTProbePatch", "inputs": {"inputString": "hi"}}
  },
  "connections": [["clock.outputTime", "mesh.inputDepth"]],
  "outputs": {
    "image.png": "mesh.outputImage",
    "square.svg": "mesh.outputPath",
    "solid.obj": "mesh.outputMesh",
    "solid.ply": "mesh.outputMesh",
    "solid.gltf": "mesh.outputMesh",
    "solid.glb": "mesh.outputMesh",
    "entries.svg": "mesh.outputEntries",
    "time": "clock.outputTime",
    "text.json": "probe.outputString",
    "picture": "mesh.outputImage"
  }
})";

class CommandLine : public ::testing::Test {
 protected:
  test::ScratchFolder folder;
};

}  // namespace

TEST_F(CommandLine, RunWritesEveryOutputAndPrintsJson) {
  writeFile(folder / "shapes.json", kShapes);
  auto r = runVellum(folder.path(), {"run", "shapes.json", "--time", "0.25", "--out", "out", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  Json printed = Json::parse(r.out);
  const Json& o = printed["outputs"];
  EXPECT_EQ(o["time"], Json(0.25));
  EXPECT_EQ(o["text.json"], Json("hi"));
  EXPECT_EQ(o["image.png"].dump(), R"({"$image":{"width":2,"height":1,"file":"image.png"}})");
  EXPECT_EQ(o["picture"].dump(), R"({"$image":{"width":2,"height":1,"file":"picture.png"}})");
  EXPECT_EQ(o["solid.obj"].size(), 6u);
  EXPECT_EQ(o["solid.obj"]["5"]["Z"], Json(0.25));
  EXPECT_EQ(o["square.svg"]["lineWidth"], Json(2.0));

  for (const char* name : {"image.png", "picture.png", "square.svg", "solid.obj", "solid.ply", "solid.gltf", "solid.glb",
                           "entries.svg", "text.json"})
    EXPECT_TRUE(fs::exists(folder / "out" / name)) << name;
  EXPECT_FALSE(fs::exists(folder / "out" / "time"));
  EXPECT_EQ(readFile(folder / "out" / "text.json"), "\"hi\"\n");
  // The depth came through the connection from the clock.
  EXPECT_NE(readFile(folder / "out" / "solid.obj").find("v 0 1 0.25\n"), std::string::npos);
  EXPECT_NE(readFile(folder / "out" / "square.svg").find("d=\"M0 0 L10 0 L10 -10 Z\""), std::string::npos);
  EXPECT_NE(readFile(folder / "out" / "entries.svg").find("fill=\"#ff0000\" stroke=\"none\""), std::string::npos);
  Image image = Image::readPNG((folder / "out" / "image.png").string());
  EXPECT_EQ(image.data(), (std::vector<uint8_t>{255, 0, 0, 255, 0, 0, 128, 128}));
}

TEST_F(CommandLine, FramesNumberTheFilesAndListEachTime) {
  writeFile(folder / "shapes.json", kShapes);
  auto r = runVellum(folder.path(), {"run", "shapes.json", "--frames", "3", "--fps", "4", "--json", "--out", "."});
  ASSERT_EQ(r.status, 0) << r.err;
  Json printed = Json::parse(r.out);
  ASSERT_EQ(printed["frames"].size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(printed["frames"][i]["time"], Json(i / 4.0));
    EXPECT_EQ(printed["frames"][i]["outputs"]["time"], Json(i / 4.0));
  }
  EXPECT_EQ(printed["frames"][2]["outputs"]["image.png"]["$image"]["file"], Json("image-0002.png"));
  for (const char* name : {"image-0000.png", "image-0002.png", "solid-0001.obj", "solid-0002.glb", "text-0000.json"})
    EXPECT_TRUE(fs::exists(folder / name)) << name;
  EXPECT_FALSE(fs::exists(folder / "image.png"));
  EXPECT_NE(readFile(folder / "solid-0002.obj").find("v 0 1 0.5\n"), std::string::npos);
  // No terminal, no progress line.
  EXPECT_EQ(r.err.find("frame"), std::string::npos) << r.err;
}

TEST_F(CommandLine, WithoutJsonNothingIsPrinted) {
  writeFile(folder / "shapes.json", kShapes);
  auto r = runVellum(folder.path(), {"run", "shapes.json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(fs::exists(folder / "solid.gltf"));
  EXPECT_FALSE(fs::exists(folder / "picture.png"));
}

TEST_F(CommandLine, SetOverridesAndItsErrors) {
  writeFile(folder / "c.json", R"({"patches": {"p": {"class": "VTProbePatch"}}, "outputs": {"n": "p.outputNumber"}})");
  auto r = runVellum(folder.path(), {"run", "c.json", "--set", "p.inputNumber=2", "--set", "p.inputNumber=3.5", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Json::parse(r.out)["outputs"]["n"], Json(4.5));

  r = runVellum(folder.path(), {"run", "c.json", "--set", "p.inputNumber=[1,"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("c.json: patch 'p', port 'inputNumber': --set p.inputNumber:1:"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("malformed JSON"), std::string::npos) << r.err;

  r = runVellum(folder.path(), {"run", "c.json", "--set", "p.inputNope=1"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("patch 'p', port 'inputNope': no input port 'inputNope'"), std::string::npos) << r.err;
}

TEST_F(CommandLine, CompositionErrorsExitWithTwo) {
  writeFile(folder / "bad.json", "{\"patches\": {\"p\": {\"class\": 3}}}");
  auto r = runVellum(folder.path(), {"run", "bad.json"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "vellum: bad.json: patch 'p': \"class\" must name a patch class\n");

  writeFile(folder / "broken.json", "{\"patches\": \n  [}");
  r = runVellum(folder.path(), {"run", "broken.json"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("vellum: broken.json:2:4: malformed JSON: ", 0), 0u) << r.err;

  r = runVellum(folder.path(), {"run", "missing.json"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "vellum: missing.json: cannot read the composition file\n");

  writeFile(folder / "unsafe.json", R"({"patches": {"u": {"class": "VTUnsafePatch"}}, "outputs": {"n": "u.outputNumber"}})");
  r = runVellum(folder.path(), {"run", "unsafe.json", "--safe"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("is not safe, and --safe refuses it"), std::string::npos) << r.err;
  r = runVellum(folder.path(), {"run", "unsafe.json", "--json"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Json::parse(r.out)["outputs"]["n"], Json(42.0));
}

TEST_F(CommandLine, APatchThatThrowsDoesNotFailTheRun) {
  writeFile(folder / "c.json", R"({"patches": {"u": {"class": "VTUnsafePatch", "inputs": {"inputThrow": true}}},
                                   "outputs": {"n": "u.outputNumber"}})");
  auto r = runVellum(folder.path(), {"run", "c.json", "--json"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Json::parse(r.out)["outputs"]["n"], Json(0.0));
  EXPECT_NE(r.err.find("vellum: patch 'u' (VTUnsafePatch) execute: asked to throw\n"), std::string::npos) << r.err;
}

TEST_F(CommandLine, UnusableArgumentsExitWithTwo) {
  writeFile(folder / "c.json", R"({"patches": {}})");
  EXPECT_EQ(runVellum(folder.path(), {"run", "c.json", "--frames", "0"}).status, 2);
  EXPECT_EQ(runVellum(folder.path(), {"run", "c.json", "--fps", "-3", "--frames", "2"}).status, 2);
  EXPECT_EQ(runVellum(folder.path(), {"run", "c.json", "--time", "soon"}).status, 2);
  EXPECT_EQ(runVellum(folder.path(), {"run", "c.json", "--bogus"}).status, 2);
  EXPECT_EQ(runVellum(folder.path(), {"run"}).status, 2);
  EXPECT_EQ(runVellum(folder.path(), {"frobnicate"}, false).status, 2);
  EXPECT_EQ(runVellum(folder.path(), {}, false).status, 2);
  auto r = runVellum(folder.path(), {"run", "c.json", "--plugin-path", "nowhere"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "vellum: --plugin-path nowhere: no such folder or file\n");
}

TEST_F(CommandLine, UnwritableOutputExitsWithOne) {
  writeFile(folder / "c.json", R"({"patches": {"p": {"class": "VTProbePatch"}}, "outputs": {"n.json": "p.outputNumber"}})");
  writeFile(folder / "taken", "a file where the output folder should be");
  auto r = runVellum(folder.path(), {"run", "c.json", "--out", "taken"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "vellum: cannot make the output folder taken\n");
  fs::create_directory(folder / "out");
  fs::create_directory(folder / "out" / "n.json");  // a folder in the way of the file
  r = runVellum(folder.path(), {"run", "c.json", "--out", "out"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot open"), std::string::npos) << r.err;
}

TEST_F(CommandLine, HelpAndVersion) {
  auto r = runVellum(folder.path(), {"--version"}, false);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "vellum 0.1.0\n");
  r = runVellum(folder.path(), {"--help"}, false);
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("run"), std::string::npos);
  EXPECT_NE(r.out.find("patches"), std::string::npos);
  r = runVellum(folder.path(), {"run", "--help"}, false);
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("--plugin-path"), std::string::npos);
}

TEST_F(CommandLine, PatchesListsClassesPortsAndAnswers) {
  auto r = runVellum(folder.path(), {"patches", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  Json all = Json::parse(r.out)["patches"];
  Json probe, clock, unsafe;
  for (const Json& c : all) {
    if (c["class"] == "VTProbePatch") probe = c;
    if (c["class"] == "VTClockPatch") clock = c;
    if (c["class"] == "VTUnsafePatch") unsafe = c;
  }
  ASSERT_TRUE(probe.is_object()) << r.out;
  EXPECT_EQ(probe["displayName"], "Vellum Test Probe");
  EXPECT_EQ(probe["executionMode"], "default");
  EXPECT_EQ(probe["timeMode"], "default");
  EXPECT_EQ(probe["isSafe"], true);
  EXPECT_EQ(probe["allowsSubpatches"], false);
  EXPECT_TRUE(probe["inspectorClass"].is_null());
  ASSERT_EQ(probe["ports"].size(), 14u);
  EXPECT_EQ(probe["ports"][0].dump(),
            R"({"key":"inputNumber","direction":"input","portClass":"NumberPort","default":0.0,"min":-10.0,"max":10.0})");
  EXPECT_EQ(probe["ports"][1].dump(), R"({"key":"inputIndex","direction":"input","portClass":"IndexPort","default":0,"max":5})");
  EXPECT_EQ(probe["ports"][4]["default"].dump(), R"({"$color":[0.0,0.0,0.0,1.0]})");
  EXPECT_EQ(probe["ports"][6]["key"], "outputNumber");
  EXPECT_EQ(probe["ports"][6]["direction"], "output");
  EXPECT_EQ(clock["timeMode"], 1);
  EXPECT_EQ(clock["executionMode"], 0);
  EXPECT_EQ(unsafe["isSafe"], false);
  EXPECT_EQ(unsafe["inspectorClass"], "VTUnsafePatchUI");

  r = runVellum(folder.path(), {"patches"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("VTProbePatch  \"Vellum Test Probe\"\n"
                       "  isSafe YES, allowsSubpatches NO, executionMode default, timeMode default, inspector none\n"
                       "  input  inputNumber              NumberPort            default 0.0, min -10.0, max 10.0\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("  isSafe NO, allowsSubpatches NO, executionMode default, timeMode default, inspector VTUnsafePatchUI\n"
                       "  input  inputThrow               BooleanPort           default false\n"),
            std::string::npos);
}

// Through the real plug-in: paths written inside a structure reach the patch as paths, and an
// image printed by a .json output never overwrites a .png output of the same stem.
TEST_F(CommandLine, PathsInsideStructuresAndImageNamesThatDoNotCollide) {
  writeFile(folder / "c.json", R"({
    "patches": {
      "draw": {"class": "Vellum Image With Vector Structure", "inputs": {"inputBezierPaths": [
        {"path": {"$path": [["moveto", 0, 0], ["lineto", 4, 0], ["lineto", 4, 2], ["lineto", 0, 2], ["close"]]},
         "strokefill": 1, "fill": {"$color": [1, 0, 0, 1]}}]}},
      "other": {"class": "Vellum Image With Vector Structure", "inputs": {"inputBezierPaths": [
        {"path": {"$path": [["moveto", 0, 0], ["lineto", 2, 0], ["lineto", 2, 2], ["close"]]},
         "strokefill": 1, "fill": {"$color": [0, 0, 1, 1]}}]}}
    },
    "outputs": {"pic.png": "draw.outputImage", "pic.json": "other.outputImage"}
  })");
  auto r = runVellum(folder.path(), {"run", "c.json", "--out", "out"}, false);
  ASSERT_EQ(r.status, 0) << r.err;
  Image red = Image::readPNG((folder / "out/pic.png").string());
  EXPECT_EQ(red.width(), 4);
  EXPECT_EQ(red.height(), 2);
  EXPECT_EQ(red.pixel(1, 1)[0], 255);
  EXPECT_EQ(red.pixel(1, 1)[2], 0);
  auto json = parseJson(readFile(folder / "out/pic.json"), "pic.json");
  ASSERT_EQ(json["$image"]["file"], "pic-2.png");
  Image blue = Image::readPNG((folder / "out/pic-2.png").string());
  EXPECT_EQ(blue.width(), 2);
  EXPECT_EQ(blue.pixel(1, 1)[2], 255);  // inside the triangle, clear of its edge
}

// Each mistake a newcomer makes gets a message naming the thing, as written, and the fix.
TEST_F(CommandLine, MistakesAreNamedWithTheirFix) {
  struct Row {
    std::string composition;
    std::vector<std::string> arguments;
    std::string message;
  };
  const std::string probe = R"({"patches": {"probe": {"class": "VTProbePatch"}}, "outputs": {"n": "probe.outputNumber"}})";
  const std::vector<Row> rows = {
      {R"({"patches": {"t": {"class": "Vellum Vector With Strng"}}})", {},
       "c.json: patch 't': unknown class 'Vellum Vector With Strng'; did you mean 'Vellum Vector With String'?"},
      {R"({"patches": {"o": {"class": "V2DBezierPathWithOvalPach"}}})", {},
       "unknown class 'V2DBezierPathWithOvalPach'; did you mean 'V2DBezierPathWithOvalPatch'?"},
      {R"({"patches": {"t": {"class": "Vellum Vector With String", "inputs": {"inputStrin": "x"}}}})", {},
       "patch 't', port 'inputStrin': no input port 'inputStrin' on 'Vellum Vector With String'; did you mean "
       "'inputString'?"},
      {R"({"patches": {"p": {"class": "VTProbePatch", "inputs": {"inputColor": [1, 0, 0, 1]}}}})", {},
       R"(a colour is written {"$color": [r, g, b, a]}, components 0..1: {"$color": [1,0,0,1]})"},
      {R"({"patches": {"a": {"class": "VTProbePatch"}, "b": {"class": "VTProbePatch"}},
           "connections": [["b.inputNumber", "a.outputNumber"]]})", {},
       R"(connection ["b.inputNumber","a.outputNumber"] is written backwards: a connection goes from an output to an )"
       R"(input, ["a.outputNumber","b.inputNumber"])"},
      {R"({"patches": {"c": {"class": "Vellum Vector Close", "inputs": {"inputBezierPath": {"$path": [["close"]]}}}}})", {},
       R"(patch 'c', port 'inputBezierPath': $path element 1, ["close"]: it comes before any "moveto": a path starts )"
       R"(with ["moveto", x, y])"},
      {R"({"patches": {"probe": {"class": "VTProbePatch"}}, "outputs": {"n": "prob.outputNumber"}})", {},
       "no patch named 'prob'; did you mean 'probe'?"},
      {probe, {"--set", "probe.inputString=Hello"},
       R"(the value is JSON, so a string needs double quotes: --set 'probe.inputString="Hello"')"},
      {probe, {"--frames", "0"}, "--frames: must be a whole number, at least 1, not 0"},
      {probe, {"--fps", "0", "--frames", "2"}, "--fps: must be a number greater than 0, not 0"},
  };
  for (const Row& row : rows) {
    writeFile(folder / "c.json", row.composition);
    std::vector<std::string> arguments = {"run", "c.json"};
    arguments.insert(arguments.end(), row.arguments.begin(), row.arguments.end());
    const auto r = runVellumWith(folder.path(), arguments);
    EXPECT_EQ(r.status, 2) << row.message;
    EXPECT_NE(r.err.find(row.message), std::string::npos) << r.err;
  }

  const std::vector<std::pair<std::vector<std::string>, std::string>> commands = {
      {{"render", "c.json"}, "vellum: unknown command 'render'; did you mean `vellum run c.json`? (commands: run, patches, serve)\n"},
      {{"patchs"}, "vellum: unknown command 'patchs'; did you mean 'patches'? (commands: run, patches, serve)\n"},
      {{"c.json"}, "vellum: unknown command 'c.json'; did you mean `vellum run c.json`? (commands: run, patches, serve)\n"},
      {{"run", "."}, "vellum: .: is a directory; give the composition's .json file inside it\n"},
      {{"patches", "xyzzy"}, "vellum: no patch class or display name holds 'xyzzy'\n"},
  };
  for (const auto& [arguments, message] : commands) {
    const auto r = runVellumWith(folder.path(), arguments);
    EXPECT_EQ(r.status, 2) << message;
    EXPECT_EQ(r.err, message);
  }
}

// A run lists what it wrote; an output its patch left empty is named with the patch, after the
// patch's own line saying which input it could not use; --json without --out writes nothing.
TEST_F(CommandLine, RunsListWhatTheyWroteAndNameEmptyOutputs) {
  writeFile(folder / "c.json", R"({
    "patches": {
      "title": {"class": "Vellum Vector With String", "inputs": {"inputFontName": "NoSuchFace-Bold"}},
      "box": {"class": "Vellum Vector With Rectangle", "inputs": {"inputWidth": 2, "inputHeight": 3}},
      "vase": {"class": "Vellum Lathe With Vector"},
      "probe": {"class": "VTProbePatch"}
    },
    "connections": [["box.outputBezierPath", "vase.inputBezierPath"]],
    "outputs": {"title.svg": "title.outputBezierPath", "vase.obj": "vase.outputTriangles", "box.svg": "box.outputBezierPath",
                "n.json": "probe.outputNumber"}
  })");
  auto r = runVellum(folder.path(), {"run", "c.json", "--out", "out", "--frames", "2"});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const std::string& line :
       {std::string("vellum: patch 'title' (Vellum Vector With String): [V2DBezierPathWithStringPatch execute:time:arguments:]"
                    "  inputFontName: no installed font is named \"NoSuchFace-Bold\", so the output is nothing."),
        std::string("vellum: patch 'vase' (Vellum Lathe With Vector): [V2DLatheTriangleStructurePatch execute:time:arguments:]"
                    "  inputAngleSteps is 0, so the lathe makes no triangles; give it 1 or more steps.\n"),
        std::string("vellum: output \"title.svg\" is empty: patch 'title' (Vellum Vector With String) made no path\n"),
        std::string("vellum: output \"vase.obj\" is empty: patch 'vase' (Vellum Lathe With Vector) made a mesh of 0 "
                    "triangles\n")}) {
    const size_t at = r.err.find(line);
    EXPECT_NE(at, std::string::npos) << line << "\nin\n" << r.err;
    EXPECT_EQ(r.err.find(line, at + 1), std::string::npos) << "said twice: " << line;
  }
  // The listing, its columns' padding folded to one blank.
  const size_t listing = r.err.find("vellum: wrote\n");
  ASSERT_NE(listing, std::string::npos) << r.err;
  std::string folded;
  for (char c : r.err.substr(listing))
    if (c != ' ' || folded.empty() || folded.back() != ' ') folded += c;
  const auto bytes = [&](const char* a, const char* b) {
    return std::to_string(fs::file_size(folder / "out" / a) + fs::file_size(folder / "out" / b)) + " bytes\n";
  };
  EXPECT_EQ(folded, "vellum: wrote\n"
                    " out/title-0000.svg .. title-0001.svg 2 files, SVG (the last) " +
                        bytes("title-0000.svg", "title-0001.svg") +
                        " out/vase-0000.obj .. vase-0001.obj 2 files, mesh, 0 triangles (the last) " +
                        bytes("vase-0000.obj", "vase-0001.obj") +
                        " out/box-0000.svg .. box-0001.svg 2 files, SVG (the last) " + bytes("box-0000.svg", "box-0001.svg") +
                        " out/n-0000.json .. n-0001.json 2 files, JSON (the last) " + bytes("n-0000.json", "n-0001.json"));

  fs::create_directory(folder / "quiet");
  writeFile(folder / "quiet/c.json", readFile(folder / "c.json"));
  r = runVellum(folder / "quiet", {"run", "c.json", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Json::parse(r.out)["outputs"]["n.json"], Json(1.0));
  EXPECT_EQ(r.err.find("vellum: wrote"), std::string::npos) << r.err;
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(folder / "quiet")) files.push_back(entry.path().filename().string());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{".stderr", ".stdout", "c.json"}));
}

TEST_F(CommandLine, PatchesFiltersByAnyPartOfAClassOrDisplayNameAndNamesIndexChoices) {
  auto r = runVellum(folder.path(), {"patches", "lathe"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("V2DLatheTriangleStructurePatch  \"Vellum Lathe With Vector\"\n  A mesh of revolution", 0), 0u) << r.out;
  EXPECT_EQ(r.out.find("V2DGridPatch"), std::string::npos);
  EXPECT_NE(r.out.find("IndexPort             default 0, max 1, 0 = flat, 1 = smooth\n"), std::string::npos) << r.out;
  r = runVellum(folder.path(), {"patches", "imagewithbezierpathpatch", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  const Json only = Json::parse(r.out)["patches"];
  ASSERT_EQ(only.size(), 1u);
  EXPECT_EQ(only[0]["ports"][1]["key"], "inputMode");
  EXPECT_EQ(only[0]["ports"][1]["choices"].dump(), R"(["stroke","fill","fill and stroke"])");
}
