// SVG attribute text as paths: the small scanner shared by path data, point lists, number lists
// and transforms; the "d" grammar; the basic shapes; the outline of a text element.
//
// Positions are byte offsets into UTF-8 text (the attribute values as the XML parser hands
// them over). Every separator, number and command character is ASCII, so a byte offset always
// lands on the same characters a character index would; letters outside ASCII are decoded
// whole where it matters (skipping an unsupported command).
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "path/BezierPath.h"

namespace vellum {

// ", \t\r\n"
inline bool isSVGSeparator(char c) { return c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
// "0123456789."
inline bool isSVGNumberCharacter(char c) { return (c >= '0' && c <= '9') || c == '.'; }

// YES (position moved past it) when `literal` stands at the position; NO, unmoved, otherwise.
bool matchSVGLiteral(std::string_view text, size_t& position, std::string_view literal);
void skipSVGSeparators(std::string_view text, size_t& position);
// Separators, then an optional "-" and a run of digits and "."; the value is the leading-number
// conversion of that run ("1.5.2" reads 1.5 and consumes all five characters). No "+", no
// exponent. NO leaves the position unchanged.
bool parseSVGNumber(std::string_view text, size_t& position, double& number);
// Two numbers, x then y; NO (position and `point` unchanged) unless both read.
bool parseSVGPoint(std::string_view text, size_t& position, Point& point);
// Points from position 0 until one does not read; a trailing lone number is ignored.
std::vector<Point> parseSVGPoints(std::string_view text);
// Over letters (Unicode categories L and M), then over everything that is not a letter.
void skipSVGCommand(std::string_view text, size_t& position);
// One command with all its argument groups, appended to `path` (which has a current point).
// An argument group that does not read counts as zeros: a missing point is (0, 0), a missing
// number 0. So "M" followed by a letter moves to (0, 0), and "C 1 2 3 4" curves to (0, 0) with
// the control points (1, 2) and (3, 4). Unsupported letters are skipped with their numbers.
void parseSVGPathCommand(std::string_view text, size_t& position, BezierPath& path);
// A new path: a move to (0, 0), then the commands of `text`.
std::shared_ptr<BezierPath> parseSVGPathData(std::string_view text);

// Attribute lookup by exact name; nothing when absent. Shapes and text read their numbers with
// the leading-number conversion of the whole text, an absent attribute giving 0.
class SVGAttributes {
 public:
  virtual ~SVGAttributes() = default;
  virtual std::optional<std::string_view> attribute(std::string_view name) const = 0;
  double number(std::string_view name) const;
  std::string_view text(std::string_view name) const { return attribute(name).value_or(std::string_view()); }
  // Calls `f(name, value)` for every attribute, in document order.
  virtual void forEach(const std::function<void(std::string_view, std::string_view)>& f) const = 0;
};

// Attributes as a list of name and value pairs (tests, and the text element kept until its end).
class SVGAttributeList : public SVGAttributes {
 public:
  SVGAttributeList() = default;
  SVGAttributeList(std::initializer_list<std::pair<std::string, std::string>> pairs) : pairs_(pairs) {}
  explicit SVGAttributeList(std::vector<std::pair<std::string, std::string>> pairs) : pairs_(std::move(pairs)) {}
  std::optional<std::string_view> attribute(std::string_view name) const override;
  void forEach(const std::function<void(std::string_view, std::string_view)>& f) const override;
  const std::vector<std::pair<std::string, std::string>>& pairs() const { return pairs_; }

 private:
  std::vector<std::pair<std::string, std::string>> pairs_;
};

// The path of a "path", "rect", "ellipse", "circle", "line", "polyline" or "polygon" element in
// document coordinates; null for any other element name.
std::shared_ptr<BezierPath> svgShapePath(std::string_view elementName, const SVGAttributes& attributes);

// "Italic" for "italic", "Oblique" for "oblique", else "".
std::string svgFontStyleSuffix(std::string_view fontStyle);
// "bold" for a leading integer >= 700, or (no leading integer) for the text "bold"; else "".
std::string svgFontWeightSuffix(std::string_view fontWeight);
// The "font-family" text, followed by "-" weight suffix style suffix when either is not empty.
std::string svgFontName(const SVGAttributes& attributes);
// The outline of `characters` in the text element's font (the system font when that is not
// installed), with its pen start at ("x", "y") and the glyphs hanging upward from that baseline
// in y-down document coordinates: outline point (gx, gy) lands on (x + gx, y - gy).
std::shared_ptr<BezierPath> svgTextPath(std::string_view characters, const SVGAttributes& attributes);

}  // namespace vellum
