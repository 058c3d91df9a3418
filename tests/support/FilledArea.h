// The area a set of segments encloses under a winding rule, computed independently of any
// triangulation: the plane is cut into horizontal slabs at every endpoint and crossing, inside
// which no two segments meet, so the inside is a set of trapezoids whose area is their width
// at mid-height times the slab's height. Quadratic in the number of segments: for tests.
#pragma once

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace vellum::test {

struct Segment {
  double x0, y0, x1, y1;
};

inline double filledArea(const std::vector<Segment>& segments, bool evenOdd) {
  std::vector<double> ys;
  for (const Segment& s : segments) ys.push_back(s.y0), ys.push_back(s.y1);
  for (size_t i = 0; i < segments.size(); ++i)
    for (size_t j = i + 1; j < segments.size(); ++j) {
      const Segment &a = segments[i], &b = segments[j];
      const double dax = a.x1 - a.x0, day = a.y1 - a.y0, dbx = b.x1 - b.x0, dby = b.y1 - b.y0;
      const double den = dax * dby - day * dbx;
      if (den == 0) continue;
      const double t = ((b.x0 - a.x0) * dby - (b.y0 - a.y0) * dbx) / den;
      const double u = ((b.x0 - a.x0) * day - (b.y0 - a.y0) * dax) / den;
      if (t > 0 && t < 1 && u > 0 && u < 1) ys.push_back(a.y0 + t * day);
    }
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  double area = 0;
  std::vector<std::pair<double, int>> cuts;
  for (size_t k = 0; k + 1 < ys.size(); ++k) {
    const double y = 0.5 * (ys[k] + ys[k + 1]);
    cuts.clear();
    for (const Segment& s : segments) {
      if ((s.y0 < y) == (s.y1 < y)) continue;
      cuts.push_back({s.x0 + (y - s.y0) / (s.y1 - s.y0) * (s.x1 - s.x0), s.y1 > s.y0 ? 1 : -1});
    }
    std::sort(cuts.begin(), cuts.end());
    int winding = 0;
    double width = 0;
    for (size_t i = 0; i + 1 < cuts.size(); ++i) {
      winding += cuts[i].second;
      if (evenOdd ? (winding & 1) != 0 : winding != 0) width += cuts[i + 1].first - cuts[i].first;
    }
    area += width * (ys[k + 1] - ys[k]);
  }
  return area;
}

}  // namespace vellum::test
