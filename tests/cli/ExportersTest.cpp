// Mesh and path files: exact contents for a known two-triangle mesh and a known square.
#include <gtest/gtest.h>

#include <cstring>

#include <tiny_gltf.h>

#include "cli/Commands.h"
#include "cli/Exporters.h"
#include "host/Structure.h"
#include "tests/cli/TestSupport.h"

using namespace vellum;
using namespace vellum::cli;

namespace {

// The mesh structure a geometry patch writes: vertices keyed "0".."5", three per triangle.
Value twoTriangles() {
  const double v[6][6] = {{0, 0, 0, 0, 0, 1},   {1, 0, 0, 0, 0, 1},   {1, 1, 0, 0, 0, 1},
                          {0, 0, 0.5, 0, -1, 0}, {1, 0, 0.5, 0, -1, 0}, {0, 0, -0.25, 0, -1, 0}};
  Structure mesh;
  for (int k = 0; k < 6; ++k)
    mesh.addMember(Value(std::make_shared<const Structure>(Structure::withDictionary(
                       {{"X", v[k][0]}, {"Y", v[k][1]}, {"Z", v[k][2]}, {"NX", v[k][3]}, {"NY", v[k][4]}, {"NZ", v[k][5]}}))),
                   std::to_string(k));
  return Value(std::make_shared<const Structure>(std::move(mesh)));
}

template <class T>
std::vector<T> accessorData(const tinygltf::Model& m, int accessorIndex) {
  const auto& a = m.accessors[size_t(accessorIndex)];
  const auto& view = m.bufferViews[size_t(a.bufferView)];
  const auto& buffer = m.buffers[size_t(view.buffer)];
  size_t components = a.type == TINYGLTF_TYPE_VEC3 ? 3 : 1;
  std::vector<T> out(a.count * components);
  std::memcpy(out.data(), buffer.data.data() + view.byteOffset + a.byteOffset, out.size() * sizeof(T));
  return out;
}

void expectTwoTriangles(const tinygltf::Model& m) {
  ASSERT_EQ(m.meshes.size(), 1u);
  ASSERT_EQ(m.meshes[0].primitives.size(), 1u);
  const auto& p = m.meshes[0].primitives[0];
  EXPECT_EQ(p.mode, TINYGLTF_MODE_TRIANGLES);
  int position = p.attributes.at("POSITION"), normal = p.attributes.at("NORMAL");
  EXPECT_EQ(m.accessors[size_t(position)].count, 6u);
  EXPECT_EQ(m.accessors[size_t(position)].minValues, (std::vector<double>{0, 0, -0.25}));
  EXPECT_EQ(m.accessors[size_t(position)].maxValues, (std::vector<double>{1, 1, 0.5}));
  EXPECT_EQ(accessorData<float>(m, position),
            (std::vector<float>{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 0, 0.5f, 1, 0, 0.5f, 0, 0, -0.25f}));
  EXPECT_EQ(accessorData<float>(m, normal), (std::vector<float>{0, 0, 1, 0, 0, 1, 0, 0, 1, 0, -1, 0, 0, -1, 0, 0, -1, 0}));
  EXPECT_EQ(accessorData<uint32_t>(m, p.indices), (std::vector<uint32_t>{0, 1, 2, 3, 4, 5}));
  ASSERT_EQ(m.scenes.size(), 1u);
  EXPECT_EQ(m.scenes[0].nodes, std::vector<int>{0});
  EXPECT_EQ(m.nodes[0].mesh, 0);
}

}  // namespace

TEST(MeshExport, ReadsTheMeshStructure) {
  Mesh mesh = meshFromValue(twoTriangles());
  EXPECT_EQ(mesh.triangleCount(), 2u);
  EXPECT_EQ(mesh.positions, (std::vector<float>{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 0, 0.5f, 1, 0, 0.5f, 0, 0, -0.25f}));
  EXPECT_EQ(meshFromValue(Value()).vertexCount(), 0u);
  // A vertex that makes no whole triangle is dropped.
  Structure seven = *twoTriangles().structure();
  seven.addMember(seven.memberAtIndex(0), "6");
  EXPECT_EQ(meshFromValue(Value(std::make_shared<const Structure>(seven))).vertexCount(), 6u);
}

TEST(MeshExport, OBJ) {
  EXPECT_EQ(meshToOBJ(meshFromValue(twoTriangles())),
            "# written by vellum: 2 triangles\n"
            "v 0 0 0\n"
            "v 1 0 0\n"
            "v 1 1 0\n"
            "v 0 0 0.5\n"
            "v 1 0 0.5\n"
            "v 0 0 -0.25\n"
            "vn 0 0 1\n"
            "vn 0 0 1\n"
            "vn 0 0 1\n"
            "vn 0 -1 0\n"
            "vn 0 -1 0\n"
            "vn 0 -1 0\n"
            "f 1//1 2//2 3//3\n"
            "f 4//4 5//5 6//6\n");
  EXPECT_EQ(meshToOBJ(Mesh{}), "# written by vellum: 0 triangles\n");
}

TEST(MeshExport, PLY) {
  EXPECT_EQ(meshToPLY(meshFromValue(twoTriangles())),
            "ply\n"
            "format ascii 1.0\n"
            "comment written by vellum\n"
            "element vertex 6\n"
            "property float x\n"
            "property float y\n"
            "property float z\n"
            "property float nx\n"
            "property float ny\n"
            "property float nz\n"
            "element face 2\n"
            "property list uchar int vertex_indices\n"
            "end_header\n"
            "0 0 0 0 0 1\n"
            "1 0 0 0 0 1\n"
            "1 1 0 0 0 1\n"
            "0 0 0.5 0 -1 0\n"
            "1 0 0.5 0 -1 0\n"
            "0 0 -0.25 0 -1 0\n"
            "3 0 1 2\n"
            "3 3 4 5\n");
}

TEST(MeshExport, GLTFReadsBackWithTheSameTriangles) {
  test::ScratchFolder folder;
  writeGLTF(meshFromValue(twoTriangles()), folder / "mesh.gltf", false);
  tinygltf::Model model;
  tinygltf::TinyGLTF loader;
  std::string err, warn;
  ASSERT_TRUE(loader.LoadASCIIFromFile(&model, &err, &warn, (folder / "mesh.gltf").string())) << err;
  EXPECT_EQ(model.asset.version, "2.0");
  expectTwoTriangles(model);
  // The buffer is embedded: one file only.
  EXPECT_NE(test::readFile(folder / "mesh.gltf").find("data:application/octet-stream;base64,"), std::string::npos);
}

TEST(MeshExport, GLBReadsBackWithTheSameTriangles) {
  test::ScratchFolder folder;
  writeGLTF(meshFromValue(twoTriangles()), folder / "mesh.glb", true);
  EXPECT_EQ(test::readFile(folder / "mesh.glb").substr(0, 4), "glTF");
  tinygltf::Model model;
  tinygltf::TinyGLTF loader;
  std::string err, warn;
  ASSERT_TRUE(loader.LoadBinaryFromFile(&model, &err, &warn, (folder / "mesh.glb").string())) << err;
  expectTwoTriangles(model);
}

TEST(MeshExport, EmptyMeshIsASceneWithoutNodes) {
  test::ScratchFolder folder;
  writeGLTF(Mesh{}, folder / "empty.gltf", false);
  tinygltf::Model model;
  tinygltf::TinyGLTF loader;
  std::string err, warn;
  ASSERT_TRUE(loader.LoadASCIIFromFile(&model, &err, &warn, (folder / "empty.gltf").string())) << err;
  EXPECT_TRUE(model.meshes.empty());
  EXPECT_EQ(model.scenes.size(), 1u);
}

TEST(MeshExport, UnwritableFileThrows) {
  test::ScratchFolder folder;
  EXPECT_THROW(writeGLTF(meshFromValue(twoTriangles()), folder / "no" / "such" / "m.gltf", false), std::runtime_error);
  EXPECT_THROW(writeTextFile(folder / "no" / "such" / "m.obj", "x"), std::runtime_error);
}

TEST(LineExport, LineListIsWrittenAsOBJLineElements) {
  // Two segments as the line structure patch writes them: unkeyed three-number lists.
  std::vector<Value> points;
  for (const auto& p : std::vector<std::vector<double>>{{0, 0, 0}, {1.5, 0, 0}, {1.5, 0, 0}, {1.5, -2, 0.25}})
    points.push_back(Value(std::vector<Value>{p[0], p[1], p[2]}));
  const Value lines(std::make_shared<const Structure>(Structure::withArray(points)));
  EXPECT_TRUE(isLineList(lines));
  EXPECT_FALSE(isLineList(twoTriangles()));
  EXPECT_FALSE(isLineList(Value(std::make_shared<const Structure>())));
  EXPECT_EQ(linesToOBJ(lineListFromValue(lines)),
            "# written by vellum: 2 line segments\n"
            "v 0 0 0\n"
            "v 1.5 0 0\n"
            "v 1.5 0 0\n"
            "v 1.5 -2 0.25\n"
            "l 1 2\n"
            "l 3 4\n");
  // A lone trailing point makes no segment.
  points.push_back(points[0]);
  EXPECT_EQ(lineListFromValue(Value(std::make_shared<const Structure>(Structure::withArray(points)))).pointCount(), 4u);
}

TEST(SvgExport, SquareIsUprightWithStrokeSettings) {
  Json path = parseJson(R"({"$path": [["moveto", 0, 0], ["lineto", 10, 0], ["lineto", 10, 20], ["close"]],
      "windingRule": 0, "lineWidth": 2, "lineCapStyle": 1, "lineJoinStyle": 2, "miterLimit": 4,
      "dash": [3, 1.5], "dashPhase": 1})", "t");
  EXPECT_EQ(svgDocument(path),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"12\" height=\"22\" viewBox=\"-1 -21 12 "
            "22\">\n"
            "  <path d=\"M0 0 L10 0 L10 -20 Z\" fill=\"none\" stroke=\"black\" stroke-width=\"2\" stroke-linecap=\"round\" "
            "stroke-linejoin=\"bevel\" stroke-miterlimit=\"4\" stroke-dasharray=\"3 1.5\" stroke-dashoffset=\"1\"/>\n"
            "</svg>\n");
}

TEST(SvgExport, CurvesGiveTheTightBoxAndControlPointsInOrder) {
  // A half circle of radius 1 above the x axis, as two quarter curves; control points stick out
  // beyond the curve, the box must not.
  const double k = 0.5522847498;
  Json path = Json::object();
  path["$path"] = Json::array({Json::array({"moveto", 1, 0}), Json::array({"curveto", 0, 1, 1, k, k, 1}),
                               Json::array({"curveto", -1, 0, -k, 1, -1, k})});
  path["lineWidth"] = 0;
  std::string svg = svgDocument(path);
  EXPECT_NE(svg.find("d=\"M1 0 C1 -" + shortestDouble(k) + " " + shortestDouble(k) + " -1 0 -1 C-" + shortestDouble(k) +
                     " -1 -1 -" + shortestDouble(k) + " -1 0\""),
            std::string::npos)
      << svg;
  EXPECT_NE(svg.find("viewBox=\"-1 -1 2 1\""), std::string::npos) << svg;
}

TEST(SvgExport, BezierPathStructurePaintsEachEntry) {
  Json entries = parseJson(R"([{"path": {"$path": [["moveto", 0, 0], ["lineto", 4, 0], ["lineto", 4, 4], ["close"]],
                                          "windingRule": 1, "lineWidth": 1},
                                 "strokefill": 2, "stroke": {"$color": [0, 0, 1, 1]}, "fill": {"$color": [1, 0, 0, 0.5]}},
                                {"not": "an entry"}])",
                             "t");
  std::string svg = svgDocument(entries);
  EXPECT_NE(svg.find("<path d=\"M0 0 L4 0 L4 -4 Z\" fill=\"#ff0000\" fill-opacity=\"0.5\" fill-rule=\"evenodd\" "
                     "stroke=\"#0000ff\" stroke-width=\"1\""),
            std::string::npos)
      << svg;
  EXPECT_NE(svg.find("viewBox=\"-0.5 -4.5 5 5\""), std::string::npos) << svg;
  EXPECT_EQ(svg.find("<path", svg.find("<path") + 1), std::string::npos) << "one path only: " << svg;
}

TEST(SvgExport, NothingIsAnEmptyDocument) {
  EXPECT_EQ(svgDocument(Json()),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"0\" height=\"0\" viewBox=\"0 0 0 0\">\n"
            "</svg>\n");
}

TEST(FrameNames, NumberGoesBeforeTheExtension) {
  EXPECT_EQ(withFrameSuffix("image.png", "-0007"), "image-0007.png");
  EXPECT_EQ(withFrameSuffix("solid", "-0012"), "solid-0012");
  EXPECT_EQ(withFrameSuffix("sub/mesh.gltf", "-0000"), "sub/mesh-0000.gltf");
}
