#include "svg/SVGPathData.h"

#include <glib.h>

#include "path/AffineTransform.h"
#include "path/Font.h"
#include "path/TextOutlines.h"

namespace vellum {

namespace {

// Whether the character at `position` is a letter, and how many bytes it takes. A byte that
// does not begin valid UTF-8 is one non-letter character.
bool letterAt(std::string_view text, size_t position, size_t& length) {
  const unsigned char c = static_cast<unsigned char>(text[position]);
  length = 1;
  if (c < 0x80) return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  const gssize available = static_cast<gssize>(std::min<size_t>(text.size() - position, 8));
  const gunichar u = g_utf8_get_char_validated(text.data() + position, available);
  if (u == static_cast<gunichar>(-1) || u == static_cast<gunichar>(-2)) return false;
  length = static_cast<size_t>(g_utf8_skip[c]);
  switch (g_unichar_type(u)) {
    case G_UNICODE_LOWERCASE_LETTER:
    case G_UNICODE_MODIFIER_LETTER:
    case G_UNICODE_OTHER_LETTER:
    case G_UNICODE_TITLECASE_LETTER:
    case G_UNICODE_UPPERCASE_LETTER:
    case G_UNICODE_SPACING_MARK:
    case G_UNICODE_ENCLOSING_MARK:
    case G_UNICODE_NON_SPACING_MARK: return true;
    default: return false;
  }
}

Point plus(Point a, Point b) { return {a.x + b.x, a.y + b.y}; }

}  // namespace

bool matchSVGLiteral(std::string_view text, size_t& position, std::string_view literal) {
  if (position > text.size() || text.size() - position < literal.size()) return false;
  if (text.compare(position, literal.size(), literal) != 0) return false;
  position += literal.size();
  return true;
}

void skipSVGSeparators(std::string_view text, size_t& position) {
  while (position < text.size() && isSVGSeparator(text[position])) ++position;
}

bool parseSVGNumber(std::string_view text, size_t& position, double& number) {
  if (position >= text.size()) return false;
  size_t p = position;
  skipSVGSeparators(text, p);
  const size_t start = p;
  if (p < text.size() && text[p] == '-') ++p;
  if (p >= text.size() || !isSVGNumberCharacter(text[p])) return false;
  while (p < text.size() && isSVGNumberCharacter(text[p])) ++p;
  number = leadingDouble(text.substr(start, p - start));
  position = p;
  return true;
}

bool parseSVGPoint(std::string_view text, size_t& position, Point& point) {
  size_t p = position;
  double x = 0, y = 0;
  if (!parseSVGNumber(text, p, x) || !parseSVGNumber(text, p, y)) return false;
  point = {x, y};
  position = p;
  return true;
}

std::vector<Point> parseSVGPoints(std::string_view text) {
  std::vector<Point> points;
  size_t position = 0;
  Point p;
  while (parseSVGPoint(text, position, p)) points.push_back(p);
  return points;
}

void skipSVGCommand(std::string_view text, size_t& position) {
  size_t length = 1;
  while (position < text.size() && letterAt(text, position, length)) position += length;
  while (position < text.size() && !letterAt(text, position, length)) position += length;
}

void parseSVGPathCommand(std::string_view text, size_t& position, BezierPath& path) {
  skipSVGSeparators(text, position);
  if (position >= text.size()) return;
  const char command = text[position];
  switch (command) {
    case 'M': case 'm': case 'Z': case 'z': case 'L': case 'l':
    case 'H': case 'h': case 'V': case 'v': case 'C': case 'c': ++position; break;
    default: skipSVGCommand(text, position); return;
  }

  switch (command) {
    case 'Z':
    case 'z': path.closePath(); return;

    case 'M': case 'm': case 'L': case 'l': {
      Point p;
      parseSVGPoint(text, position, p);  // a group that does not read counts as (0, 0)
      bool first = true;
      do {
        switch (command) {
          case 'M': first ? path.moveToPoint(p) : path.lineToPoint(p); break;
          case 'm': first ? path.relativeMoveToPoint(p) : path.relativeLineToPoint(p); break;
          case 'L': path.lineToPoint(p); break;
          default: path.relativeLineToPoint(p); break;
        }
        first = false;
      } while (parseSVGPoint(text, position, p));
      return;
    }

    case 'H': case 'h': case 'V': case 'v': {
      double value = 0;
      parseSVGNumber(text, position, value);
      do {
        switch (command) {
          case 'H': path.lineToPoint({value, path.currentPoint().y}); break;
          case 'h': path.relativeLineToPoint({value, 0}); break;
          case 'V': path.lineToPoint({path.currentPoint().x, value}); break;
          default: path.relativeLineToPoint({0, value}); break;
        }
      } while (parseSVGNumber(text, position, value));
      return;
    }

    default: {  // 'C', 'c'
      Point p1;
      parseSVGPoint(text, position, p1);
      for (;;) {
        Point p2, p3;
        parseSVGPoint(text, position, p2);
        parseSVGPoint(text, position, p3);
        if (command == 'c') {
          const Point c = path.currentPoint();
          p1 = plus(p1, c), p2 = plus(p2, c), p3 = plus(p3, c);
        }
        path.curveToPoint(p3, p1, p2);
        p1 = {};
        if (!parseSVGPoint(text, position, p1)) break;
      }
      return;
    }
  }
}

std::shared_ptr<BezierPath> parseSVGPathData(std::string_view text) {
  auto path = BezierPath::bezierPath();
  path->moveToPoint({0, 0});
  size_t position = 0;
  while (position < text.size()) parseSVGPathCommand(text, position, *path);
  return path;
}

// --- attributes ------------------------------------------------------------------------------

double SVGAttributes::number(std::string_view name) const {
  auto value = attribute(name);
  return value ? leadingDouble(*value) : 0.0;
}

std::optional<std::string_view> SVGAttributeList::attribute(std::string_view name) const {
  for (const auto& [n, v] : pairs_)
    if (n == name) return std::string_view(v);
  return std::nullopt;
}

void SVGAttributeList::forEach(const std::function<void(std::string_view, std::string_view)>& f) const {
  for (const auto& [n, v] : pairs_) f(n, v);
}

// --- basic shapes ----------------------------------------------------------------------------

std::shared_ptr<BezierPath> svgShapePath(std::string_view name, const SVGAttributes& a) {
  if (name == "path") return parseSVGPathData(a.text("d"));
  auto path = BezierPath::bezierPath();
  if (name == "rect") {
    path->appendBezierPathWithRect({{a.number("x"), a.number("y")}, {a.number("width"), a.number("height")}});
  } else if (name == "ellipse") {
    const double cx = a.number("cx"), cy = a.number("cy"), rx = a.number("rx"), ry = a.number("ry");
    path->appendBezierPathWithOvalInRect({{cx - rx, cy - ry}, {2 * rx, 2 * ry}});
  } else if (name == "circle") {
    const double cx = a.number("cx"), cy = a.number("cy"), r = a.number("r");
    path->appendBezierPathWithOvalInRect({{cx - r, cy - r}, {2 * r, 2 * r}});
  } else if (name == "line") {
    path->moveToPoint({a.number("x1"), a.number("y1")});
    path->lineToPoint({a.number("x2"), a.number("y2")});
  } else if (name == "polyline" || name == "polygon") {
    const std::vector<Point> points = parseSVGPoints(a.text("points"));
    for (size_t i = 0; i < points.size(); ++i) i == 0 ? path->moveToPoint(points[i]) : path->lineToPoint(points[i]);
    if (name == "polygon") path->closePath();
  } else {
    return nullptr;
  }
  return path;
}

// --- text ------------------------------------------------------------------------------------

std::string svgFontStyleSuffix(std::string_view fontStyle) {
  if (fontStyle == "italic") return "Italic";
  if (fontStyle == "oblique") return "Oblique";
  return "";
}

std::string svgFontWeightSuffix(std::string_view fontWeight) {
  const int64_t n = leadingInteger(fontWeight);
  if (n != 0) return n >= 700 ? "bold" : "";
  return fontWeight == "bold" ? "bold" : "";
}

std::string svgFontName(const SVGAttributes& a) {
  const std::string style = svgFontStyleSuffix(a.text("font-style"));
  const std::string weight = svgFontWeightSuffix(a.text("font-weight"));
  std::string name(a.text("font-family"));
  if (!style.empty() || !weight.empty()) name += "-" + weight + style;
  return name;
}

std::shared_ptr<BezierPath> svgTextPath(std::string_view characters, const SVGAttributes& a) {
  const double x = a.number("x"), y = a.number("y"), size = a.number("font-size");
  FontRef font = Font::fontWithName(svgFontName(a), size);
  if (!font) font = Font::systemFontOfSize(size);
  auto path = BezierPath::bezierPath();
  path->moveToPoint({0, 0});
  if (font) appendBezierPathWithString(*path, characters, *font);
  // Glyphs are laid out y up from (0, 0); the document is y down with the baseline at y.
  AffineTransform place;
  place.setTransformStruct(1, 0, 0, -1, x, y);
  path->transformUsingAffineTransform(place);
  return path;
}

}  // namespace vellum
