// Inputs set by port key, the way a composition file or a connection sets them: converted and
// clamped by the port.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "host/Patch.h"

namespace vellum::testing {

using Inputs = std::vector<std::pair<const char*, Value>>;

inline void setInputs(Patch& patch, const Inputs& inputs) {
  for (const auto& [key, value] : inputs) {
    Port* port = patch.portForKey(key);
    ASSERT_TRUE(port && port->isInput()) << key;
    port->setValue(value);
  }
}

// A shared object (a path) as an input value.
template <class T>
Value objectValue(std::shared_ptr<T> object) {
  return Value(ObjectRef(std::move(object)));
}

}  // namespace vellum::testing
