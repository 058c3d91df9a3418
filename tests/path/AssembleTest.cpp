// Several paths joined into one.
#include "path/Assemble.h"

#include <gtest/gtest.h>

#include <tuple>

#include "tests/support/PathElements.h"

using namespace vellum;
using namespace vellum::testing;

// With join on, a move to the current point continues the subpath; any other move stays, and
// within one input such a move is dropped either way.
TEST(Combine, JoinedAndSeparateSubpaths) {
  // Join, the first and second inputs, the output.
  const std::vector<std::tuple<bool, std::vector<El>, std::vector<El>, std::vector<El>>> rows = {
      {true, {M(0, 0), L(1, 0)}, {M(1, 0), L(1, 1)}, {M(0, 0), L(1, 0), L(1, 1)}},
      {false, {M(0, 0), L(1, 0)}, {M(1, 0), L(1, 1)}, {M(0, 0), L(1, 0), M(1, 0), L(1, 1)}},
      {true, {M(0, 0), L(1, 0)}, {M(1, 1e-12), L(1, 1)}, {M(0, 0), L(1, 0), M(1, 1e-12), L(1, 1)}},
      // An empty first input keeps the first move, to the origin.
      {true, {}, {M(0, 0), L(1, 1)}, {M(0, 0), L(1, 1)}},
      {false, {M(0, 0), L(1, 0), M(1, 0), L(2, 0)}, {}, {M(0, 0), L(1, 0), L(2, 0)}},
      {true, {M(0, 0), L(1, 0), M(1, 0), L(2, 0)}, {}, {M(0, 0), L(1, 0), L(2, 0)}},
      // Curves and closes are copied; after the close the current point is the subpath's start.
      {true, {M(2, 2), C({3, 4}, {5, 6}, {7, 8}), Z()}, {M(2, 2), L(0, 0)},
       {M(2, 2), C({3, 4}, {5, 6}, {7, 8}), Z(), L(0, 0)}},
  };
  for (const auto& [join, first, second, expected] : rows) {
    // An empty second path is left absent: absent paths contribute nothing either.
    const BezierPathRef paths[] = {pathOf(first), second.empty() ? nullptr : pathOf(second)};
    expectElements(*combineBezierPaths(paths, join), expected);
  }
}

