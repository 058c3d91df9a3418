// Every file the vellum command writes for a mesh, a line list or a path, read back by a reader
// of its format: assimp (Debian's assimp-utils) for OBJ, PLY, glTF and GLB, the SVG reader for
// SVG. PNG and JSON files are read back in the command-line and JSON suites.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "cli/Exporters.h"
#include "mesh/PathTriangulation.h"
#include "svg/SVGReader.h"
#include "tests/cli/TestSupport.h"
#include "tests/support/PathElements.h"
#include "tests/support/Polylines.h"

using namespace vellum;
using namespace vellum::cli;
using namespace vellum::testing;
namespace fs = std::filesystem;

namespace {

Value structure(Structure s) { return Value(std::make_shared<const Structure>(std::move(s))); }

// A square ring triangulated by the mesh library, its front at z 0 and its back, reversed, at
// z -1: triangles whose normals differ.
Mesh ringMesh() {
  auto ring = test::polygonPath({test::square(-2, 1, 10), test::square(1, 4, 4, false)});
  V2DTriangleList list;
  V2DTriangleIndexMap map;
  _triangleStructureForBezierPath(ring.get(), false, 0, false, list, map);
  _triangleStructureForBezierPath(ring.get(), false, -1, true, list, map);
  return meshFromValue(structure(V2DMeshStructureFromTriangles(list, map, false)));
}

void writeMesh(const Mesh& mesh, const fs::path& file) {
  const std::string type = file.extension().string();
  if (type == ".obj") writeTextFile(file, meshToOBJ(mesh));
  if (type == ".ply") writeTextFile(file, meshToPLY(mesh));
  if (type == ".gltf" || type == ".glb") writeGLTF(mesh, file, type == ".glb");
}

// What assimp read: the corners of every face in order, their positions and normals, from its
// XML dump (faces as vertex indices, numbers in six decimals).
struct ReadBack {
  size_t faces = 0;
  std::vector<float> positions, normals;
  std::string primitive;
};

ReadBack viaAssimp(const fs::path& file) {
  const fs::path xml = file.string() + ".xml";
  const std::string command = "assimp dump " + test::quote(file.string()) + " " + test::quote(xml.string()) + " -x >/dev/null 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << "assimp cannot read " << file;
  const std::string text = test::readFile(xml);
  auto numbers = [&](size_t& at, const std::string& tag) {  // inside the next <tag ...> ... </tag>
    at = text.find('>', text.find("<" + tag, at)) + 1;
    std::istringstream in(text.substr(at, text.find("</", at) - at));
    std::vector<float> out;
    for (float f; in >> f;) out.push_back(f);
    return out;
  };
  auto corners = [](std::vector<float>& to, const std::vector<float>& perVertex, const std::vector<uint32_t>& indices) {
    for (uint32_t i : indices) to.insert(to.end(), perVertex.begin() + 3 * i, perVertex.begin() + 3 * i + 3);
  };
  ReadBack r;
  size_t at = text.find("<Mesh types=\"");
  if (at == std::string::npos) return r;
  std::istringstream(text.substr(at + 13)) >> r.primitive;
  std::vector<uint32_t> indices;
  for (size_t face = text.find("<Face ", at); face != std::string::npos; face = text.find("<Face ", face), ++r.faces)
    for (float i : numbers(face, "Face")) indices.push_back(uint32_t(i));
  corners(r.positions, numbers(at, "Positions"), indices);
  if (text.find("<Normals", at) != std::string::npos) corners(r.normals, numbers(at, "Normals"), indices);
  return r;
}

void expectFloats(const std::vector<float>& got, const std::vector<float>& expected, const std::string& what) {
  ASSERT_EQ(got.size(), expected.size()) << what;
  for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], expected[i], 1e-6f) << what << " number " << i;
}

bool haveAssimp() { return std::system("command -v assimp >/dev/null 2>&1") == 0; }

}  // namespace

TEST(Export, MeshStructuresBecomeWholeTriangles) {
  EXPECT_EQ(meshFromValue(Value()).vertexCount(), 0u);
  // A vertex or two that make no whole triangle are dropped; a member that is no vertex is the
  // origin.
  Structure s;
  for (const char* key : {"0", "1", "2", "3", "4"}) s.addMember(structure(Structure::withDictionary({{"X", 1.5}})), key);
  s.setMember(Value(7), "1");
  EXPECT_EQ(meshFromValue(structure(s)).positions, (std::vector<float>{1.5f, 0, 0, 0, 0, 0, 1.5f, 0, 0}));
}

TEST(Export, MeshFilesReadBackAsTheSameTriangles) {
  const Mesh ring = ringMesh();
  ASSERT_GE(ring.triangleCount(), 16u);
  test::ScratchFolder folder;
  for (const char* name : {"ring.obj", "ring.ply", "ring.gltf", "ring.glb"}) writeMesh(ring, folder / name);
  writeMesh(Mesh{}, folder / "empty.gltf");
  // One glTF file, its buffer embedded, with the bounds glTF requires of positions; no mesh at
  // all when empty.
  const Json gltf = Json::parse(test::readFile(folder / "ring.gltf")), empty = Json::parse(test::readFile(folder / "empty.gltf"));
  EXPECT_EQ(gltf["buffers"][0]["uri"].get<std::string>().rfind("data:application/octet-stream;base64,", 0), 0u);
  const Json& position = gltf["accessors"][gltf["meshes"][0]["primitives"][0]["attributes"]["POSITION"].get<int>()];
  EXPECT_EQ(position["min"], Json::parse("[-2, 1, -1]"));
  EXPECT_EQ(position["max"], Json::parse("[8, 11, 0]"));
  EXPECT_EQ(empty["scenes"].size(), 1u);
  EXPECT_FALSE(empty.contains("meshes"));
  if (!haveAssimp()) GTEST_SKIP() << "assimp is not installed (Debian: assimp-utils)";
  for (const char* name : {"ring.obj", "ring.ply", "ring.gltf", "ring.glb"}) {
    const ReadBack r = viaAssimp(folder / name);
    EXPECT_EQ(r.primitive, "triangles") << name;
    EXPECT_EQ(r.faces, ring.triangleCount()) << name;
    expectFloats(r.positions, ring.positions, name);
    expectFloats(r.normals, ring.normals, name);
  }
}

TEST(Export, LineListsAreOBJLineElements) {
  // Two segments as the line structure patch writes them: unkeyed three-number lists.
  std::vector<Value> points;
  for (const auto& p : std::vector<std::vector<double>>{{0, 0, 0}, {1.5, 0, 0}, {1.5, 0, 0}, {1.5, -2, 0.25}})
    points.push_back(Value(std::vector<Value>{p[0], p[1], p[2]}));
  const Value lines = structure(Structure::withArray(points));
  EXPECT_TRUE(isLineList(lines));
  EXPECT_FALSE(isLineList(Value(std::make_shared<const Structure>())));
  EXPECT_FALSE(isLineList(structure(Structure::withMembersAndKeys({{"0", Value(std::vector<Value>{1, 2, 3})}}))));
  // A lone trailing point makes no segment.
  points.push_back(points[0]);
  EXPECT_EQ(lineListFromValue(structure(Structure::withArray(points))).pointCount(), 4u);
  if (!haveAssimp()) GTEST_SKIP() << "assimp is not installed (Debian: assimp-utils)";
  test::ScratchFolder folder;
  writeTextFile(folder / "lines.obj", linesToOBJ(lineListFromValue(lines)));
  const ReadBack r = viaAssimp(folder / "lines.obj");
  EXPECT_EQ(r.primitive, "lines");
  EXPECT_EQ(r.faces, 2u);
  expectFloats(r.positions, {0, 0, 0, 1.5f, 0, 0, 1.5f, 0, 0, 1.5f, -2, 0.25f}, "lines");
}

TEST(Export, UnwritableFilesThrow) {
  test::ScratchFolder folder;
  // (Text files: the command line's unwritable-output test.)
  EXPECT_THROW(writeGLTF(ringMesh(), folder / "no" / "such" / "m.gltf", false), std::runtime_error);
}

namespace {

// The SVG reader's entries for a document, and the document's size.
std::vector<SVGReader::Entry> readSVG(const std::string& document, Size* size = nullptr) {
  test::ScratchFolder folder;
  writeTextFile(folder / "d.svg", document);
  SVGReader reader;
  EXPECT_TRUE(reader.read((folder / "d.svg").string()));
  if (size) *size = reader.documentSize;
  return reader.allBezierPaths;
}

Color colorOf(const SVGReader::Entry& e, const char* key) { return *e.entry.structure()->memberForKey(key).color(); }

}  // namespace

// The document's box is the drawing's, stroke included. The reader starts each path with a move
// to the document's origin, puts the box's left edge at x 0 and the drawing's lowest point at
// y 0: these paths read back moved right by half their stroke.
TEST(Export, SVGReadsBackAsThePathWithItsStroke) {
  Size size;
  auto read = readSVG(svgDocument(parseJson(R"({"$path": [["moveto", 0, 0], ["lineto", 10, 0], ["lineto", 10, 20], ["close"]],
      "windingRule": 0, "lineWidth": 2, "lineCapStyle": 1, "lineJoinStyle": 2, "miterLimit": 4,
      "dash": [3, 1.5], "dashPhase": 1})", "t")), &size);
  ASSERT_EQ(read.size(), 1u);
  const BezierPath& path = *read[0].path;
  expectElements(path, {M(1, 0), M(1, 0), L(11, 0), L(11, 20), Z()});
  EXPECT_EQ(size.width, 12);
  EXPECT_EQ(size.height, 22);
  EXPECT_EQ(path.lineWidth(), 2);
  EXPECT_EQ(path.lineCapStyle(), RoundLineCapStyle);
  EXPECT_EQ(path.lineJoinStyle(), BevelLineJoinStyle);
  EXPECT_EQ(path.miterLimit(), 4);
  EXPECT_EQ(path.lineDash(), (std::vector<double>{3, 1.5}));
  EXPECT_EQ(path.dashPhase(), 1);
  EXPECT_EQ(read[0].entry.structure()->memberForKey("strokefill").integerValue(), 0);
  EXPECT_EQ(colorOf(read[0], "stroke"), (Color{0, 0, 0, 1}));

  // Curves keep their control points in order; the box is the curve's, not its control points'.
  const double k = kK;
  Json half = Json::object();
  half["$path"] = Json::array({Json::array({"moveto", 1, 0}), Json::array({"curveto", 0, 1, 1, k, k, 1}),
                               Json::array({"curveto", -1, 0, -k, 1, -1, k})});
  half["lineWidth"] = 0;
  read = readSVG(svgDocument(half), &size);
  ASSERT_EQ(read.size(), 1u);
  expectElements(*read[0].path, {M(1, 0), M(2, 0), C({2, k}, {1 + k, 1}, {1, 1}), C({1 - k, 1}, {0, k}, {0, 0})}, 1e-12);
  EXPECT_EQ(size.width, 2);
  EXPECT_EQ(size.height, 1);

  // A curve after a close starts where the subpath did (x from -22.5 at t = 1/2 to 10).
  read = readSVG(svgDocument(parseJson(R"({"$path": [["moveto", 0, 0], ["lineto", 10, 0], ["close"],
      ["curveto", 0, 0, -30, 30, -30, -30]], "lineWidth": 0})", "t")), &size);
  EXPECT_DOUBLE_EQ(size.width, 32.5);
}

TEST(Export, SVGOfPathEntriesReadsBackWithTheirPaint) {
  Size size;
  const auto read = readSVG(svgDocument(parseJson(R"([{"path": {"$path": [["moveto", 0, 0], ["lineto", 4, 0], ["lineto", 4, 4],
      ["close"]], "windingRule": 1, "lineWidth": 1}, "strokefill": 2, "stroke": {"$color": [0, 0, 1, 1]},
      "fill": {"$color": [1, 0, 0, 0.5]}}, {"not": "an entry"}])", "t")), &size);
  ASSERT_EQ(read.size(), 1u);
  expectElements(*read[0].path, {M(0.5, 0), M(0.5, 0), L(4.5, 0), L(4.5, 4), Z()});
  EXPECT_EQ(read[0].path->windingRule(), EvenOddWindingRule);
  EXPECT_EQ(read[0].entry.structure()->memberForKey("strokefill").integerValue(), 2);
  EXPECT_EQ(colorOf(read[0], "fill"), (Color{1, 0, 0, 0.5}));
  EXPECT_EQ(colorOf(read[0], "stroke"), (Color{0, 0, 1, 1}));
  EXPECT_EQ(size.width, 5);
  EXPECT_TRUE(readSVG(svgDocument(Json()), &size).empty());
  EXPECT_EQ(size.width, 0);
}
