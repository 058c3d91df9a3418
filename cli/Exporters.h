// Files written for published outputs: meshes (OBJ, PLY, glTF), SVG for paths.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "cli/JsonValue.h"
#include "host/Structure.h"

namespace vellum::cli {

// A triangle soup: three vertices per triangle, each a position and a normal.
struct Mesh {
  std::vector<float> positions;  // x, y, z per vertex
  std::vector<float> normals;    // nx, ny, nz per vertex
  size_t vertexCount() const { return positions.size() / 3; }
  size_t triangleCount() const { return vertexCount() / 3; }
};

// Reads a mesh structure: members in order, each a structure with "X", "Y", "Z", "NX", "NY",
// "NZ". Members that are no structure count as a vertex at the origin; a trailing vertex or two
// that make no whole triangle are dropped. `value` may be nothing (an empty mesh).
Mesh meshFromValue(const Value& value);

std::string meshToOBJ(const Mesh& mesh);
std::string meshToPLY(const Mesh& mesh);
// A line list, as "Vellum Line Structure With Vector" writes it: unkeyed members, each a list of
// three numbers x, y, z, two per segment (start, end).
struct LineList {
  std::vector<double> positions;  // x, y, z per point
  size_t pointCount() const { return positions.size() / 3; }
  size_t segmentCount() const { return pointCount() / 2; }
};

// Whether a value is a line list rather than a mesh structure: a structure whose first member is
// unkeyed and is itself a structure of three unkeyed numbers.
bool isLineList(const Value& value);
// Members that are no three-number list count as the origin; a trailing lone point is dropped.
LineList lineListFromValue(const Value& value);
// OBJ with one "v" per point and one "l" element per segment.
std::string linesToOBJ(const LineList& lines);

// Writes glTF 2.0 (JSON with the buffer embedded, or binary .glb). Throws std::runtime_error.
void writeGLTF(const Mesh& mesh, const std::filesystem::path& file, bool binary);

// An SVG document for a path (its JSON form: {"$path": [...], "lineWidth": ...}) or for a
// bezier path structure (JSON array or object of path entries with "path", "strokefill",
// "stroke", "fill"). Nothing gives an empty document.
std::string svgDocument(const Json& pathOrEntries);

// Writes text to a file; throws std::runtime_error when it cannot.
void writeTextFile(const std::filesystem::path& file, const std::string& text);

}  // namespace vellum::cli
