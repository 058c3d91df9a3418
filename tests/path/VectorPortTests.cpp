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

TEST(VectorPort, ConnectsToVectorPortsThroughProxyChains) {
  Node a, b;
  EXPECT_TRUE(a.outputBezierPath.canConnectToPort(b.inputBezierPath));
  DerivedVectorPort derived(nullptr, "inputDerived");
  EXPECT_TRUE(a.outputBezierPath.canConnectToPort(derived));

  ProxyPort inner(nullptr, "inputInner", &b.inputBezierPath);
  ProxyPort outer(nullptr, "inputOuter", &inner);
  EXPECT_TRUE(a.outputBezierPath.canConnectToPort(outer));
  ProxyPort toNumber(nullptr, "inputToNumber", &b.inputNumber);
  EXPECT_FALSE(a.outputBezierPath.canConnectToPort(toNumber));
  ProxyPort dangling(nullptr, "inputDangling", nullptr);
  EXPECT_FALSE(a.outputBezierPath.canConnectToPort(dangling));
}

TEST(VectorPort, ConnectsToUntypedVirtualPortsOnly) {
  Node a, b;
  VirtualPort any(nullptr, "inputAny");
  MultiplexerVirtualPort mux(nullptr, "inputMux");
  DerivedVirtualPort derived(nullptr, "inputDerived");
  EXPECT_TRUE(a.outputBezierPath.canConnectToPort(any));
  EXPECT_TRUE(a.outputBezierPath.canConnectToPort(mux));
  EXPECT_FALSE(a.outputBezierPath.canConnectToPort(derived));
  EXPECT_FALSE(a.outputBezierPath.canConnectToPort(b.inputNumber));
  EXPECT_FALSE(a.outputBezierPath.canConnectToPort(b.inputObject));
}

TEST(VectorPort, ClassAnswers) {
  Node a;
  EXPECT_EQ(V2DBezierPathPort::baseClass(), "V2DBezierPathPort");
  EXPECT_EQ(a.inputBezierPath.objectClass(), "BezierPath");
  EXPECT_EQ(a.inputBezierPath.valueClass(), "BezierPath");
  DerivedVectorPort derived(nullptr, "inputDerived");
  EXPECT_TRUE(V2DBezierPathPort::acceptValuesOfClass(derived));
  EXPECT_FALSE(V2DBezierPathPort::acceptValuesOfClass(a.inputObject));
}

TEST(VectorPort, CarriesThePathItselfAndNothingElse) {
  Node a;
  EXPECT_EQ(a.inputBezierPath.bezierPathValue(), nullptr);
  auto path = std::make_shared<BezierPath>();
  path->moveToPoint({1, 2});
  a.inputBezierPath.setBezierPathValue(path);
  EXPECT_EQ(a.inputBezierPath.bezierPathValue().get(), path.get());  // no copy
  a.inputBezierPath.setBezierPathValue(nullptr);
  EXPECT_EQ(a.inputBezierPath.bezierPathValue(), nullptr);
  EXPECT_THROW(a.inputBezierPath.setValue(Value(3)), Exception);
}

TEST(VectorPort, BuildsAPathFromItsRepresentation) {
  Node a;
  auto path = std::make_shared<BezierPath>();
  path->moveToPoint({1, 2});
  path->curveToPoint({7, 8}, {3, 4}, {5, 6});
  path->closePath();
  a.inputBezierPath.setValue(path->representation());
  auto back = a.inputBezierPath.bezierPathValue();
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->isEqualToBezierPath(*path));
  EXPECT_THROW(a.inputBezierPath.setValue(Value(std::vector<Value>{1, 2})), Exception);
}
