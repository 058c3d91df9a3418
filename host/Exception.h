// The project's one exception type: platform-style errors (a drawing operation on a path
// with no current point, a bad argument to a host operation).
#pragma once

#include <stdexcept>
#include <string>

namespace vellum {

class Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace vellum
