#include "path/Assemble.h"

namespace vellum {

namespace {

// A coordinate: numbers, booleans and strings read as the host reads them (a string by its
// leading number, else 0); any other kind disqualifies the entry.
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

}  // namespace

std::shared_ptr<BezierPath> combineBezierPaths(std::span<const BezierPathRef> paths, bool join) {
  auto result = BezierPath::bezierPath();
  Point current{};
  bool earlierHadElements = false;
  for (const BezierPathRef& path : paths) {
    if (!path || path->isEmpty()) continue;
    V2DBezierPathEnumerator enumerator = path->enumerator();
    bool first = true;
    while (auto e = enumerator.next()) {
      const bool testActive = !first || (join && earlierHadElements);
      first = false;
      if (e->type == uint64_t(BezierPathElement::MoveTo) && testActive && e->points[0] == current) continue;
      switch (e->type) {
        case uint64_t(BezierPathElement::MoveTo):
          result->moveToPoint(e->points[0]);
          current = e->points[0];
          break;
        case uint64_t(BezierPathElement::LineTo):
          result->lineToPoint(e->points[0]);
          current = e->points[0];
          break;
        case uint64_t(BezierPathElement::CurveTo):
          result->curveToPoint(e->points[2], e->points[0], e->points[1]);
          current = e->points[2];
          break;
        default:
          result->closePath();
          current = e->points[0];
          break;
      }
    }
    earlierHadElements = true;
  }
  return result;
}

std::shared_ptr<BezierPath> bezierPathWithPoints(const Structure* points, double x, double y, bool curve,
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

}  // namespace vellum
