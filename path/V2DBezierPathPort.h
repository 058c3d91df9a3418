// The vector port: carries one path (or nothing) from patch to patch, by reference.
#pragma once

#include <memory>

#include "host/Port.h"
#include "path/BezierPath.h"

namespace vellum {

class V2DBezierPathPort : public ObjectPort {
 public:
  using ObjectPort::ObjectPort;

  static std::string baseClass() { return "V2DBezierPathPort"; }
  std::string portClassName() const override { return "V2DBezierPathPort"; }
  std::string objectClass() const { return "BezierPath"; }
  std::string valueClass() const { return "BezierPath"; }
  // YES for a vector port or any port derived from it.
  static bool acceptValuesOfClass(const Port& portOfClass);

  void setBezierPathValue(std::shared_ptr<const BezierPath> path) { setRawValue(std::move(path)); }
  std::shared_ptr<const BezierPath> bezierPathValue() const { return std::dynamic_pointer_cast<const BezierPath>(rawValue()); }

  // Other vector ports (through any chain of proxies) and the host's untyped virtual ports.
  bool canConnectToPort(const Port& other) const override;

 protected:
  bool acceptsObject(const Object& object) const override;
  ObjectRef objectFromRepresentation(const Value& representation) const override;
};

// Every flatness input of the patches: at least 0.0001 (the finest flattening honoured), 0.01
// unless set.
inline void setUpFlatnessPort(NumberPort& port) {
  port.setMinDoubleValue(0.0001);
  port.setDoubleValue(0.01);
}

}  // namespace vellum
