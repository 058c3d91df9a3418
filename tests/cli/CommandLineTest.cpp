// The built vellum program end to end: arguments, exit status, files and --json output.
#include <gtest/gtest.h>

#include "cli/Commands.h"
#include "cli/JsonValue.h"
#include "host/Image.h"
#include "tests/cli/TestSupport.h"

using namespace vellum;
using namespace vellum::cli;
namespace fs = std::filesystem;
using vellum::test::readFile;
using vellum::test::runVellum;
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
    "solid.obj": "mesh.outputMesh",
    "solid.ply": "mesh.outputMesh",
    "solid.gltf": "mesh.outputMesh",
    "solid.glb": "mesh.outputMesh",
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
  // --set overrides an input as written, the last one of a port winning.
  auto r = runVellum(folder.path(), {"run", "shapes.json", "--time", "0.25", "--out", "out", "--json", "--set",
                                     "probe.inputString=\"first\"", "--set", "probe.inputString=\"over\""});
  ASSERT_EQ(r.status, 0) << r.err;
  Json printed = Json::parse(r.out);
  const Json& o = printed["outputs"];
  EXPECT_EQ(o["time"], Json(0.25));
  EXPECT_EQ(o["text.json"], Json("over"));
  EXPECT_EQ(o["image.png"].dump(), R"({"$image":{"width":2,"height":1,"file":"image.png"}})");
  EXPECT_EQ(o["picture"].dump(), R"({"$image":{"width":2,"height":1,"file":"picture.png"}})");
  EXPECT_EQ(o["solid.obj"].size(), 6u);
  // The depth came through the connection from the clock.
  EXPECT_EQ(o["solid.obj"]["5"]["Z"], Json(0.25));
  for (const char* name : {"image.png", "picture.png", "solid.obj", "solid.ply", "solid.gltf", "solid.glb", "text.json"})
    EXPECT_GT(fs::file_size(folder / "out" / name), 0u) << name;
  EXPECT_FALSE(fs::exists(folder / "out" / "time"));
  EXPECT_EQ(parseJson(readFile(folder / "out" / "text.json"), "text.json"), Json("over"));
  Image image = Image::readPNG((folder / "out" / "image.png").string());
  EXPECT_EQ(image.data(), (std::vector<uint8_t>{255, 0, 0, 255, 0, 0, 128, 128}));

  // Without --json nothing is printed, and an output without a file type is no file.
  fs::create_directory(folder / "plain");
  writeFile(folder / "plain" / "shapes.json", kShapes);
  r = runVellum(folder / "plain", {"run", "shapes.json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(fs::exists(folder / "plain" / "solid.gltf"));
  EXPECT_FALSE(fs::exists(folder / "plain" / "picture.png"));
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
  // No terminal, no progress line.
  EXPECT_EQ(r.err.find("frame"), std::string::npos) << r.err;
  EXPECT_EQ(withFrameSuffix("solid", "-0012"), "solid-0012");
  EXPECT_EQ(withFrameSuffix("sub/mesh.gltf", "-0000"), "sub/mesh-0000.gltf");
}

// Each mistake exits with status 2 and a message naming the file, patch or port, as written, and
// the fix where there is one. An empty message: the argument parser's own words.
TEST_F(CommandLine, MistakesExitWithTwoAndAreNamed) {
  const std::string probe = R"({"patches": {"p": {"class": "VTProbePatch"}}, "outputs": {"n": "p.outputNumber"}})";
  const struct {
    std::string composition;
    std::vector<std::string> arguments;
    std::string message;
  } cases[] = {
      {R"({"patches": {"p": {"class": 3}}})", {}, "vellum: c.json: patch 'p': \"class\" must name a patch class\n"},
      {"{\"patches\": \n  [}", {}, "vellum: c.json:2:4: malformed JSON: "},
      {probe, {"--set", "p.inputNumber=[1,"}, "c.json: patch 'p', port 'inputNumber': --set p.inputNumber:1:"},
      {probe, {"--set", "p.inputNope=1"}, "patch 'p', port 'inputNope': no input port 'inputNope'"},
      {probe, {"--set", "p.inputString=Hello"}, R"(the value is JSON, so a string needs double quotes: --set 'p.inputString="Hello"')"},
      {R"({"patches": {"u": {"class": "VTUnsafePatch"}}})", {"--safe"}, "class 'VTUnsafePatch' is not safe, and --safe refuses it"},
      {R"({"patches": {"t": {"class": "Vellum Vector With Strng"}}})", {},
       "c.json: patch 't': unknown class 'Vellum Vector With Strng'; did you mean 'Vellum Vector With String'?"},
      {R"({"patches": {"t": {"class": "Vellum Vector With String", "inputs": {"inputStrin": "x"}}}})", {},
       "patch 't', port 'inputStrin': no input port 'inputStrin' on 'Vellum Vector With String'; did you mean 'inputString'?"},
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
      {probe, {"--frames", "0"}, "--frames: must be a whole number, at least 1, not 0"},
      {probe, {"--fps", "0", "--frames", "2"}, "--fps: must be a number greater than 0, not 0"},
      {probe, {"--time", "soon"}, ""},
      {probe, {"--bogus"}, ""},
      {probe, {"--plugin-path", "nowhere"}, "vellum: --plugin-path nowhere: no such folder or file\n"},
  };
  for (const auto& c : cases) {
    writeFile(folder / "c.json", c.composition);
    std::vector<std::string> arguments = {"run", "c.json"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const auto r = runVellum(folder.path(), arguments);
    EXPECT_EQ(r.status, 2) << c.message;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }

  const std::pair<std::vector<std::string>, std::string> commands[] = {
      {{"run", "missing.json"}, "vellum: missing.json: cannot read the composition file\n"},
      {{"render", "c.json"}, "vellum: unknown command 'render'; did you mean `vellum run c.json`? (commands: run, patches, serve)\n"},
      {{"patchs"}, "vellum: unknown command 'patchs'; did you mean 'patches'? (commands: run, patches, serve)\n"},
      {{"c.json"}, "vellum: unknown command 'c.json'; did you mean `vellum run c.json`? (commands: run, patches, serve)\n"},
      {{"run", "."}, "vellum: .: is a directory; give the composition's .json file inside it\n"},
      {{"patches", "xyzzy"}, "vellum: no patch class or display name holds 'xyzzy'\n"},
  };
  for (const auto& [arguments, message] : commands) {
    const auto r = runVellum(folder.path(), arguments);
    EXPECT_EQ(r.status, 2) << message;
    EXPECT_EQ(r.err, message);
  }
  EXPECT_EQ(runVellum(folder.path(), {"run"}).status, 2);
  EXPECT_EQ(runVellum(folder.path(), {}, false).status, 2);
}

TEST_F(CommandLine, UnwritableOutputExitsWithOne) {
  writeFile(folder / "c.json", R"({"patches": {"p": {"class": "VTProbePatch"}}, "outputs": {"n.json": "p.outputNumber"}})");
  writeFile(folder / "taken", "a file where the output folder should be");
  auto r = runVellum(folder.path(), {"run", "c.json", "--out", "taken"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "vellum: cannot make the output folder taken\n");
  fs::create_directories(folder / "out" / "n.json");  // a folder in the way of the file
  r = runVellum(folder.path(), {"run", "c.json", "--out", "out"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot open"), std::string::npos) << r.err;
}

// An unsafe class runs without --safe; one that throws is named and the run goes on.
TEST_F(CommandLine, APatchThatThrowsDoesNotFailTheRun) {
  writeFile(folder / "c.json", R"({"patches": {"u": {"class": "VTUnsafePatch"}}, "outputs": {"n": "u.outputNumber"}})");
  auto r = runVellum(folder.path(), {"run", "c.json", "--json"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Json::parse(r.out)["outputs"]["n"], Json(42.0));
  r = runVellum(folder.path(), {"run", "c.json", "--json", "--set", "u.inputThrow=true"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Json::parse(r.out)["outputs"]["n"], Json(0.0));
  EXPECT_NE(r.err.find("vellum: patch 'u' (VTUnsafePatch) execute: asked to throw\n"), std::string::npos) << r.err;
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

// A run lists what it wrote; an output its patch left empty is named with the patch, once
// however many frames; --json without --out writes nothing.
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
       {std::string("vellum: output \"title.svg\" is empty: patch 'title' (Vellum Vector With String) made no path\n"),
        std::string("vellum: output \"vase.obj\" is empty: patch 'vase' (Vellum Lathe With Vector) made a mesh of 0 "
                    "triangles\n")}) {
    const size_t at = r.err.find(line);
    EXPECT_NE(at, std::string::npos) << line << "\nin\n" << r.err;
    EXPECT_EQ(r.err.find(line, at + 1), std::string::npos) << "said twice: " << line;
  }
  // The listing: each output's range of frames, its kind and their bytes.
  const size_t listing = r.err.find("vellum: wrote\n");
  ASSERT_NE(listing, std::string::npos) << r.err;
  for (const char* stem : {"title-0000.svg .. title-0001.svg", "vase-0000.obj .. vase-0001.obj", "box-0000.svg .. box-0001.svg",
                           "n-0000.json .. n-0001.json"})
    EXPECT_NE(r.err.find(std::string("out/") + stem, listing), std::string::npos) << stem << " in\n" << r.err;
  EXPECT_NE(r.err.find("mesh, 0 triangles (the last)", listing), std::string::npos) << r.err;
  const auto bytes = fs::file_size(folder / "out/box-0000.svg") + fs::file_size(folder / "out/box-0001.svg");
  EXPECT_NE(r.err.find(" " + std::to_string(bytes) + " bytes\n", listing), std::string::npos) << r.err;

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

// Any part of a class or display name, in any case; the plug-ins' own classes among them.
TEST_F(CommandLine, PatchesListsTheClassesWhoseNameHoldsTheFilter) {
  auto r = runVellum(folder.path(), {"patches", "test unsafe", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  const Json only = Json::parse(r.out)["patches"];
  ASSERT_EQ(only.size(), 1u);
  EXPECT_EQ(only[0]["class"], "VTUnsafePatch");
  EXPECT_EQ(only[0]["isSafe"], false);
  r = runVellum(folder.path(), {"patches", "lathe"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("V2DLatheTriangleStructurePatch  \"Vellum Lathe With Vector\"\n", 0), 0u) << r.out;
  EXPECT_EQ(r.out.find("V2DGridPatch"), std::string::npos);
}
