#include "plugin/Vellum2DPrincipal.h"

#include <unordered_map>

#include "host/Bundle.h"
#include "host/Log.h"
#include "patches/geometry/V2DExtrusionTriangleStructurePatch.h"
#include "patches/geometry/V2DGridPatch.h"
#include "patches/geometry/V2DLatheTriangleStructurePatch.h"
#include "patches/geometry/V2DLineStructurePatch.h"
#include "patches/geometry/V2DTriangleStructurePatch.h"
#include "patches/operators/PathOperatorPatches.h"
#include "patches/operators/ResamplePatches.h"
#include "patches/operators/V2DBezierPathCombinePatch.h"
#include "patches/operators/V2DBezierPathMorphPatch.h"
#include "patches/operators/V2DBezierPathNoisePatch.h"
#include "patches/render/V2DImageWithBezierPathPatch.h"
#include "patches/render/V2DImageWithBezierPathStructurePatch.h"
#include "patches/sources/PrimitiveShapePatches.h"
#include "patches/sources/V2DBezierPathCommandPatches.h"
#include "patches/sources/V2DBezierPathWithPointStructurePatches.h"
#include "patches/sources/V2DBezierPathWithStringPatch.h"
#include "path/BezierPath.h"
#include "patches/sources/V2DBezierPathStructureWithSVGPatch.h"

namespace vellum {

namespace {

template <class T>
std::unique_ptr<Patch> make(const std::string& identifier) {
  return std::make_unique<T>(identifier);
}

template <class T>
std::unique_ptr<Inspector> makeInspector() {
  return std::make_unique<T>();
}

constexpr std::optional<unsigned> kDefault = std::nullopt;
constexpr std::optional<unsigned> k0 = 0u;
constexpr std::optional<unsigned> k1 = 1u;

}  // namespace

const std::vector<CatalogueRow>& catalogueRows() {
  static const std::vector<CatalogueRow> rows = {
      {"V2DImageWithBezierPathPatch", "Vellum Image With Vector", true, kDefault, kDefault, make<V2DImageWithBezierPathPatch>},
      {"V2DBezierPathWithStringPatch", "Vellum Vector With String", true, k0, k0, make<V2DBezierPathWithStringPatch>},
      {"V2DLineStructurePatch", "Vellum Line Structure With Vector", true, k0, k0, make<V2DLineStructurePatch>},
      {"V2DBezierPathContainsPointPatch", "Vellum Vector Contains Point", true, k0, k0, make<V2DBezierPathContainsPointPatch>},
      {"V2DBezierPathWithStructurePatch", "Vellum Vector With Commands", true, k0, k0, make<V2DBezierPathWithStructurePatch>},
      {"V2DBezierPathWithOvalPatch", "Vellum Vector With Oval", true, k0, k0, make<V2DBezierPathWithOvalPatch>},
      {"V2DBezierPathWithRectanglePatch", "Vellum Vector With Rectangle", true, k0, k0, make<V2DBezierPathWithRectanglePatch>},
      {"V2DBezierPathWithRoundedRectanglePatch", "Vellum Vector With Rounded Rectangle", true, k0, k0,
       make<V2DBezierPathWithRoundedRectanglePatch>},
      {"V2DBezierPathCombinePatch", "Vellum Vector Combine", true, k0, k0, make<V2DBezierPathCombinePatch>,
       "V2DBezierPathCombinePatchUI", makeInspector<V2DBezierPathCombinePatchUI>},
      {"V2DBezierPathWithArcPatch", "Vellum Vector With Arc", true, k0, k0, make<V2DBezierPathWithArcPatch>},
      {"V2DBezierPathWithCurvePatch", "Vellum Vector With Curve", true, k0, k0, make<V2DBezierPathWithCurvePatch>},
      {"V2DBezierPathWithLinePatch", "Vellum Vector With Line", true, k0, k0, make<V2DBezierPathWithLinePatch>},
      {"V2DBezierPathReversePatch", "Vellum Vector Reverse", true, k0, k0, make<V2DBezierPathReversePatch>},
      {"V2DBezierPathTransformPatch", "Vellum Vector Transform", true, kDefault, kDefault, make<V2DBezierPathTransformPatch>},
      {"V2DBezierPathBoundsPatch", "Vellum Vector Bounds", true, k0, k0, make<V2DBezierPathBoundsPatch>},
      {"V2DTriangleStructurePatch", "Vellum Triangle Structure With Vector", true, kDefault, kDefault,
       make<V2DTriangleStructurePatch>},
      {"V2DBezierPathClosePatch", "Vellum Vector Close", true, k0, k0, make<V2DBezierPathClosePatch>},
      {"V2DBezierPathNoisePatch", "Vellum Vector Noise", true, kDefault, kDefault, make<V2DBezierPathNoisePatch>},
      {"V2DBezierPathFlattenPatch", "Vellum Vector Flatten", true, kDefault, kDefault, make<V2DBezierPathFlattenPatch>},
      {"V2DBezierPathMorphPatch", "Vellum Vector Morph", true, k0, k1, make<V2DBezierPathMorphPatch>},
      {"V2DExtrusionTriangleStructurePatch", "Vellum Extrusion With Vector", true, kDefault, kDefault, make<V2DExtrusionTriangleStructurePatch>},
      {"V2DLatheTriangleStructurePatch", "Vellum Lathe With Vector", true, kDefault, kDefault, make<V2DLatheTriangleStructurePatch>},
      {"V2DBezierPathWithLineStructurePatch", "Vellum Vector With Line Structure", true, k0, k0, make<V2DBezierPathWithLineStructurePatch>},
      {"V2DBezierPathPointPatch", "Vellum Vector Intermediate Point", true, k0, k0, make<V2DBezierPathPointPatch>},
      {"V2DBezierPathResamplePatch", "Vellum Vector Resample", true, k0, k0, make<V2DBezierPathResamplePatch>},
      {"V2DGridPatch", "Vellum Grid With Vector", true, k0, k0, make<V2DGridPatch>},
      {"V2DBezierPathStructureWithSVGPatch", "Vellum Vector With SVG", false, k0, k0, make<V2DBezierPathStructureWithSVGPatch>},
      {"V2DImageWithBezierPathStructurePatch", "Vellum Image With Vector Structure", true, k0, k0,
       make<V2DImageWithBezierPathStructurePatch>},
      {"V2DBezierPathWithCurveStructurePatch", "Vellum Vector With Curve Structure", true, k0, k0, make<V2DBezierPathWithCurveStructurePatch>},
      {"V2DBezierPathCommandsPatch", "Vellum Vector Commands", true, k0, k0, make<V2DBezierPathCommandsPatch>},
  };
  return rows;
}

namespace {

struct Guide {
  const char* description;
  std::vector<std::pair<std::string, std::vector<std::string>>> indexChoices;
};

// What each class does, and the meaning of its index inputs, as `vellum patches` shows them.
const std::unordered_map<std::string, Guide>& guides() {
  static const std::vector<std::string> kMode = {"stroke", "fill", "fill and stroke"},
                                        kCap = {"butt", "round", "square"}, kJoin = {"miter", "round", "bevel"},
                                        kRule = {"non-zero winding", "even-odd"}, kSmooth = {"flat", "smooth"};
  static const std::unordered_map<std::string, Guide> table = {
      {"V2DImageWithBezierPathPatch",
       {"Draws one path into an image: stroked, filled or both, with colours, line style and a drop shadow",
        {{"inputMode", kMode}, {"inputStrokeCapStyle", kCap}, {"inputStrokeJoinStyle", kJoin}, {"inputFillRule", kRule}}}},
      {"V2DBezierPathWithStringPatch",
       {"The outlines of a line of text in an installed font (PostScript name, as `fc-list : postscriptname` lists; "
        "the default, Georgia-Bold, is seldom installed on Linux), baseline starting at (inputX, inputY)", {}}},
      {"V2DLineStructurePatch", {"A line list: the flattened path as 3D points in z = 0, two per segment", {}}},
      {"V2DBezierPathContainsPointPatch",
       {"Whether the point (inputX, inputY) is inside the path", {{"inputFillRule", kRule}}}},
      {"V2DBezierPathWithStructurePatch",
       {"A path from a structure of drawing commands (moveto, lineto, curveto, rect, oval, arc, text, close, ...)", {}}},
      {"V2DBezierPathWithOvalPatch", {"An ellipse inscribed in the rectangle whose lower-left corner is (inputX, inputY)", {}}},
      {"V2DBezierPathWithRectanglePatch", {"A rectangle whose lower-left corner is (inputX, inputY)", {}}},
      {"V2DBezierPathWithRoundedRectanglePatch", {"A rectangle with rounded corners", {}}},
      {"V2DBezierPathCombinePatch",
       {"Joins several paths into one; the number of inputs is its state {\"bezierPathsCount\": N}", {}}},
      {"V2DBezierPathWithArcPatch", {"A circular arc around (inputX, inputY) from one angle to another (degrees, counter-clockwise unless inputClockwise)", {}}},
      {"V2DBezierPathWithCurvePatch", {"One cubic curve from a start point through two control points to an end point", {}}},
      {"V2DBezierPathWithLinePatch", {"A straight line between two points", {}}},
      {"V2DBezierPathReversePatch", {"The path with every subpath running the other way", {}}},
      {"V2DBezierPathTransformPatch", {"The path moved, rotated (degrees) and scaled", {}}},
      {"V2DBezierPathBoundsPatch", {"The path's bounding box: x, y, width and height", {}}},
      {"V2DTriangleStructurePatch", {"A flat mesh: the inside of the path filled with triangles, facing +z", {}}},
      {"V2DBezierPathClosePatch", {"The path with its last subpath closed", {}}},
      {"V2DBezierPathNoisePatch", {"The path with every point moved by a seeded random offset, scaled in x and y", {}}},
      {"V2DBezierPathFlattenPatch", {"The path with its curves replaced by straight lines, within a flatness", {}}},
      {"V2DBezierPathMorphPatch",
       {"Blends one path into another by a fraction, pairing their flattened points",
        {{"inputPairingAlgorithm", {"nearest", "sequential", "resampled then sequential"}}}}},
      {"V2DExtrusionTriangleStructurePatch",
       {"A solid mesh: the filled path swept along z from 0 to a depth, with walls and caps", {{"inputSmooth", kSmooth}}}},
      {"V2DLatheTriangleStructurePatch",
       {"A mesh of revolution: the path as a profile turned about the y axis from one angle to another in steps "
        "(steps and angles default to 0: set them)", {{"inputSmooth", kSmooth}}}},
      {"V2DBezierPathWithLineStructurePatch",
       {"A path joining a structure of points with straight lines", {{"inputType", {"one polyline", "separate segments"}}}}},
      {"V2DBezierPathPointPatch", {"The point at a fraction of the way along the path", {}}},
      {"V2DBezierPathResamplePatch", {"The path redrawn through evenly spaced points along it", {}}},
      {"V2DGridPatch", {"A grid of vertices: each path of a structure resampled into one row", {}}},
      {"V2DBezierPathStructureWithSVGPatch",
       {"Reads an SVG file into a structure of path entries (path, stroke, fill), y up; a relative name is found in "
        "the composition's folder", {}}},
      {"V2DImageWithBezierPathStructurePatch", {"Draws a structure of path entries (as the SVG patch makes) into one image", {}}},
      {"V2DBezierPathWithCurveStructurePatch", {"A path joining a structure of points with cubic curves", {}}},
      {"V2DBezierPathCommandsPatch", {"The path as a structure of drawing commands, the form Vector With Commands reads", {}}},
  };
  return table;
}

}  // namespace

const std::vector<const PatchClass*>& patchClasses() {
  static const std::vector<const PatchClass*> classes = [] {
    static std::vector<PatchClass> storage;
    storage.reserve(catalogueRows().size());
    for (const CatalogueRow& row : catalogueRows()) {
      if (!row.create) continue;
      storage.push_back(PatchClass{.name = row.name,
                                   .displayName = row.displayName,
                                   .create = row.create,
                                   .isSafe = row.isSafe,
                                   .allowsSubpatches = false,
                                   .executionMode = row.executionMode,
                                   .timeMode = row.timeMode,
                                   .inspectorClass = row.inspectorClass,
                                   .createInspector = row.createInspector});
      if (auto guide = guides().find(row.name); guide != guides().end()) {
        storage.back().description = guide->second.description;
        storage.back().indexChoices = guide->second.indexChoices;
      }
    }
    std::vector<const PatchClass*> pointers;
    for (const PatchClass& c : storage) pointers.push_back(&c);
    return pointers;
  }();
  return classes;
}

void Vellum2DPrincipal::registerNodesWithManager(NodeManager& manager) {
  const std::string prefix = std::string("[") + className + " registerNodesWithManager:]  ";
  for (const PatchClass* patchClass : patchClasses()) {
    if (!manager.isNodeRegisteredWithName(patchClass->name)) {
      manager.registerNodeWithClass(*patchClass);
      continue;
    }
    log(prefix + "Class " + patchClass->name +
        " is already registered.  Make sure you don't have multiple copies of this plugin installed.");
    for (const Bundle* bundle : Bundle::allBundles())
      if (bundle->classNamed(patchClass->name)) log(prefix + "\t" + patchClass->name + " is also defined in " + bundle->bundlePath());
  }
}

}  // namespace vellum

namespace {
vellum::ObjectRef objectFromRepresentation(const vellum::Value& representation) {
  return vellum::BezierPath::fromRepresentation(representation);
}
}  // namespace

extern "C" __attribute__((visibility("default"))) const vellum::PluginModule* vellum_plugin_module() {
  static const vellum::PluginModule module{vellum::PluginModule::kInterfaceVersion, vellum::Vellum2DPrincipal::className,
                                           &vellum::Vellum2DPrincipal::registerNodesWithManager, &vellum::patchClasses,
                                           &objectFromRepresentation};
  return &module;
}
