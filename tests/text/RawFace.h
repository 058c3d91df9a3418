// A FreeType view of a font file, for checking outlines and advances against the font itself.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>
#include <utility>
#include <vector>

#include "host/Value.h"

namespace vellum::testing {

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
 private:
  FT_Library lib_ = nullptr;
  FT_Face face_ = nullptr;
};

}  // namespace vellum::testing
