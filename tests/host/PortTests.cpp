#include <gtest/gtest.h>

#include <cmath>

#include "host/Exception.h"
#include "host/Patch.h"

using namespace vellum;

namespace {
class Probe : public Patch {
 public:
  Probe() {
    inputCount.setMaxIndexValue(10);
    inputAmount.setMinDoubleValue(0.0001);
    inputAmount.setMaxDoubleValue(5);
    inputAmount.setDoubleValue(0.01);
  }
  bool execute(ExecutionContext*, double, const Arguments&) override { return true; }
  NumberPort inputAmount{this, "inputAmount"};
  IndexPort inputCount{this, "inputCount"};
  BooleanPort inputFlag{this, "inputFlag"};
  StringPort inputText{this, "inputText"};
  StructurePort inputList{this, "inputList"};
  NumberPort outputAmount{this, "outputAmount"};
};
}  // namespace

// Values set as a composition sets them (clamped to a maximum, converted to a string, the same
// value again being no update) are the composition tests'.
TEST(PortTest, LimitsClampEveryWayAValueArrives) {
  Probe p;
  EXPECT_EQ(p.inputAmount.doubleValue(), 0.01);
  p.inputAmount.setDoubleValue(-3);
  EXPECT_EQ(p.inputAmount.doubleValue(), 0.0001);
  p.inputCount.setValue(Value(-4));
  EXPECT_EQ(p.inputCount.indexValue(), 0u);
  p.inputCount.setValue(Value(1e300));
  EXPECT_EQ(p.inputCount.indexValue(), 10u);
  p.inputCount.setValue(Value(std::nan("")));
  EXPECT_EQ(p.inputCount.indexValue(), 0u);
  p.inputCount.setValue(Value(7.9));
  EXPECT_EQ(p.inputCount.indexValue(), 7u);
}

TEST(PortTest, WrongKindsAreRefused) {
  Probe p;
  EXPECT_THROW(p.inputAmount.setValue(Value("3")), Exception);
  EXPECT_THROW(p.inputList.setValue(Value(3)), Exception);
  EXPECT_FALSE(p.inputFlag.acceptsValue(Value(Color())));
  EXPECT_TRUE(p.inputText.acceptsValue(Value(3)));
}

TEST(PortTest, WasUpdatedReportsChangesOnly) {
  Probe p;
  // Shared values count as new when a different object arrives, even if equal.
  auto s = std::make_shared<const Structure>(std::vector<Value>{1});
  p.inputList.setStructureValue(s);
  p.inputList.setUpdated(false);
  p.inputList.setStructureValue(s);
  EXPECT_FALSE(p.inputList.wasUpdated());
  p.inputList.setStructureValue(std::make_shared<const Structure>(std::vector<Value>{1}));
  EXPECT_TRUE(p.inputList.wasUpdated());
  p.inputList.setUpdated(false);
  p.inputList.setStructureValue(StructureRef());
  EXPECT_TRUE(p.inputList.value().isNothing());
  EXPECT_TRUE(p.inputList.wasUpdated());
}

TEST(PortTest, RunTimeInputsComeAndGo) {
  Probe p;
  auto* port = p.createInputWithPortClass<NumberPort>("inputExtra");
  EXPECT_EQ(p.portForKey("inputExtra"), port);
  EXPECT_EQ(p.inputPorts().size(), 6u);
  EXPECT_THROW(p.createInputWithPortClass<NumberPort>("inputAmount"), Exception);
  EXPECT_FALSE(p.deleteInputForKey("inputAmount"));  // declared ports stay
  EXPECT_TRUE(p.deleteInputForKey("inputExtra"));
  EXPECT_EQ(p.portForKey("inputExtra"), nullptr);
  EXPECT_EQ(p.inputPorts().size(), 5u);
}

TEST(PortTest, SameClassPortsConnect) {
  Probe a, b;
  EXPECT_TRUE(a.outputAmount.canConnectToPort(b.inputAmount));
  EXPECT_FALSE(a.outputAmount.canConnectToPort(b.inputCount));
  VirtualPort v(nullptr, "inputAny");
  EXPECT_TRUE(v.canConnectToPort(b.inputList));
}

TEST(PatchState, InputValuesSurviveASaveAndLoad) {
  Probe saved;
  saved.inputAmount.setDoubleValue(2.5);
  saved.inputText.setStringValue("hello");
  Structure state = saved.state();

  Probe loaded;
  auto* extra = loaded.createInputWithPortClass<NumberPort>("inputExtra");
  Structure values = *state.memberForKey(Patch::kInputValuesKey).structure();
  values.setMember(Value("not a number"), "inputExtra");  // cannot be held: passed over
  values.setMember(Value(1), "inputGone");                // no such port: passed over
  values.setMember(Value(9), "outputAmount");             // outputs are never restored
  state.setMember(std::make_shared<const Structure>(values), Patch::kInputValuesKey);
  EXPECT_TRUE(loaded.setState(state));
  EXPECT_EQ(loaded.inputAmount.doubleValue(), 2.5);
  EXPECT_EQ(loaded.inputText.stringValue(), "hello");
  EXPECT_EQ(extra->doubleValue(), 0);
  EXPECT_EQ(loaded.outputAmount.doubleValue(), 0);
  EXPECT_TRUE(loaded.setState(Structure()));
}
