// Paint entries: the members of a bezier path structure, each a path with how to paint it. The
// image patches draw them, the SVG reader makes them, the exporters write them; this is the one
// place that knows their keys.
//
// "path" (vector; its own width, cap, join, miter limit, dash and winding rule are used),
// "strokefill" (1 fill, 2 fill then stroke, anything else stroke), "stroke", "fill" (colours),
// "shadow" (present: draw a shadow), "shadow-offset" (size, pixels, y up), "shadow-blur"
// (number), "shadow-color" (colour). Optional, from SVG files: "fill-gradient" and
// "stroke-gradient" (drawn instead of the colours, which hold the first stop's colour for other
// consumers): structures with "kind" ("linear" or "radial"), "x1" "y1" "x2" "y2" or "cx" "cy" "r"
// "fx" "fy" "fr" in gradient space, "matrix" (six numbers a b c d tx ty: gradient space to the
// drawing), "spread" ("pad", "reflect", "repeat") and "stops" (structures of "offset" 0..1 and
// "color"); "clip" (vector, or a structure of vectors: the entry is drawn only inside each, by
// its winding rule).
#pragma once

#include "host/Structure.h"

namespace vellum::paint {

inline constexpr const char* kPath = "path";
inline constexpr const char* kStrokeFill = "strokefill";
inline constexpr const char* kStroke = "stroke";
inline constexpr const char* kFill = "fill";
inline constexpr const char* kShadow = "shadow";
inline constexpr const char* kShadowOffset = "shadow-offset";
inline constexpr const char* kShadowBlur = "shadow-blur";
inline constexpr const char* kShadowColor = "shadow-color";
inline constexpr const char* kFillGradient = "fill-gradient";
inline constexpr const char* kStrokeGradient = "stroke-gradient";
inline constexpr const char* kClip = "clip";

// A gradient's members.
inline constexpr const char* kGradientKind = "kind";  // "linear" or "radial"
inline constexpr const char* kLinear = "linear";
inline constexpr const char* kRadial = "radial";
inline constexpr const char* kLinearCoordinates[4] = {"x1", "y1", "x2", "y2"};
inline constexpr const char* kRadialCoordinates[6] = {"cx", "cy", "r", "fx", "fy", "fr"};
inline constexpr const char* kGradientMatrix = "matrix";
inline constexpr const char* kGradientSpread = "spread";
inline constexpr const char* kGradientStops = "stops";
inline constexpr const char* kStopOffset = "offset";
inline constexpr const char* kStopColor = "color";

// "strokefill" values.
inline constexpr int kStrokeOnly = 0;
inline constexpr int kFillOnly = 1;
inline constexpr int kFillThenStroke = 2;

// An entry of the members every entry has, in this order: "path" (left out when there is
// none), "stroke", "fill", "strokefill". Shadows and the optional members are added by key.
inline Structure entry(ObjectRef path, Value stroke, Value fill, int strokefill) {
  std::vector<std::pair<std::string, Value>> members;
  if (path) members.emplace_back(kPath, Value(std::move(path)));
  members.insert(members.end(), {{kStroke, std::move(stroke)}, {kFill, std::move(fill)}, {kStrokeFill, strokefill}});
  return Structure::withMembersAndKeys(std::move(members));
}

}  // namespace vellum::paint
