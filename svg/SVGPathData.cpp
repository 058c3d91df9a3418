#include "svg/SVGPathData.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "path/AffineTransform.h"
#include "text/Font.h"
#include "text/TextOutlines.h"

namespace vellum {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The end of the number starting exactly at `p` (no separators), or `p` when none starts there.
size_t numberEnd(std::string_view t, size_t p) {
  const size_t n = t.size(), start = p;
  if (p < n && (t[p] == '+' || t[p] == '-')) ++p;
  const size_t integer = p;
  while (p < n && isDigit(t[p])) ++p;
  bool digits = p > integer;
  if (p < n && t[p] == '.') {
    const size_t fraction = p + 1;
    size_t q = fraction;
    while (q < n && isDigit(t[q])) ++q;
    if (q > fraction || digits) {
      digits = digits || q > fraction;
      p = q;
    }
  }
  if (!digits) return start;
  if (p < n && (t[p] == 'e' || t[p] == 'E')) {
    size_t q = p + 1;
    if (q < n && (t[q] == '+' || t[q] == '-')) ++q;
    const size_t exponent = q;
    while (q < n && isDigit(t[q])) ++q;
    if (q > exponent) p = q;
  }
  return p;
}

// A flag of an arc: "0" or "1", separators before it, none needed after it.
bool parseFlag(std::string_view t, size_t& position, bool& flag) {
  size_t p = position;
  skipSVGSeparators(t, p);
  if (p >= t.size() || (t[p] != '0' && t[p] != '1')) return false;
  flag = t[p] == '1';
  position = p + 1;
  return true;
}

Point plus(Point a, Point b) { return {a.x + b.x, a.y + b.y}; }
Point reflected(Point control, Point about) { return {2 * about.x - control.x, 2 * about.y - control.y}; }

// Reads `count` numbers into `a`; NO (position unchanged) unless all read.
bool parseNumbers(std::string_view t, size_t& position, double* a, int count) {
  size_t p = position;
  for (int i = 0; i < count; ++i)
    if (!parseSVGNumber(t, p, a[i])) return false;
  position = p;
  return true;
}

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
  const size_t end = numberEnd(text, p);
  if (end == p) return false;
  number = leadingDouble(text.substr(p, end - p));
  position = end;
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

void appendSVGArc(BezierPath& path, double rx, double ry, double rotationDegrees, bool largeArc, bool sweep, Point to) {
  const Point from = path.currentPoint();
  if (from == to) return;
  rx = std::fabs(rx), ry = std::fabs(ry);
  if (!(rx > 0) || !(ry > 0) || !std::isfinite(rx) || !std::isfinite(ry) || !std::isfinite(rotationDegrees)) {
    path.lineToPoint(to);
    return;
  }
  const double phi = std::fmod(rotationDegrees, 360.0) * std::numbers::pi / 180;
  const double c = std::cos(phi), s = std::sin(phi);
  const double dx = (from.x - to.x) / 2, dy = (from.y - to.y) / 2;
  const double x1 = c * dx + s * dy, y1 = -s * dx + c * dy;
  const double lambda = (x1 * x1) / (rx * rx) + (y1 * y1) / (ry * ry);
  if (lambda > 1) {
    const double grow = std::sqrt(lambda);
    rx *= grow, ry *= grow;
  }
  const double rx2 = rx * rx, ry2 = ry * ry, numerator = rx2 * ry2 - rx2 * y1 * y1 - ry2 * x1 * x1;
  const double denominator = rx2 * y1 * y1 + ry2 * x1 * x1;
  double coefficient = std::sqrt(std::max(0.0, numerator / denominator));
  if (largeArc == sweep) coefficient = -coefficient;
  const double cxp = coefficient * rx * y1 / ry, cyp = -coefficient * ry * x1 / rx;
  const double cx = c * cxp - s * cyp + (from.x + to.x) / 2, cy = s * cxp + c * cyp + (from.y + to.y) / 2;
  const double ux = (x1 - cxp) / rx, uy = (y1 - cyp) / ry, vx = (-x1 - cxp) / rx, vy = (-y1 - cyp) / ry;
  const double theta = std::atan2(uy, ux);
  double delta = std::atan2(ux * vy - uy * vx, ux * vx + uy * vy);
  if (!sweep && delta > 0) delta -= 2 * std::numbers::pi;
  if (sweep && delta < 0) delta += 2 * std::numbers::pi;
  // Radii so large (or so small beside the distance) that the numbers leave the double range:
  // the arc is indistinguishable from its chord.
  if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(theta) || !std::isfinite(delta) ||
      !std::isfinite(rx) || !std::isfinite(ry)) {
    path.lineToPoint(to);
    return;
  }
  const int pieces = std::clamp(int(std::ceil(std::fabs(delta) / (std::numbers::pi / 2) - 1e-9)), 1, 4);
  const double step = delta / pieces, k = 4.0 / 3.0 * std::tan(step / 4);
  auto onEllipse = [&](double x, double y) { return Point{cx + rx * c * x - ry * s * y, cy + rx * s * x + ry * c * y}; };
  for (int i = 0; i < pieces; ++i) {
    const double a = theta + step * i, b = a + step;
    const double ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
    const Point end = i + 1 == pieces ? to : onEllipse(cb, sb);
    path.curveToPoint(end, onEllipse(ca - k * sa, sa + k * ca), onEllipse(cb + k * sb, sb - k * cb));
  }
}

std::shared_ptr<BezierPath> parseSVGPathData(std::string_view t, size_t* errorAt) {
  auto path = BezierPath::bezierPath();
  path->moveToPoint({0, 0});
  size_t p = 0;
  char command = 0;
  Point current{0, 0}, start{0, 0};
  // The second control point of the previous cubic or the control point of the previous
  // quadratic, for S and T; `previous` says which (0: neither).
  Point lastControl{0, 0};
  char previous = 0;
  for (;;) {
    size_t q = p;
    skipSVGSeparators(t, q);
    if (q >= t.size()) {
      p = t.size();
      break;
    }
    const char c = t[q];
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
      if (!std::strchr("MmZzLlHhVvCcSsQqTtAa", c) || (command == 0 && c != 'M' && c != 'm')) {
        p = q;
        break;
      }
      command = c;
      p = q + 1;
      if (c == 'Z' || c == 'z') {
        path->closePath();
        current = start;
        previous = 0;
        continue;
      }
    } else if (command == 0 || command == 'Z' || command == 'z') {
      p = q;  // numbers without a command to repeat
      break;
    }
    const bool relative = command >= 'a';
    const Point base = relative ? current : Point{0, 0};
    double a[7];
    size_t r = p;
    char kind = 0;
    switch (command | 0x20) {  // lower case
      case 'm':
      case 'l':
        if (!parseNumbers(t, r, a, 2)) break;
        current = plus(base, {a[0], a[1]});
        if ((command | 0x20) == 'm') {
          path->moveToPoint(current);
          start = current;
          command = relative ? 'l' : 'L';  // further pairs draw lines
        } else {
          path->lineToPoint(current);
        }
        kind = 'l';
        break;
      case 'h':
      case 'v':
        if (!parseNumbers(t, r, a, 1)) break;
        if ((command | 0x20) == 'h') current.x = base.x + a[0];
        else current.y = (relative ? current.y : 0) + a[0];
        path->lineToPoint(current);
        kind = 'l';
        break;
      case 'c':
        if (!parseNumbers(t, r, a, 6)) break;
        lastControl = plus(base, {a[2], a[3]});
        current = plus(base, {a[4], a[5]});
        path->curveToPoint(current, plus(base, {a[0], a[1]}), lastControl);
        kind = 'c';
        break;
      case 's': {
        if (!parseNumbers(t, r, a, 4)) break;
        const Point c1 = previous == 'c' ? reflected(lastControl, current) : current;
        lastControl = plus(base, {a[0], a[1]});
        current = plus(base, {a[2], a[3]});
        path->curveToPoint(current, c1, lastControl);
        kind = 'c';
        break;
      }
      case 'q':
      case 't': {
        const bool smooth = (command | 0x20) == 't';
        if (!parseNumbers(t, r, a, smooth ? 2 : 4)) break;
        const Point from = current;
        const Point control = smooth ? (previous == 'q' ? reflected(lastControl, current) : current)
                                     : plus(base, {a[0], a[1]});
        current = smooth ? plus(base, {a[0], a[1]}) : plus(base, {a[2], a[3]});
        lastControl = control;
        // The same curve as a cubic: each control point two thirds of the way to the quadratic's.
        path->curveToPoint(current, {from.x + 2.0 / 3 * (control.x - from.x), from.y + 2.0 / 3 * (control.y - from.y)},
                           {current.x + 2.0 / 3 * (control.x - current.x), current.y + 2.0 / 3 * (control.y - current.y)});
        kind = 'q';
        break;
      }
      default: {  // 'a'
        bool large = false, sweep = false;
        if (!parseNumbers(t, r, a, 3) || !parseFlag(t, r, large) || !parseFlag(t, r, sweep) ||
            !parseNumbers(t, r, a + 3, 2))
          break;
        current = plus(base, {a[3], a[4]});
        appendSVGArc(*path, a[0], a[1], a[2], large, sweep, current);
        kind = 'a';
        break;
      }
    }
    if (!kind) break;  // a missing or malformed argument: p stays at the group's start
    previous = kind;
    p = r;
  }
  if (errorAt) *errorAt = p;
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

std::shared_ptr<BezierPath> svgShapePath(std::string_view name, const SVGAttributes& a, const SVGLengthContext& c) {
  if (name == "path") return parseSVGPathData(a.text("d"));
  auto length = [&](std::string_view key, SVGAxis axis) -> std::optional<double> {
    const auto text = a.attribute(key);
    return text ? parseSVGLength(*text, c, axis) : std::optional<double>(0.0);
  };
  auto at = [&](std::string_view key, SVGAxis axis) { return length(key, axis).value_or(0); };
  auto path = BezierPath::bezierPath();
  if (name == "rect") {
    const auto w = length("width", SVGAxis::X), h = length("height", SVGAxis::Y);
    if (!w || !h || !(*w > 0) || !(*h > 0)) return nullptr;
    // One radius given stands for both; each is at most half the side.
    // A radius that is absent or negative is NaN here (no optional: GCC warns falsely on it).
    auto radius = [&](const char* key, SVGAxis axis) {
      const std::optional<double> r = a.attribute(key) ? parseSVGLength(a.text(key), c, axis) : std::nullopt;
      return r && *r >= 0 ? *r : NAN;
    };
    const double rx = radius("rx", SVGAxis::X), ry = radius("ry", SVGAxis::Y);
    const double x = at("x", SVGAxis::X), y = at("y", SVGAxis::Y);
    const double rxv = std::min(!std::isnan(rx) ? rx : !std::isnan(ry) ? ry : 0.0, *w / 2);
    const double ryv = std::min(!std::isnan(ry) ? ry : !std::isnan(rx) ? rx : 0.0, *h / 2);
    if (rxv > 0 && ryv > 0) {
      // As SVG draws it, so dashes start where they should: from the top edge, clockwise.
      const double r = x + *w, b = y + *h;
      path->moveToPoint({x + rxv, y});
      path->lineToPoint({r - rxv, y});
      appendSVGArc(*path, rxv, ryv, 0, false, true, {r, y + ryv});
      path->lineToPoint({r, b - ryv});
      appendSVGArc(*path, rxv, ryv, 0, false, true, {r - rxv, b});
      path->lineToPoint({x + rxv, b});
      appendSVGArc(*path, rxv, ryv, 0, false, true, {x, b - ryv});
      path->lineToPoint({x, y + ryv});
      appendSVGArc(*path, rxv, ryv, 0, false, true, {x + rxv, y});
      path->closePath();
    } else {
      path->appendBezierPathWithRect({{x, y}, {*w, *h}});
    }
  } else if (name == "ellipse" || name == "circle") {
    const double cx = at("cx", SVGAxis::X), cy = at("cy", SVGAxis::Y);
    const auto rx = length(name == "circle" ? "r" : "rx", name == "circle" ? SVGAxis::Other : SVGAxis::X);
    const auto ry = length(name == "circle" ? "r" : "ry", name == "circle" ? SVGAxis::Other : SVGAxis::Y);
    if (!rx || !ry || !(*rx > 0) || !(*ry > 0)) return nullptr;
    path->appendBezierPathWithOvalInRect({{cx - *rx, cy - *ry}, {2 * *rx, 2 * *ry}});
  } else if (name == "line") {
    path->moveToPoint({at("x1", SVGAxis::X), at("y1", SVGAxis::Y)});
    path->lineToPoint({at("x2", SVGAxis::X), at("y2", SVGAxis::Y)});
  } else if (name == "polyline" || name == "polygon") {
    const std::vector<Point> points = parseSVGPoints(a.text("points"));
    for (size_t i = 0; i < points.size(); ++i) i == 0 ? path->moveToPoint(points[i]) : path->lineToPoint(points[i]);
    if (name == "polygon" && !points.empty()) path->closePath();
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
  return fontWeight == "bold" || fontWeight == "bolder" ? "bold" : "";
}

std::string svgFontName(std::string_view family, std::string_view weight, std::string_view style) {
  const std::string styleSuffix = svgFontStyleSuffix(style), weightSuffix = svgFontWeightSuffix(weight);
  std::string name(family);
  if (!styleSuffix.empty() || !weightSuffix.empty()) name += "-" + weightSuffix + styleSuffix;
  return name;
}

std::shared_ptr<const Font> svgFont(std::string_view families, std::string_view weight, std::string_view style,
                                    double size) {
  size_t i = 0;
  while (i < families.size()) {
    size_t end = families.find(',', i);
    if (end == std::string_view::npos) end = families.size();
    std::string_view family = families.substr(i, end - i);
    i = end + 1;
    while (!family.empty() && (isSVGSeparator(family.front()) || family.front() == '"' || family.front() == '\''))
      family.remove_prefix(1);
    while (!family.empty() && (isSVGSeparator(family.back()) || family.back() == '"' || family.back() == '\''))
      family.remove_suffix(1);
    if (family.empty()) continue;
    if (auto font = Font::fontWithName(svgFontName(family, weight, style), size)) return font;
  }
  return Font::systemFontOfSize(size);
}

std::shared_ptr<BezierPath> svgTextPath(std::string_view characters, Point position, const Font* font,
                                        std::string_view anchor) {
  auto path = BezierPath::bezierPath();
  path->moveToPoint({0, 0});
  if (font) appendBezierPathWithString(*path, characters, *font);
  double x = position.x;
  if (anchor == "middle" || anchor == "end") {
    // The advance is where the pen ends: the current point after the last glyph.
    const double advance = path->currentPoint().x;
    x -= anchor == "end" ? advance : advance / 2;
  }
  // Glyphs are laid out y up from (0, 0); the document is y down with the baseline at y.
  AffineTransform place;
  place.setTransformStruct(1, 0, 0, -1, x, position.y);
  path->transformUsingAffineTransform(place);
  return path;
}

}  // namespace vellum
