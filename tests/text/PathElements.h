// Helpers shared by the text and source tests: a path as a list of (kind, points) and a
// FreeType view of a font file to check outlines against.
#pragma once

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <string>
#include <vector>

#include "path/BezierPath.h"

namespace vellum::testing {

using K = BezierPathElement;

struct El {
  K kind;
  std::vector<Point> points;  // move, line: the point; curve: control 1, control 2, end
};

inline std::vector<El> elementsOf(const BezierPath& path) {
  std::vector<El> out;
  for (size_t i = 0; i < path.elementCount(); ++i) {
    auto pts = path.associatedPoints(i);
    out.push_back({path.elementAtIndex(i), {pts.begin(), pts.end()}});
  }
  return out;
}

inline void expectElements(const BezierPath& path, const std::vector<El>& expected, double tolerance = 0) {
  auto got = elementsOf(path);
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].kind, expected[i].kind) << "element " << i;
    ASSERT_EQ(got[i].points.size(), expected[i].points.size()) << "element " << i;
    for (size_t j = 0; j < got[i].points.size(); ++j) {
      EXPECT_NEAR(got[i].points[j].x, expected[i].points[j].x, tolerance) << "element " << i << " point " << j;
      EXPECT_NEAR(got[i].points[j].y, expected[i].points[j].y, tolerance) << "element " << i << " point " << j;
    }
  }
}

// A list of structure members for a test helper. Unlike a plain std::vector<Value> parameter, a
// braced single member stays one member: f({L{"moveto", 0, 0}}) is a list of one command, not
// the command's own three members.
struct Members {
  std::vector<Value> values;
  Members(std::initializer_list<Value> list) : values(list) {}
  Members(const std::vector<Value>& list) : values(list) {}
};

// A face opened straight from the file, for facts the font itself states (cmap, advances,
// outline points), independent of the code under test.
class RawFace {
 public:
  explicit RawFace(const std::string& file) {
    FT_Init_FreeType(&lib_);
    if (FT_New_Face(lib_, file.c_str(), 0, &face_) != 0) face_ = nullptr;
  }
  ~RawFace() {
    if (face_) FT_Done_Face(face_);
    FT_Done_FreeType(lib_);
  }
  RawFace(const RawFace&) = delete;
  RawFace& operator=(const RawFace&) = delete;

  bool ok() const { return face_ != nullptr; }
  FT_Face face() const { return face_; }
  unsigned glyphFor(uint32_t codepoint) const { return FT_Get_Char_Index(face_, codepoint); }
  long advance(unsigned glyph) const {
    FT_Load_Glyph(face_, glyph, FT_LOAD_NO_SCALE);
    return face_->glyph->advance.x;
  }
  // The glyph's stored outline points and whether each is on the curve.
  std::vector<std::pair<Point, bool>> rawPoints(unsigned glyph, std::vector<int>* contourEnds = nullptr) const {
    FT_Load_Glyph(face_, glyph, FT_LOAD_NO_SCALE);
    const FT_Outline& o = face_->glyph->outline;
    std::vector<std::pair<Point, bool>> out;
    for (int i = 0; i < o.n_points; ++i)
      out.push_back({{double(o.points[i].x), double(o.points[i].y)}, (o.tags[i] & 1) != 0});
    if (contourEnds) contourEnds->assign(o.contours, o.contours + o.n_contours);
    return out;
  }
  FT_BBox cbox(unsigned glyph) const {
    FT_Load_Glyph(face_, glyph, FT_LOAD_NO_SCALE);
    FT_BBox b;
    FT_Outline_Get_CBox(&face_->glyph->outline, &b);
    return b;
  }

 private:
  FT_Library lib_ = nullptr;
  FT_Face face_ = nullptr;
};

}  // namespace vellum::testing
