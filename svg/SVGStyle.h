// SVG paint, stroke settings and transforms: how an element's attributes (its own over those of
// its groups) become the stroke settings of its path and the "stroke", "fill" and "strokefill"
// members of its path entry.
#pragma once

#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "host/Value.h"
#include "path/AffineTransform.h"
#include "path/BezierPath.h"

namespace vellum {

// The arguments of the next parenthesised list at or after `position`, split at separators with
// the empty pieces dropped; the position moves past the ")". Nothing (position unchanged) when
// there is no "(" or no ")" at or after the position, or nothing between them.
std::optional<std::vector<std::string_view>> parseSVGArgumentList(std::string_view text, size_t& position);

// "#rgb" (the whole text exactly 4 characters), "#rrggbb" (any other length), "rgb(r, g, b)" in
// 0..255, or one of the 17 names (case-sensitive); alpha is the opacity's number when the
// opacity text is not empty, else 1. Components are clamped to 0..1, as calibrated colours
// clamp them. Nothing for "none", unknown names, "#" without hex digits, "rgb" with fewer than
// three arguments.
std::optional<Color> parseSVGColor(std::string_view paint, std::optional<std::string_view> opacity);

// Numbers read one after another from position 0 until one does not read.
std::vector<double> parseSVGNumberList(std::string_view text);

// "translate", "scale" and "rotate" (about the origin, or about a point with three arguments),
// the newest function acting first; any other "name(...)" is skipped. Nothing when one of the
// three has an empty or unclosed argument list; an empty text is the identity.
std::optional<AffineTransform> parseSVGTransform(std::string_view text);

// The attributes the style resolution reads, one slot each.
enum class SVGStyleAttribute : int {
  Stroke,
  StrokeOpacity,
  Fill,
  FillOpacity,
  StrokeWidth,
  StrokeLinecap,
  StrokeLinejoin,
  StrokeMiterlimit,
  StrokeDasharray,
  StrokeDashoffset,
  FillRule,
};
inline constexpr size_t kSVGStyleAttributeCount = 11;
// The slot of an attribute name, or nothing for a name the style resolution does not read.
std::optional<SVGStyleAttribute> svgStyleAttributeForName(std::string_view name);

// Style attribute values by slot; an absent attribute is nothing. The views point into text
// that must outlive the set.
struct SVGStyleAttributes {
  std::array<std::optional<std::string_view>, kSVGStyleAttributeCount> values;

  const std::optional<std::string_view>& operator[](SVGStyleAttribute a) const { return values[size_t(a)]; }
  // Stores the value when `name` is a style attribute; answers whether it was.
  bool set(std::string_view name, std::string_view value);
};

struct SVGPaint {
  Color stroke = Color::colorWithRed(0, 0, 0, 1);
  Color fill = Color::colorWithRed(0, 0, 0, 1);
  int strokefill = 0;  // 2 both paints read, 1 only fill, 0 otherwise
};

// Sets the path's line width (default 1), cap, join, miter limit (default 4), dash (only when
// "stroke-dasharray" gives at least one number) and winding rule; answers the paint.
SVGPaint applySVGStyle(BezierPath& path, const SVGStyleAttributes& attributes);

}  // namespace vellum
