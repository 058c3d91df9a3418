#include <gtest/gtest.h>

#include "host/Exception.h"
#include "host/Patch.h"
#include "path/V2DBezierPathPort.h"

using namespace vellum;

namespace {
class Node : public Patch {
 public:
  bool execute(ExecutionContext*, double, const Arguments&) override { return true; }
  V2DBezierPathPort inputBezierPath{this, "inputBezierPath"};
  V2DBezierPathPort outputBezierPath{this, "outputBezierPath"};
  NumberPort inputNumber{this, "inputNumber"};
  ObjectPort inputObject{this, "inputObject"};
};

class DerivedVectorPort : public V2DBezierPathPort {
  using V2DBezierPathPort::V2DBezierPathPort;
};
class DerivedVirtualPort : public VirtualPort {
  using VirtualPort::VirtualPort;
};
}  // namespace

// Vector ports, through any chain of proxies, and untyped virtual ports; nothing else.
TEST(VectorPort, ConnectsToVectorAndUntypedVirtualPortsOnly) {
  Node a, b;
  DerivedVectorPort derived(nullptr, "inputDerived");
  ProxyPort inner(nullptr, "inputInner", &b.inputBezierPath);
  ProxyPort outer(nullptr, "inputOuter", &inner);
  ProxyPort toNumber(nullptr, "inputToNumber", &b.inputNumber);
  ProxyPort dangling(nullptr, "inputDangling", nullptr);
  VirtualPort any(nullptr, "inputAny");
  MultiplexerVirtualPort mux(nullptr, "inputMux");
  DerivedVirtualPort derivedVirtual(nullptr, "inputDerivedVirtual");
  const std::pair<Port*, bool> rows[] = {{&b.inputBezierPath, true}, {&derived, true},       {&outer, true},
                                         {&toNumber, false},         {&dangling, false},     {&any, true},
                                         {&mux, true},               {&derivedVirtual, false}, {&b.inputNumber, false},
                                         {&b.inputObject, false}};
  for (const auto& [port, connects] : rows)
    EXPECT_EQ(a.outputBezierPath.canConnectToPort(*port), connects) << port->key();
  EXPECT_TRUE(V2DBezierPathPort::acceptValuesOfClass(derived));
  EXPECT_FALSE(V2DBezierPathPort::acceptValuesOfClass(a.inputObject));
}

// A path value is the path itself, not a copy; its representation builds an equal path;
// anything else is refused.
TEST(VectorPort, CarriesThePathItselfOrBuildsItFromItsRepresentation) {
  Node a;
  auto path = std::make_shared<BezierPath>(*BezierPath::bezierPathWithOvalInRect({{1, 2}, {3, 4}}));
  a.inputBezierPath.setBezierPathValue(path);
  EXPECT_EQ(a.inputBezierPath.bezierPathValue().get(), path.get());
  a.inputBezierPath.setValue(path->representation());
  ASSERT_TRUE(a.inputBezierPath.bezierPathValue());
  EXPECT_TRUE(a.inputBezierPath.bezierPathValue()->isEqualToBezierPath(*path));
  EXPECT_THROW(a.inputBezierPath.setValue(Value(3)), Exception);
  EXPECT_THROW(a.inputBezierPath.setValue(Value(std::vector<Value>{1, 2})), Exception);
}
