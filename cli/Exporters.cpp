#include "cli/Exporters.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cmath>
#include <fstream>
#include <limits>
#include <stdexcept>

#include <tiny_gltf.h>

#include "path/BezierPath.h"
#include "render/PaintEntry.h"

namespace vellum::cli {

namespace fs = std::filesystem;

void writeTextFile(const fs::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot open " + file.string() + " for writing");
  out << text;
  out.close();
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

// --- meshes --------------------------------------------------------------------------------

Mesh meshFromValue(const Value& value) {
  Mesh mesh;
  StructureRef s = value.structure();
  if (!s) return mesh;
  size_t usable = s->count() - s->count() % 3;
  mesh.positions.reserve(usable * 3);
  mesh.normals.reserve(usable * 3);
  for (size_t i = 0; i < usable; ++i) {
    StructureRef vertex = s->memberAtIndex(i).structure();
    auto coordinate = [&](const char* key) { return vertex ? float(vertex->memberForKey(key).doubleValue()) : 0.0f; };
    for (const char* key : {"X", "Y", "Z"}) mesh.positions.push_back(coordinate(key));
    for (const char* key : {"NX", "NY", "NZ"}) mesh.normals.push_back(coordinate(key));
  }
  return mesh;
}

namespace {

// Shortest text that reads back as the same float; -0 prints as 0.
std::string floatText(float f) {
  if (f == 0) return "0";
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, f);
  return std::string(buf, r.ptr);
}

std::string triple(const std::vector<float>& v, size_t vertex) {
  return floatText(v[vertex * 3]) + " " + floatText(v[vertex * 3 + 1]) + " " + floatText(v[vertex * 3 + 2]);
}

}  // namespace

std::string meshToOBJ(const Mesh& mesh) {
  std::string out = "# written by vellum: " + std::to_string(mesh.triangleCount()) + " triangles\n";
  for (size_t i = 0; i < mesh.vertexCount(); ++i) out += "v " + triple(mesh.positions, i) + "\n";
  for (size_t i = 0; i < mesh.vertexCount(); ++i) out += "vn " + triple(mesh.normals, i) + "\n";
  for (size_t t = 0; t < mesh.triangleCount(); ++t) {
    out += "f";
    for (size_t c = 1; c <= 3; ++c) {
      std::string index = std::to_string(t * 3 + c);  // OBJ counts from 1
      out += " " + index + "//" + index;
    }
    out += "\n";
  }
  return out;
}

std::string meshToPLY(const Mesh& mesh) {
  std::string out =
      "ply\n"
      "format ascii 1.0\n"
      "comment written by vellum\n"
      "element vertex " + std::to_string(mesh.vertexCount()) + "\n"
      "property float x\n"
      "property float y\n"
      "property float z\n"
      "property float nx\n"
      "property float ny\n"
      "property float nz\n"
      "element face " + std::to_string(mesh.triangleCount()) + "\n"
      "property list uchar int vertex_indices\n"
      "end_header\n";
  for (size_t i = 0; i < mesh.vertexCount(); ++i) out += triple(mesh.positions, i) + " " + triple(mesh.normals, i) + "\n";
  for (size_t t = 0; t < mesh.triangleCount(); ++t)
    out += "3 " + std::to_string(t * 3) + " " + std::to_string(t * 3 + 1) + " " + std::to_string(t * 3 + 2) + "\n";
  return out;
}

// --- line lists --------------------------------------------------------------------------

bool isLineList(const Value& value) {
  StructureRef s = value.structure();
  if (!s || s->empty() || s->keyAtIndex(0)) return false;
  StructureRef point = s->memberAtIndex(0).structure();
  if (!point || point->count() != 3) return false;
  for (const auto& m : *point)
    if (m.keyed() || !m.value.isNumber()) return false;
  return true;
}

LineList lineListFromValue(const Value& value) {
  LineList lines;
  StructureRef s = value.structure();
  if (!s) return lines;
  const size_t usable = s->count() - s->count() % 2;
  lines.positions.reserve(usable * 3);
  for (size_t i = 0; i < usable; ++i) {
    StructureRef point = s->memberAtIndex(i).structure();
    const bool ok = point && point->count() == 3;
    for (size_t c = 0; c < 3; ++c) lines.positions.push_back(ok ? point->memberAtIndex(c).doubleValue() : 0.0);
  }
  return lines;
}

std::string linesToOBJ(const LineList& lines) {
  auto number = [](double d) { return d == 0 ? std::string("0") : shortestDouble(d); };
  std::string out = "# written by vellum: " + std::to_string(lines.segmentCount()) + " line segments\n";
  for (size_t i = 0; i < lines.pointCount(); ++i)
    out += "v " + number(lines.positions[i * 3]) + " " + number(lines.positions[i * 3 + 1]) + " " +
           number(lines.positions[i * 3 + 2]) + "\n";
  for (size_t k = 0; k < lines.segmentCount(); ++k)
    out += "l " + std::to_string(2 * k + 1) + " " + std::to_string(2 * k + 2) + "\n";  // OBJ counts from 1
  return out;
}

void writeGLTF(const Mesh& mesh, const fs::path& file, bool binary) {
  tinygltf::Model model;
  model.asset.version = "2.0";
  model.asset.generator = "vellum";
  tinygltf::Scene scene;
  scene.name = "vellum";

  // An empty mesh is a scene without nodes: glTF allows no accessor of count 0.
  if (mesh.vertexCount() > 0) {
    size_t n = mesh.vertexCount();
    std::vector<unsigned char> bytes;
    auto append = [&](const void* data, size_t size) {
      const auto* p = static_cast<const unsigned char*>(data);
      bytes.insert(bytes.end(), p, p + size);
    };
    std::vector<uint32_t> indices(n);
    for (size_t i = 0; i < n; ++i) indices[i] = uint32_t(i);
    append(mesh.positions.data(), n * 3 * sizeof(float));
    append(mesh.normals.data(), n * 3 * sizeof(float));
    append(indices.data(), n * sizeof(uint32_t));

    tinygltf::Buffer buffer;
    buffer.data = std::move(bytes);
    model.buffers.push_back(std::move(buffer));

    auto view = [&](size_t offset, size_t length, int target) {
      tinygltf::BufferView v;
      v.buffer = 0;
      v.byteOffset = offset;
      v.byteLength = length;
      v.target = target;
      model.bufferViews.push_back(v);
      return int(model.bufferViews.size() - 1);
    };
    int positionView = view(0, n * 12, TINYGLTF_TARGET_ARRAY_BUFFER);
    int normalView = view(n * 12, n * 12, TINYGLTF_TARGET_ARRAY_BUFFER);
    int indexView = view(n * 24, n * 4, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);

    auto accessor = [&](int bufferView, int componentType, int type) {
      tinygltf::Accessor a;
      a.bufferView = bufferView;
      a.byteOffset = 0;
      a.componentType = componentType;
      a.type = type;
      a.count = n;
      model.accessors.push_back(a);
      return int(model.accessors.size() - 1);
    };
    int positions = accessor(positionView, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3);
    // Readers need the position bounds.
    std::vector<double> lo(3, std::numeric_limits<double>::infinity()), hi(3, -std::numeric_limits<double>::infinity());
    for (size_t i = 0; i < n; ++i)
      for (int c = 0; c < 3; ++c) {
        lo[size_t(c)] = std::min(lo[size_t(c)], double(mesh.positions[i * 3 + size_t(c)]));
        hi[size_t(c)] = std::max(hi[size_t(c)], double(mesh.positions[i * 3 + size_t(c)]));
      }
    model.accessors[size_t(positions)].minValues = lo;
    model.accessors[size_t(positions)].maxValues = hi;
    int normals = accessor(normalView, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3);
    int triangles = accessor(indexView, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, TINYGLTF_TYPE_SCALAR);

    tinygltf::Primitive primitive;
    primitive.attributes["POSITION"] = positions;
    primitive.attributes["NORMAL"] = normals;
    primitive.indices = triangles;
    primitive.mode = TINYGLTF_MODE_TRIANGLES;
    tinygltf::Mesh gltfMesh;
    gltfMesh.name = file.stem().string();
    gltfMesh.primitives.push_back(primitive);
    model.meshes.push_back(gltfMesh);

    tinygltf::Node node;
    node.mesh = 0;
    node.name = gltfMesh.name;
    model.nodes.push_back(node);
    scene.nodes.push_back(0);
  }
  model.scenes.push_back(scene);
  model.defaultScene = 0;

  tinygltf::TinyGLTF writer;
  if (!writer.WriteGltfSceneToFile(&model, file.string(), /*embedImages=*/true, /*embedBuffers=*/true,
                                   /*prettyPrint=*/!binary, binary))
    throw std::runtime_error("cannot write " + file.string());
}

// --- SVG -------------------------------------------------------------------------------------

namespace {

struct Bounds {
  double minX = std::numeric_limits<double>::infinity(), minY = minX;
  double maxX = -std::numeric_limits<double>::infinity(), maxY = maxX;
  bool empty() const { return !(minX <= maxX); }
  void add(double x, double y) {
    minX = std::min(minX, x), maxX = std::max(maxX, x);
    minY = std::min(minY, y), maxY = std::max(maxY, y);
  }
  void add(const Bounds& b, double pad) {
    if (b.empty()) return;
    add(b.minX - pad, b.minY - pad);
    add(b.maxX + pad, b.maxY + pad);
  }
};

double num(const Json& j, double fallback) {
  if (j.is_number()) return j.get<double>();
  return fallback;
}

std::string svgNumber(double d) {
  if (d == 0) return "0";
  return shortestDouble(d);
}

struct SvgPath {
  std::string data;  // the d attribute, y already flipped
  Bounds bounds;     // of the outline, document coordinates
  double lineWidth = 1;
  int lineCap = 0, lineJoin = 0, windingRule = 0;
  double miterLimit = 10, dashPhase = 0;
  std::vector<double> dash;
};

// Reads a path's JSON form; answers false when it is none.
bool readPath(const Json& j, SvgPath& out) {
  if (!j.is_object() || !j.contains("$path") || !j["$path"].is_array()) return false;
  // The outline is rebuilt as a path for its bounds, so that they are the path's own.
  BezierPath outline;
  auto flip = [](double y) { return y == 0 ? 0.0 : -y; };
  for (const Json& e : j["$path"]) {
    if (!e.is_array() || e.empty() || !e[0].is_string()) continue;
    const std::string op = e[0].get<std::string>();
    std::vector<double> p;
    bool finite = true;
    for (size_t i = 1; i < e.size(); ++i) {
      p.push_back(num(e[i], std::numeric_limits<double>::quiet_NaN()));
      finite = finite && std::isfinite(p.back());
    }
    if (!finite) continue;  // SVG has no way to say it; drop the element
    const bool current = !outline.isEmpty();
    if ((op == "moveto" || op == "lineto") && p.size() >= 2) {
      out.data += (out.data.empty() ? "" : " ") + std::string(op == "moveto" ? "M" : "L") + svgNumber(p[0]) + " " +
                  svgNumber(flip(p[1]));
      if (op == "lineto" && current) outline.lineToPoint({p[0], p[1]});
      else outline.moveToPoint({p[0], p[1]});
    } else if (op == "curveto" && p.size() >= 6) {
      // End point first, then the two control points.
      double x = p[0], y = p[1], x1 = p[2], y1 = p[3], x2 = p[4], y2 = p[5];
      out.data += (out.data.empty() ? "" : " ") + std::string("C") + svgNumber(x1) + " " + svgNumber(flip(y1)) + " " +
                  svgNumber(x2) + " " + svgNumber(flip(y2)) + " " + svgNumber(x) + " " + svgNumber(flip(y));
      if (current) outline.curveToPoint({x, y}, {x1, y1}, {x2, y2});
      else outline.moveToPoint({x, y});
    } else if (op == "close") {
      out.data += out.data.empty() ? "Z" : " Z";
      outline.closePath();
    }
  }
  if (!outline.isEmpty()) {
    const Rect r = outline.bounds();
    out.bounds.add(r.origin.x, flip(r.origin.y));
    out.bounds.add(r.origin.x + r.size.width, flip(r.origin.y + r.size.height));
  }
  out.lineWidth = num(j.value("lineWidth", Json(1.0)), 1);
  out.lineCap = int(num(j.value("lineCapStyle", Json(0)), 0));
  out.lineJoin = int(num(j.value("lineJoinStyle", Json(0)), 0));
  out.miterLimit = num(j.value("miterLimit", Json(10.0)), 10);
  out.windingRule = int(num(j.value("windingRule", Json(0)), 0));
  out.dashPhase = num(j.value("dashPhase", Json(0.0)), 0);
  if (j.contains("dash") && j["dash"].is_array())
    for (const Json& d : j["dash"])
      if (d.is_number()) out.dash.push_back(d.get<double>());
  return true;
}

// "#rrggbb" and the opacity of a {"$color": [r, g, b, a]}; black when absent.
std::pair<std::string, double> svgColor(const Json& j) {
  double c[4] = {0, 0, 0, 1};
  if (j.is_object() && j.contains("$color") && j["$color"].is_array())
    for (size_t i = 0; i < 4 && i < j["$color"].size(); ++i) c[i] = num(j["$color"][i], c[i]);
  char buf[8];
  auto byte = [](double v) { return int(std::lround(std::clamp(std::isfinite(v) ? v : 0.0, 0.0, 1.0) * 255)); };
  std::snprintf(buf, sizeof buf, "#%02x%02x%02x", byte(c[0]), byte(c[1]), byte(c[2]));
  return {buf, std::isfinite(c[3]) ? std::clamp(c[3], 0.0, 1.0) : 1.0};
}

std::string pathElement(const SvgPath& p, const std::string& paint) {
  static const char* caps[] = {"butt", "round", "square"};
  static const char* joins[] = {"miter", "round", "bevel"};
  std::string s = "  <path d=\"" + p.data + "\"" + paint;
  s += " stroke-width=\"" + svgNumber(p.lineWidth) + "\"";
  s += " stroke-linecap=\"" + std::string(caps[p.lineCap >= 0 && p.lineCap <= 2 ? p.lineCap : 0]) + "\"";
  s += " stroke-linejoin=\"" + std::string(joins[p.lineJoin >= 0 && p.lineJoin <= 2 ? p.lineJoin : 0]) + "\"";
  s += " stroke-miterlimit=\"" + svgNumber(p.miterLimit) + "\"";
  if (!p.dash.empty()) {
    s += " stroke-dasharray=\"";
    for (size_t i = 0; i < p.dash.size(); ++i) s += (i ? " " : "") + svgNumber(p.dash[i]);
    s += "\"";
    if (p.dashPhase != 0) s += " stroke-dashoffset=\"" + svgNumber(p.dashPhase) + "\"";
  }
  return s + "/>\n";
}

std::string opacity(const char* attribute, double alpha) {
  return alpha < 1 ? " " + std::string(attribute) + "-opacity=\"" + svgNumber(alpha) + "\"" : "";
}

}  // namespace

std::string svgDocument(const Json& value) {
  std::string body;
  Bounds all;
  SvgPath single;
  if (readPath(value, single)) {
    if (!single.data.empty()) body += pathElement(single, " fill=\"none\" stroke=\"black\"");
    all.add(single.bounds, single.lineWidth / 2);
  } else if (value.is_array() || value.is_object()) {
    // A bezier path structure: each entry paints its path as its "strokefill" says.
    for (const auto& [key, entry] : value.items()) {
      SvgPath p;
      if (!entry.is_object() || !readPath(entry.value(paint::kPath, Json()), p) || p.data.empty()) continue;
      int mode = int(num(entry.value(paint::kStrokeFill, Json(0)), 0));
      auto [stroke, strokeAlpha] = svgColor(entry.value(paint::kStroke, Json()));
      auto [fill, fillAlpha] = svgColor(entry.value(paint::kFill, Json()));
      std::string paint;
      if (mode == 1 || mode == 2) {
        paint += " fill=\"" + fill + "\"" + opacity("fill", fillAlpha);
        if (p.windingRule == 1) paint += " fill-rule=\"evenodd\"";
      } else {
        paint += " fill=\"none\"";
      }
      if (mode == 1)
        paint += " stroke=\"none\"";
      else
        paint += " stroke=\"" + stroke + "\"" + opacity("stroke", strokeAlpha);
      body += pathElement(p, paint);
      all.add(p.bounds, mode == 1 ? 0 : p.lineWidth / 2);
    }
  }
  if (all.empty()) all.add(0, 0);
  double width = all.maxX - all.minX, height = all.maxY - all.minY;
  std::string box = svgNumber(all.minX) + " " + svgNumber(all.minY) + " " + svgNumber(width) + " " + svgNumber(height);
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" +
         svgNumber(width) + "\" height=\"" + svgNumber(height) + "\" viewBox=\"" + box + "\">\n" + body + "</svg>\n";
}

}  // namespace vellum::cli
