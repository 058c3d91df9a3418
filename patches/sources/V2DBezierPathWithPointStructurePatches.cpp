#include "patches/sources/V2DBezierPathWithPointStructurePatches.h"

namespace vellum {

namespace {

// A coordinate: numbers and numeric strings read as numbers; any other kind disqualifies the entry.
bool coordinate(const Value& v, double& out) {
  switch (v.kind()) {
    case Value::Kind::Integer:
    case Value::Kind::Double:
    case Value::Kind::Boolean:
    case Value::Kind::String:
      out = v.doubleValue();
      return true;
    default:
      return false;
  }
}

// A keyed coordinate: a missing key reads as 0.
bool keyedCoordinate(const Structure& entry, const char* key, double& out) {
  if (!entry.hasKey(key)) {
    out = 0;
    return true;
  }
  return coordinate(entry.memberForKey(key), out);
}

// The path, or nothing when it has no element.
BezierPathRef nonEmpty(std::shared_ptr<BezierPath> path) {
  if (path->isEmpty()) return nullptr;
  return path;
}

}  // namespace

std::shared_ptr<BezierPath> V2DBezierPathWithLineStructurePatch::_bezierPathWithPoints(const Structure* points, double x,
                                                                                      double y, bool curve,
                                                                                      bool segments, bool relative) {
  auto r = BezierPath::bezierPath();
  if (!points || points->empty()) return r;
  Point pending{x, y};
  bool keyed = false;
  if (!curve)
    if (const StructureRef first = points->memberAtIndex(0).structure()) keyed = first->hasKey("X");
  const size_t needed = curve ? 6 : 2;

  size_t i = 0;
  for (const Structure::Member& member : *points) {
    const StructureRef entry = member.value.structure();
    if (!entry || entry->count() < needed) continue;
    double v[6] = {};
    bool ok = true;
    if (keyed) {
      ok = keyedCoordinate(*entry, "X", v[0]) && keyedCoordinate(*entry, "Y", v[1]);
    } else {
      for (size_t k = 0; k < needed && ok; ++k) ok = coordinate(entry->memberAtIndex(k), v[k]);
    }
    if (!ok) continue;
    const Point p{v[0], v[1]}, c1{v[2], v[3]}, c2{v[4], v[5]};

    if (segments && (i & 1)) {
      pending = p;
      ++i;
      continue;
    }
    if (segments || i == 0) r->moveToPoint(pending);
    if (curve) {
      if (relative)
        r->relativeCurveToPoint(p, c1, c2);
      else
        r->curveToPoint(p, c1, c2);
    } else {
      if (relative)
        r->relativeLineToPoint(p);
      else
        r->lineToPoint(p);
    }
    ++i;
  }
  return r;
}

// --- line structure --------------------------------------------------------------------------

V2DBezierPathWithLineStructurePatch::V2DBezierPathWithLineStructurePatch(const std::string& identifier)
    : Patch(identifier) {
  userInfo().setMember("Vellum Vector With Line Structure", "name");
  inputType.setMaxIndexValue(1);
}

bool V2DBezierPathWithLineStructurePatch::execute(ExecutionContext*, double, const Arguments&) {
  const StructureRef lines = inputLines.structureValue();
  outputBezierPath.setBezierPathValue(nonEmpty(_bezierPathWithPoints(
      lines.get(), inputX.doubleValue(), inputY.doubleValue(), false, inputType.indexValue() != 0,
      inputRelative.booleanValue())));
  return true;
}

// --- curve structure -------------------------------------------------------------------------

V2DBezierPathWithCurveStructurePatch::V2DBezierPathWithCurveStructurePatch(const std::string& identifier)
    : Patch(identifier) {
  userInfo().setMember("Vellum Vector With Curve Structure", "name");
}

bool V2DBezierPathWithCurveStructurePatch::execute(ExecutionContext*, double, const Arguments&) {
  const StructureRef curves = inputCurves.structureValue();
  outputBezierPath.setBezierPathValue(nonEmpty(V2DBezierPathWithLineStructurePatch::_bezierPathWithPoints(
      curves.get(), inputX.doubleValue(), inputY.doubleValue(), true, false, inputRelative.booleanValue())));
  return true;
}

}  // namespace vellum
