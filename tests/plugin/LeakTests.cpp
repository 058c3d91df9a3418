// Every patch executed 10 000 times with inputs that change on every execution. Under the
// sanitizers LeakSanitizer checks at exit that nothing was lost; in a plain build the heap in
// use after the loop must not have grown beyond what the first thousand executions settled at.
#include <malloc.h>

#include "tests/plugin/SweepSupport.h"

namespace vellum::sweep {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPlainHeap = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kPlainHeap = false;
#else
constexpr bool kPlainHeap = true;
#endif
#else
constexpr bool kPlainHeap = true;
#endif

constexpr int kExecutions = 10000;

StructureRef list(std::vector<Value> members) { return std::make_shared<const Structure>(Structure(std::move(members))); }

// The i-th input for a port: small, cheap, different from the previous one.
Value varied(const Port& port, int i) {
  const std::string kind = port.portClassName();
  const double d = double(i % 13) - 4;
  if (kind == "NumberPort") return i % 97 == 0 ? Value(std::numeric_limits<double>::quiet_NaN()) : Value(d * 0.75);
  if (kind == "IndexPort") return Value(int64_t(i % 5));
  if (kind == "BooleanPort") return Value(i % 2 == 0);
  if (kind == "StringPort") return Value(i % 3 == 0 ? std::string("DejaVuSans") : "ab" + std::to_string(i % 11));
  if (kind == "ColorPort") return Value(Color::colorWithRed(0.1 * (i % 10), 0.5, 1, 1));
  if (kind == "V2DBezierPathPort") {
    if (i % 17 == 0) return Value();
    auto p = BezierPath::bezierPath();
    p->appendBezierPathWithRoundedRect({{d, 0}, {10 + d, 8}}, 2, 1);
    if (i % 2) p->curveToPoint({d, 3}, {1, 2}, {4, d});
    return ObjectRef(p);
  }
  if (kind == "StructurePort") {
    const std::string& key = port.key();
    if (key == "inputStructure")
      return list({list({"moveto", d, 1}), list({"lineto", 5, d}), list({i % 4 ? "close" : "text", "hi", "DejaVuSans", 8})});
    if (key == "inputBezierPaths") {
      auto p = BezierPath::bezierPath();
      p->appendBezierPathWithOvalInRect({{0, 0}, {6 + d, 4}});
      // A path entry (the image patch reads those) and plain paths (the grid reads those).
      return list({std::make_shared<const Structure>(Structure::withMembersAndKeys(
                       {{"path", ObjectRef(p)}, {"stroke", Color::colorWithRed(1, 0, 0, 1)}, {"strokefill", int64_t(i % 3)}})),
                   ObjectRef(p), ObjectRef(BezierPath::bezierPathWithRect({{d, 1}, {5, 5}}))});
    }
    return list({list({d, 1, 2, d, 4, 5}), list({3, d, 1, 1, 0, d}), "x"});
  }
  return port.value();
}

// Keeps images small so that ten thousand of them stay quick.
void limitSizes(Patch& patch) {
  for (const char* key : {"inputWidth", "inputHeight"}) {
    Port* port = patch.portForKey(key);
    if (port && port->portClassName() == "IndexPort") port->setValue(Value(int64_t{16}));
  }
}

class LeakLoop : public testing::TestWithParam<std::string> {};

TEST_P(LeakLoop, TenThousandExecutionsWithChangingInputs) {
  const PatchClass& c = classNamed(GetParam());
  auto patch = c.create("leaks");
  if (c.name == "V2DBezierPathCombinePatch")
    patch->setState(Structure::withMembersAndKeys({{"bezierPathsCount", int64_t{2}}}));
  size_t inUseAfterWarmUp = 0;
  int produced = 0;
  for (int i = 0; i < kExecutions; ++i) {
    for (Port* port : patch->inputPorts()) {
      // One port changes per execution, in turn, so every port's change is seen.
      if (i > 0 && port != patch->inputPorts()[size_t(i) % patch->inputPorts().size()]) continue;
      try {
        port->setValue(varied(*port, i));
      } catch (const Exception&) {
      }
    }
    limitSizes(*patch);
    patch->execute(nullptr, 0.01 * i, {});
    for (const Port* out : patch->outputPorts())
      if (!out->value().isNothing()) ++produced;
    if (i == 999) inUseAfterWarmUp = mallinfo2().uordblks;
  }
  // Every patch gives some output for these inputs at least once.
  EXPECT_GT(produced, 0);
  if (kPlainHeap) {
    const size_t inUse = mallinfo2().uordblks;
    EXPECT_LT(inUse, inUseAfterWarmUp + (size_t(1) << 20))
        << "heap in use grew from " << inUseAfterWarmUp << " to " << inUse << " bytes over 9000 executions";
  }
}

INSTANTIATE_TEST_SUITE_P(AllPatches, LeakLoop, testing::ValuesIn(classNames()),
                         [](const testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
}  // namespace vellum::sweep
