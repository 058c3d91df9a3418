#include "svg/SVGStyle.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>

#include "svg/SVGPathData.h"

namespace vellum {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

namespace {

double unit(double v) { return std::isnan(v) ? 0 : std::clamp(v, 0.0, 1.0); }

Color calibrated(double r, double g, double b, double a) { return Color::colorWithRed(unit(r), unit(g), unit(b), unit(a)); }

struct NamedColor {
  std::string_view name;
  uint32_t rgb;
};
constexpr NamedColor kNamedColors[] = {
#include "svg/SVGColors.inc"
};

std::string lowerCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = c >= 'A' && c <= 'Z' ? char(c + 32) : c;
  return out;
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && isSVGSeparator(s.front()) && s.front() != ',') s.remove_prefix(1);
  while (!s.empty() && isSVGSeparator(s.back()) && s.back() != ',') s.remove_suffix(1);
  return s;
}

// A number, or a percentage of `whole`; nothing when the piece is not exactly that.
std::optional<double> component(std::string_view piece, double whole, bool percentAllowed = true) {
  size_t p = 0;
  double n = 0;
  if (!parseSVGNumber(piece, p, n)) return std::nullopt;
  if (p == piece.size()) return n;
  if (percentAllowed && p + 1 == piece.size() && piece[p] == '%') return n / 100 * whole;
  return std::nullopt;
}

// The pieces of "name(a, b c / d)": separators, commas and "/" all split.
std::optional<std::vector<std::string_view>> functionArguments(std::string_view text, size_t open) {
  if (text.empty() || text.back() != ')') return std::nullopt;
  std::vector<std::string_view> pieces;
  size_t i = open + 1;
  const size_t close = text.size() - 1;
  while (i < close) {
    while (i < close && (isSVGSeparator(text[i]) || text[i] == '/')) ++i;
    const size_t start = i;
    while (i < close && !isSVGSeparator(text[i]) && text[i] != '/') ++i;
    if (i > start) pieces.push_back(text.substr(start, i - start));
  }
  return pieces;
}

double hueToRGB(double m1, double m2, double h) {
  h -= std::floor(h);
  if (h * 6 < 1) return m1 + (m2 - m1) * h * 6;
  if (h * 2 < 1) return m2;
  if (h * 3 < 2) return m1 + (m2 - m1) * (2.0 / 3 - h) * 6;
  return m1;
}

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

std::optional<Color> parseSVGColor(std::string_view text) {
  text = trimmed(text);
  if (text.empty()) return std::nullopt;
  if (text[0] == '#') {
    const std::string_view hex = text.substr(1);
    uint32_t v = 0;
    for (char c : hex) {
      if (hexDigit(c) < 0) return std::nullopt;
      v = v * 16 + uint32_t(hexDigit(c));
    }
    auto nibble = [&](int shift) { return double((v >> shift) & 15) / 15.0; };
    auto byte = [&](int shift) { return double((v >> shift) & 255) / 255.0; };
    switch (hex.size()) {
      case 3: return calibrated(nibble(8), nibble(4), nibble(0), 1);
      case 4: return calibrated(nibble(12), nibble(8), nibble(4), nibble(0));
      case 6: return calibrated(byte(16), byte(8), byte(0), 1);
      case 8: return calibrated(byte(24), byte(16), byte(8), byte(0));
      default: return std::nullopt;
    }
  }
  const std::string lower = lowerCase(text);
  const size_t open = lower.find('(');
  if (open != std::string::npos) {
    const std::string_view name = trimmed(std::string_view(lower).substr(0, open));
    const auto a = functionArguments(text, open);
    if (!a || (a->size() != 3 && a->size() != 4)) return std::nullopt;
    double alpha = 1;
    if (a->size() == 4) {
      const auto value = component((*a)[3], 1);
      if (!value) return std::nullopt;
      alpha = *value;
    }
    if (name == "rgb" || name == "rgba") {
      double c[3];
      for (int i = 0; i < 3; ++i) {
        const auto value = component((*a)[i], 255);
        if (!value) return std::nullopt;
        c[i] = *value / 255;
      }
      return calibrated(c[0], c[1], c[2], alpha);
    }
    if (name == "hsl" || name == "hsla") {
      std::string_view hue = (*a)[0];
      if (hue.ends_with("deg")) hue.remove_suffix(3);
      const auto h = component(hue, 0, false), s = component((*a)[1], 1), l = component((*a)[2], 1);
      if (!h || !s || !l || !std::isfinite(*h)) return std::nullopt;
      const double sat = unit(*s), light = unit(*l), hh = *h / 360;
      const double m2 = light <= 0.5 ? light * (sat + 1) : light + sat - light * sat, m1 = light * 2 - m2;
      return calibrated(hueToRGB(m1, m2, hh + 1.0 / 3), hueToRGB(m1, m2, hh), hueToRGB(m1, m2, hh - 1.0 / 3), alpha);
    }
    return std::nullopt;
  }
  if (lower == "transparent") return Color::colorWithRed(0, 0, 0, 0);
  const auto* end = std::end(kNamedColors);
  const auto* found = std::lower_bound(std::begin(kNamedColors), end, lower,
                                       [](const NamedColor& c, const std::string& n) { return c.name < n; });
  if (found == end || found->name != lower) return std::nullopt;
  return calibrated(((found->rgb >> 16) & 255) / 255.0, ((found->rgb >> 8) & 255) / 255.0, (found->rgb & 255) / 255.0, 1);
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
  static constexpr std::string_view kNames[] = {"matrix", "translate", "scale", "rotate", "skewX", "skewY"};
  for (;;) {
    skipSVGSeparators(text, position);
    if (position >= text.size()) return m;
    size_t which = std::size(kNames);
    for (size_t i = 0; i < std::size(kNames); ++i)
      if (matchSVGLiteral(text, position, kNames[i])) {
        which = i;
        break;
      }
    if (which == std::size(kNames)) return std::nullopt;
    while (position < text.size() && isSVGSeparator(text[position]) && text[position] != ',') ++position;
    if (position >= text.size() || text[position] != '(') return std::nullopt;
    const size_t close = text.find(')', position);
    if (close == std::string_view::npos) return std::nullopt;
    const std::vector<double> a = parseSVGNumberList(text.substr(position + 1, close - position - 1));
    position = close + 1;
    const size_t n = a.size();
    AffineTransform t;
    constexpr double kDegree = std::numbers::pi / 180;
    switch (which) {
      case 0:
        if (n != 6) return std::nullopt;
        t.setTransformStruct(a[0], a[1], a[2], a[3], a[4], a[5]);
        break;
      case 1:
        if (n != 1 && n != 2) return std::nullopt;
        t.translateXBy(a[0], n > 1 ? a[1] : 0);
        break;
      case 2:
        if (n != 1 && n != 2) return std::nullopt;
        t.scaleXBy(a[0], n > 1 ? a[1] : a[0]);
        break;
      case 3: {
        if (n != 1 && n != 3) return std::nullopt;
        const double c = std::cos(a[0] * kDegree), s = std::sin(a[0] * kDegree);
        const double cx = n == 3 ? a[1] : 0, cy = n == 3 ? a[2] : 0;
        // About the centre: moved to the origin, rotated, moved back.
        t.setTransformStruct(c, s, -s, c, cx - c * cx + s * cy, cy - s * cx - c * cy);
        break;
      }
      case 4:
        if (n != 1) return std::nullopt;
        t.setTransformStruct(1, 0, std::tan(a[0] * kDegree), 1, 0, 0);
        break;
      default:
        if (n != 1) return std::nullopt;
        t.setTransformStruct(1, std::tan(a[0] * kDegree), 0, 1, 0, 0);
        break;
    }
    m.prependTransform(t);
  }
}

std::optional<double> parseSVGLength(std::string_view text, const SVGLengthContext& c, SVGAxis axis) {
  text = trimmed(text);
  size_t p = 0;
  double n = 0;
  if (!parseSVGNumber(text, p, n)) return std::nullopt;
  const std::string unitName = lowerCase(trimmed(text.substr(p)));
  if (unitName.empty() || unitName == "px") return n;
  if (unitName == "pt") return n * 96 / 72;
  if (unitName == "pc") return n * 16;
  if (unitName == "mm") return n * 96 / 25.4;
  if (unitName == "cm") return n * 96 / 2.54;
  if (unitName == "in") return n * 96;
  if (unitName == "em") return n * c.fontSize;
  if (unitName == "ex") return n * c.fontSize / 2;
  if (unitName == "%") {
    const double whole = axis == SVGAxis::X   ? c.width
                         : axis == SVGAxis::Y ? c.height
                                              : std::sqrt((c.width * c.width + c.height * c.height) / 2);
    return n / 100 * whole;
  }
  return std::nullopt;
}

}  // namespace vellum
