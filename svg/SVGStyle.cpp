#include "svg/SVGStyle.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "svg/SVGPathData.h"

namespace vellum {

namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// An optional 0x, then hexadecimal digits; overflow gives 0xFFFFFFFF. Nothing without a digit.
std::optional<uint32_t> scanHex(std::string_view s) {
  size_t i = 0;
  if (s.size() >= 3 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X') && hexDigit(s[2]) >= 0) i = 2;
  if (i >= s.size() || hexDigit(s[i]) < 0) return std::nullopt;
  uint64_t v = 0;
  for (; i < s.size() && hexDigit(s[i]) >= 0; ++i) {
    v = v * 16 + uint64_t(hexDigit(s[i]));
    if (v > 0xFFFFFFFFu) v = 0x100000000u;  // stays saturated, never wraps
  }
  return v > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(v);
}

double unit(double v) { return std::isnan(v) ? 0 : std::clamp(v, 0.0, 1.0); }

Color calibrated(double r, double g, double b, double a) { return Color::colorWithRed(unit(r), unit(g), unit(b), unit(a)); }

struct NamedColor {
  std::string_view name;
  double r, g, b;
};
constexpr double k128 = 128.0 / 255.0, k192 = 192.0 / 255.0;
constexpr NamedColor kNamedColors[] = {
    {"aqua", 0, 1, 1},           {"black", 0, 0, 0},      {"blue", 0, 0, 1},          {"fuchsia", 1, 0, 1},
    {"gray", k128, k128, k128},  {"grey", k128, k128, k128}, {"green", 0, k128, 0},   {"lime", 0, 1, 0},
    {"maroon", k128, 0, 0},      {"navy", 0, 0, k128},    {"olive", k128, k128, 0},   {"purple", k128, 0, k128},
    {"red", 1, 0, 0},            {"silver", k192, k192, k192}, {"teal", 0, k128, k128}, {"white", 1, 1, 1},
    {"yellow", 1, 1, 0},
};

constexpr std::string_view kStyleNames[kSVGStyleAttributeCount] = {
    "stroke",          "stroke-opacity",   "fill",     "fill-opacity", "stroke-width", "stroke-linecap",
    "stroke-linejoin", "stroke-miterlimit", "stroke-dasharray", "stroke-dashoffset", "fill-rule",
};

}  // namespace

std::optional<std::vector<std::string_view>> parseSVGArgumentList(std::string_view text, size_t& position) {
  if (position >= text.size()) return std::nullopt;
  const size_t open = text.find('(', position), close = text.find(')', position);
  if (open == std::string_view::npos || close == std::string_view::npos || close <= open + 1) return std::nullopt;
  position = close + 1;
  std::vector<std::string_view> pieces;
  size_t i = open + 1;
  while (i < close) {
    while (i < close && isSVGSeparator(text[i])) ++i;
    const size_t start = i;
    while (i < close && !isSVGSeparator(text[i])) ++i;
    if (i > start) pieces.push_back(text.substr(start, i - start));
  }
  return pieces;
}

std::optional<Color> parseSVGColor(std::string_view paint, std::optional<std::string_view> opacity) {
  const double alpha = opacity && !opacity->empty() ? leadingDouble(*opacity) : 1.0;
  if (!paint.empty() && paint[0] == '#') {
    const std::optional<uint32_t> v = scanHex(paint.substr(1));
    if (!v) return std::nullopt;
    if (paint.size() == 4)
      return calibrated(((*v >> 8) & 15) / 15.0, ((*v >> 4) & 15) / 15.0, (*v & 15) / 15.0, alpha);
    return calibrated(((*v >> 16) & 255) / 255.0, ((*v >> 8) & 255) / 255.0, (*v & 255) / 255.0, alpha);
  }
  if (paint.starts_with("rgb")) {
    size_t position = 3;
    auto arguments = parseSVGArgumentList(paint, position);
    if (!arguments || arguments->size() < 3) return std::nullopt;
    return calibrated(leadingDouble((*arguments)[0]) / 255, leadingDouble((*arguments)[1]) / 255,
                      leadingDouble((*arguments)[2]) / 255, alpha);
  }
  for (const NamedColor& c : kNamedColors)
    if (c.name == paint) return calibrated(c.r, c.g, c.b, alpha);
  return std::nullopt;
}

std::vector<double> parseSVGNumberList(std::string_view text) {
  std::vector<double> numbers;
  size_t position = 0;
  double n = 0;
  while (parseSVGNumber(text, position, n)) numbers.push_back(n);
  return numbers;
}

std::optional<AffineTransform> parseSVGTransform(std::string_view text) {
  AffineTransform m;
  size_t position = 0;
  for (;;) {
    if (position >= text.size()) return m;
    skipSVGSeparators(text, position);
    const bool translate = matchSVGLiteral(text, position, "translate");
    const bool scale = !translate && matchSVGLiteral(text, position, "scale");
    const bool rotate = !translate && !scale && matchSVGLiteral(text, position, "rotate");
    if (translate || scale || rotate) {
      auto arguments = parseSVGArgumentList(text, position);
      if (!arguments || arguments->empty()) return std::nullopt;
      std::vector<double> a;
      for (std::string_view piece : *arguments) a.push_back(leadingDouble(piece));
      AffineTransform t;
      if (translate) {
        t.translateXBy(a[0], a.size() > 1 ? a[1] : 0);
        m.prependTransform(t);
      } else if (scale) {
        t.scaleXBy(a[0], a.size() > 1 ? a[1] : a[0]);
        m.prependTransform(t);
      } else if (a.size() >= 3) {
        // Moved to the origin, rotated, moved back; then the transform read so far.
        AffineTransform there, back;
        there.translateXBy(a[1], a[2]);
        t.rotateByDegrees(a[0]);
        back.translateXBy(-a[1], -a[2]);
        m.prependTransform(there);
        m.prependTransform(t);
        m.prependTransform(back);
      } else {
        t.rotateByDegrees(a[0]);
        m.prependTransform(t);
      }
    } else {
      const size_t before = position;
      parseSVGArgumentList(text, position);  // an unknown function and its list are skipped
      if (position == before) return m;
    }
  }
}

std::optional<SVGStyleAttribute> svgStyleAttributeForName(std::string_view name) {
  // Every style attribute starts with "stroke" or "fill": one comparison rules out the rest.
  if (name.empty() || (name[0] != 's' && name[0] != 'f')) return std::nullopt;
  for (size_t i = 0; i < kSVGStyleAttributeCount; ++i)
    if (kStyleNames[i] == name) return SVGStyleAttribute(i);
  return std::nullopt;
}

bool SVGStyleAttributes::set(std::string_view name, std::string_view value) {
  const auto slot = svgStyleAttributeForName(name);
  if (!slot) return false;
  values[size_t(*slot)] = value;
  return true;
}

SVGPaint applySVGStyle(BezierPath& path, const SVGStyleAttributes& a) {
  using A = SVGStyleAttribute;
  SVGPaint paint;
  const std::optional<Color> stroke =
      a[A::Stroke] ? parseSVGColor(*a[A::Stroke], a[A::StrokeOpacity]) : std::nullopt;
  const std::optional<Color> fill = a[A::Fill] ? parseSVGColor(*a[A::Fill], a[A::FillOpacity]) : std::nullopt;
  if (stroke) paint.stroke = *stroke;
  if (fill) paint.fill = *fill;
  paint.strokefill = stroke && fill ? 2 : fill ? 1 : 0;

  path.setLineWidth(a[A::StrokeWidth] ? leadingDouble(*a[A::StrokeWidth]) : 1.0);
  const std::string_view cap = a[A::StrokeLinecap].value_or("");
  path.setLineCapStyle(cap == "round" ? RoundLineCapStyle : cap == "square" ? SquareLineCapStyle : ButtLineCapStyle);
  const std::string_view join = a[A::StrokeLinejoin].value_or("");
  path.setLineJoinStyle(join == "round" ? RoundLineJoinStyle : join == "bevel" ? BevelLineJoinStyle : MiterLineJoinStyle);
  path.setMiterLimit(a[A::StrokeMiterlimit] ? leadingDouble(*a[A::StrokeMiterlimit]) : 4.0);
  if (a[A::StrokeDasharray]) {
    std::vector<double> dash = parseSVGNumberList(*a[A::StrokeDasharray]);
    if (!dash.empty())
      path.setLineDash(std::move(dash), a[A::StrokeDashoffset] ? leadingDouble(*a[A::StrokeDashoffset]) : 0.0);
  }
  path.setWindingRule(a[A::FillRule].value_or("") == "evenodd" ? EvenOddWindingRule : NonZeroWindingRule);
  return paint;
}

}  // namespace vellum
