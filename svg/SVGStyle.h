// SVG values: colours, number lists, transforms and lengths with units.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "host/Value.h"
#include "path/AffineTransform.h"

namespace vellum {

// The arguments of the next parenthesised list at or after `position`, split at separators with
// the empty pieces dropped; the position moves past the ")". Nothing (position unchanged) when
// there is no "(" or no ")" at or after the position, or nothing between them.
std::optional<std::vector<std::string_view>> parseSVGArgumentList(std::string_view text, size_t& position);

// A CSS colour, names and functions in any case: "#rgb", "#rgba", "#rrggbb", "#rrggbbaa",
// "rgb()"/"rgba()" with numbers or percentages, "hsl()"/"hsla()", the 148 named colours and
// "transparent". Components are clamped to 0..1. Nothing for anything else ("none", "url(...)",
// "currentColor" included: the caller resolves those).
std::optional<Color> parseSVGColor(std::string_view text);
// The value of a hexadecimal digit, or -1.
int hexDigit(char c);

// Numbers read one after another from position 0 until one does not read.
std::vector<double> parseSVGNumberList(std::string_view text);

// "matrix", "translate", "scale", "rotate" (about the origin or a given centre), "skewX" and
// "skewY", composed in order (the last written acts first). Nothing when a function is unknown,
// has the wrong number of arguments or an unclosed list: the element is then drawn untransformed.
// An empty text is the identity.
std::optional<AffineTransform> parseSVGTransform(std::string_view text);

// What relative lengths are relative to.
struct SVGLengthContext {
  double fontSize = 16;               // em; ex is half of it
  double width = 100, height = 100;   // the viewport, for percentages
};
enum class SVGAxis { X, Y, Other };  // Other: percentages of the viewport's normalised diagonal
// A length with its unit (px, pt, pc, mm, cm, in, em, ex, %) in pixels at 96 per inch; nothing
// when the text does not start with a number or has an unknown unit.
std::optional<double> parseSVGLength(std::string_view text, const SVGLengthContext& context, SVGAxis axis);

}  // namespace vellum
