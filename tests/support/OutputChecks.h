// Checks any output value must pass, for the sweep tests and the patch fuzzer: no NaN anywhere
// in it, and images whose size matches their bytes.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "host/Image.h"
#include "host/Structure.h"
#include "host/Value.h"
#include "path/BezierPath.h"

namespace vellum::sweep {

// Appends to `problems` every NaN found in the value (numbers, geometry, nested structures,
// paths) and every image whose size and bytes disagree.
inline void findNaN(const Value& v, const std::string& where, std::vector<std::string>& problems, int depth = 0) {
  auto nan = [&](double d, const char* what) {
    if (std::isnan(d)) problems.push_back(where + ": NaN " + what);
  };
  if (depth > 64) return;
  switch (v.kind()) {
    case Value::Kind::Double: nan(v.doubleValue(), "number"); break;
    case Value::Kind::Point: nan(v.point()->x, "point"), nan(v.point()->y, "point"); break;
    case Value::Kind::Size: nan(v.size()->width, "size"), nan(v.size()->height, "size"); break;
    case Value::Kind::Rect:
      nan(v.rect()->origin.x, "rect"), nan(v.rect()->origin.y, "rect");
      nan(v.rect()->size.width, "rect"), nan(v.rect()->size.height, "rect");
      break;
    case Value::Kind::Color:
      for (double c : {v.color()->red, v.color()->green, v.color()->blue, v.color()->alpha}) nan(c, "colour");
      break;
    case Value::Kind::Vector3:
      for (float c : {v.vector3()->x, v.vector3()->y, v.vector3()->z}) nan(c, "vector");
      break;
    case Value::Kind::Structure: {
      size_t i = 0;
      for (const auto& m : *v.structure()) {
        // Meshes are long: their first and last entries tell as much as all of them.
        if (i < 4096 || i + 4096 >= v.structure()->count()) findNaN(m.value, where, problems, depth + 1);
        ++i;
      }
      break;
    }
    case Value::Kind::Image: {
      const Image& image = *v.image();
      if (image.width() < 0 || image.height() < 0 ||
          image.data().size() != size_t(image.width()) * size_t(image.height()) * 4)
        problems.push_back(where + ": image size and bytes disagree");
      break;
    }
    case Value::Kind::Object:
      if (auto path = v.objectAs<BezierPath>()) {
        for (size_t i = 0; i < path->elementCount(); ++i)
          for (const Point& p : path->associatedPoints(i))
            if (std::isnan(p.x) || std::isnan(p.y)) {
              problems.push_back(where + ": NaN in path element " + std::to_string(i));
              return;
            }
      }
      break;
    default: break;
  }
}

}  // namespace vellum::sweep
