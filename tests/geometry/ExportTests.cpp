// A real triangulated mesh through the vellum command's exporters, read back by real readers.
#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "GeometryTestSupport.h"
#include "cli/Exporters.h"

namespace vellum {
namespace {

using namespace vellum::test;
namespace fs = std::filesystem;

struct Exported {
  cli::Mesh mesh;
  size_t triangles = 0;
};

Exported ringMesh() {
  V2DTriangleStructurePatch patch("id");
  patch.inputBezierPath.setBezierPathValue(polygonPath({square(-2, 1, 10), square(1, 4, 4, false)}));
  patch.execute(nullptr, 0, {});
  Exported e;
  e.mesh = cli::meshFromValue(Value(patch.outputLines.structureValue()));
  e.triangles = patch.outputLines.structureValue()->count() / 3;
  return e;
}

fs::path scratch(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / ("vellum-geometry-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  return dir / name;
}

void checkGLTF(bool binary) {
  const Exported e = ringMesh();
  ASSERT_GE(e.triangles, 8u);
  const fs::path file = scratch(binary ? "ring.glb" : "ring.gltf");
  cli::writeGLTF(e.mesh, file, binary);
  tinygltf::TinyGLTF loader;
  tinygltf::Model model;
  std::string error, warning;
  const bool loaded = binary ? loader.LoadBinaryFromFile(&model, &error, &warning, file.string())
                             : loader.LoadASCIIFromFile(&model, &error, &warning, file.string());
  ASSERT_TRUE(loaded) << error;
  ASSERT_EQ(model.meshes.size(), 1u);
  const auto& primitive = model.meshes[0].primitives.at(0);
  const auto& position = model.accessors.at(size_t(primitive.attributes.at("POSITION")));
  size_t triangles = position.count / 3;
  if (primitive.indices >= 0) triangles = model.accessors.at(size_t(primitive.indices)).count / 3;
  EXPECT_EQ(triangles, e.triangles);
  ASSERT_EQ(position.minValues.size(), 3u);
  EXPECT_DOUBLE_EQ(position.minValues[0], -2);
  EXPECT_DOUBLE_EQ(position.minValues[1], 1);
  EXPECT_DOUBLE_EQ(position.maxValues[0], 8);
  EXPECT_DOUBLE_EQ(position.maxValues[1], 11);
  EXPECT_DOUBLE_EQ(position.maxValues[2], 0);
  // The buffer's own positions agree with the accessor's bounds.
  const auto& view = model.bufferViews.at(size_t(position.bufferView));
  const auto* p = reinterpret_cast<const float*>(model.buffers.at(size_t(view.buffer)).data.data() + view.byteOffset +
                                                 position.byteOffset);
  float lo = 1e9f, hi = -1e9f;
  for (size_t i = 0; i < position.count; ++i) lo = std::min(lo, p[3 * i]), hi = std::max(hi, p[3 * i]);
  EXPECT_EQ(lo, -2.0f);
  EXPECT_EQ(hi, 8.0f);
}

TEST(MeshExport, GLTFLoadsWithTheSameTrianglesAndBounds) { checkGLTF(false); }
TEST(MeshExport, GLBLoadsWithTheSameTrianglesAndBounds) { checkGLTF(true); }

// assimp (Debian's assimp-utils) reads OBJ and PLY; its "info" lists faces and bounds.
std::string assimpInfo(const fs::path& file) {
  const std::string command = "assimp info '" + file.string() + "' 2>/dev/null";
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    ::pclose(pipe);
  }
  return out;
}

void checkWithAssimp(const std::string& name, const std::string& text, size_t triangles) {
  ASSERT_TRUE(fs::exists("/usr/bin/assimp")) << "scripts/install-deps installs assimp-utils";
  const fs::path file = scratch(name);
  cli::writeTextFile(file, text);
  const std::string info = assimpInfo(file);
  ASSERT_NE(info.find("Faces:"), std::string::npos) << info;
  const size_t at = info.find("Faces:");
  EXPECT_EQ(std::stoul(info.substr(at + 6)), triangles) << info;
  EXPECT_NE(info.find("Minimum point"), std::string::npos);
  EXPECT_NE(info.find("(-2.000000 1.000000 0.000000)"), std::string::npos) << info;
  EXPECT_NE(info.find("(8.000000 11.000000 0.000000)"), std::string::npos) << info;
}

TEST(MeshExport, OBJReadsBack) {
  const Exported e = ringMesh();
  checkWithAssimp("ring.obj", cli::meshToOBJ(e.mesh), e.triangles);
}

TEST(MeshExport, PLYReadsBack) {
  const Exported e = ringMesh();
  checkWithAssimp("ring.ply", cli::meshToPLY(e.mesh), e.triangles);
}

}  // namespace
}  // namespace vellum
