#include "path/V2DBezierPathPort.h"

#include <typeinfo>

namespace vellum {

bool V2DBezierPathPort::acceptValuesOfClass(const Port& portOfClass) {
  return dynamic_cast<const V2DBezierPathPort*>(&portOfClass) != nullptr;
}

bool V2DBezierPathPort::canConnectToPort(const Port& other) const {
  const Port* p = &other;
  // A proxy chain could loop in a malformed graph; a chain longer than this cannot be real.
  for (int hops = 0; hops < 1024; ++hops) {
    auto proxy = dynamic_cast<const ProxyPort*>(p);
    if (!proxy) break;
    if (!proxy->originalPort()) return false;
    p = proxy->originalPort();
  }
  if (dynamic_cast<const ProxyPort*>(p)) return false;
  if (dynamic_cast<const V2DBezierPathPort*>(p)) return true;
  // Exactly the untyped virtual port or the multiplexer's, not other subclasses.
  return typeid(*p) == typeid(VirtualPort) || typeid(*p) == typeid(MultiplexerVirtualPort);
}

bool V2DBezierPathPort::acceptsObject(const Object& object) const { return dynamic_cast<const BezierPath*>(&object) != nullptr; }

ObjectRef V2DBezierPathPort::objectFromRepresentation(const Value& representation) const {
  return BezierPath::fromRepresentation(representation);
}

}  // namespace vellum
