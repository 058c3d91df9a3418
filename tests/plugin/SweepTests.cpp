// Every registered patch against bad input: each awkward value on each input port with the other
// ports at ordinary values, then every port awkward at once, then awkward times and saved
// states. No case may crash, run past the watchdog, or grow memory past a bound; outputs
// must be free of NaN whenever every number fed in was finite.
#include <cmath>
#include <limits>

#include "host/Exception.h"
#include "tests/plugin/SweepSupport.h"

namespace vellum::sweep {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
// Resident memory one patch's sweep may reach. The largest legitimate use is a line structure
// made from the million-element path (about 1.6 GB of structures); AddressSanitizer's shadow
// memory and quarantine roughly double that.
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t kMemoryBound = size_t(6) << 30;
#else
constexpr size_t kMemoryBound = size_t(3) << 30;
#endif

StructureRef list(std::vector<Value> members) { return std::make_shared<const Structure>(Structure(std::move(members))); }
StructureRef keyed(std::vector<std::pair<std::string, Value>> members) {
  return std::make_shared<const Structure>(Structure::withMembersAndKeys(std::move(members)));
}
ObjectRef pathValue(const std::shared_ptr<BezierPath>& p) { return p; }

std::shared_ptr<BezierPath> ordinaryPath() {
  auto p = BezierPath::bezierPath();
  p->appendBezierPathWithRoundedRect({{0, 0}, {40, 30}}, 5, 5);
  p->moveToPoint({10, 10});
  p->curveToPoint({30, 12}, {15, 30}, {25, -10});
  p->lineToPoint({12, 20});
  p->closePath();
  return p;
}

std::shared_ptr<BezierPath> pathThrough(std::initializer_list<Point> points, bool close = true) {
  auto p = BezierPath::bezierPath();
  bool first = true;
  for (Point q : points) {
    if (first) p->moveToPoint(q);
    else p->curveToPoint(q, q, {q.y, q.x});
    first = false;
  }
  if (close) p->closePath();
  return p;
}

// A simple polygon of a million line elements (a circle), which every path consumer must
// handle in bounded time and memory.
std::shared_ptr<BezierPath> millionElementPath() {
  auto p = BezierPath::bezierPath();
  const size_t n = 1000000;
  p->moveToPoint({100, 0});
  for (size_t i = 1; i < n - 1; ++i) {
    const double a = 2 * M_PI * double(i) / double(n - 1);
    p->lineToPoint({100 * std::cos(a), 100 * std::sin(a)});
  }
  p->closePath();
  return p;
}

// Values that mean something to each structure consumer (commands, point lists, path entries,
// dash patterns), all with awkward numbers.
StructureRef awkwardBag(double d) {
  auto entry = keyed({{"path", pathValue(pathThrough({{d, 0}, {1, d}, {0, 1}}))}, {"stroke", Color::colorWithRed(d, 0, 1, d)},
                      {"fill", Color::colorWithRed(1, d, 0, 1)}, {"strokefill", d}});
  return list({list({"moveto", d, d}), list({"lineto", d, 1}), list({"curveto", 1, d, d, 2, 3, d}),
               list({"arc", d, d, d, d, d, 1}), list({"rectto", d, d, d, d}), list({"roundedrectto", d, d, d, d, d, d}),
               list({"ovalto", d, 1, d, 2}), list({"arcto", d, 1, 2, d, d}), list({"text", "x", "DejaVuSans", d}),
               list({"close"}), keyed({{"X", d}, {"Y", d}}), list({d, d}), list({d, d, d, d, d, d}), entry, d});
}

std::vector<BadValue> numberValues() {
  return {{"NaN", kNaN, false}, {"+inf", kInf, false}, {"-inf", -kInf, false}, {"+1e308", 1e308, true},
          {"-1e308", -1e308, true}, {"-0", -0.0, true}, {"0", 0.0, true}, {"1e9", 1e9, true}, {"-1e9", -1e9, true},
          {"denormal", std::numeric_limits<double>::denorm_min(), true}, {"string 1e999", std::string("1e999"), false},
          {"huge integer", Value(std::numeric_limits<int64_t>::max()), true}};
}

std::vector<BadValue> indexValues() {
  return {{"0", Value(int64_t{0}), true}, {"2^31", Value(int64_t{1} << 31), true}, {"2^32", Value(int64_t{1} << 32), true},
          {"2^40", Value(int64_t{1} << 40), true}, {"int64 max", Value(std::numeric_limits<int64_t>::max()), true},
          {"-1", Value(int64_t{-1}), true}, {"NaN", kNaN, false}, {"+1e308", 1e308, true}, {"-inf", -kInf, false}};
}

std::vector<BadValue> booleanValues() { return {{"true", true, true}, {"false", false, true}, {"NaN", kNaN, false}}; }

std::vector<BadValue> stringValues() {
  std::string controls;
  for (int c = 1; c < 32; ++c) controls += char(c);
  controls += '\x7f';
  std::string marks = "a";
  for (int i = 0; i < 4000; ++i) marks += "\xcc\x81\xe2\x80\x8b";  // combining acute, zero-width space
  return {{"empty", std::string(), true}, {"control characters", controls, true},
          {"invalid UTF-8", std::string("\xff\xfe\xc0\x80\xed\xa0\x80\xf8\x88\x80\x80\x80 A\xe2\x82"), true},
          {"embedded NUL", std::string("ab\0cd", 5), true}, {"64 KiB", std::string(65536, 'W'), true},
          {"runs of marks", marks, true}, {"nan", std::string("nan"), true}, {"1e999", std::string("1e999"), true},
          {"directory", std::string("/"), true}, {"device", std::string("/dev/zero"), true},
          {"relative", std::string("../../nonexistent/\x01.svg"), true}};
}

std::vector<BadValue> colorValues() {
  return {{"NaN", Color::colorWithRed(kNaN, kNaN, kNaN, kNaN), false}, {"inf", Color::colorWithRed(kInf, -kInf, kInf, kInf), false},
          {"out of range", Color::colorWithRed(-1, 2, 1e308, -1e308), true}, {"transparent", Color::colorWithRed(0, 0, 0, 0), true}};
}

std::vector<BadValue> structureValues() {
  std::vector<Value> many;
  for (int i = 0; i < 100000; ++i) many.push_back(Value(double(i % 7) - 3));
  Value deep = Value(1.0);
  for (int i = 0; i < 200; ++i) deep = Value(list({deep, "x"}));
  return {{"absent", Value(), true}, {"empty", Value(list({})), true},
          {"wrong kinds", Value(list({"moveto", true, Color{}, Point{1, 2}, Value(), Rect{}, "\xff"})), true},
          {"nested wrong kinds", Value(list({list({true, "x"}), list({list({}), Value()}), keyed({{"path", "no"}})})), true},
          {"awkward finite", Value(awkwardBag(1e308)), true}, {"awkward zero", Value(awkwardBag(-0.0)), true},
          {"awkward NaN", Value(awkwardBag(kNaN)), false}, {"awkward inf", Value(awkwardBag(kInf)), false},
          {"huge numbers", Value(list({1e308, std::numeric_limits<int64_t>::max(), -1e308, 4294967296.0})), true},
          {"100 000 numbers", Value(list(many)), true}, {"deeply nested", deep, true}};
}

std::vector<BadValue> pathValues() {
  auto moves = BezierPath::bezierPath();
  for (int i = 0; i < 1000; ++i) moves->moveToPoint({double(i), double(-i)});
  auto dot = BezierPath::bezierPath();
  dot->moveToPoint({5, 5});
  dot->lineToPoint({5, 5});
  dot->closePath();
  return {{"absent", Value(), true}, {"empty", pathValue(BezierPath::bezierPath()), true},
          {"NaN points", pathValue(pathThrough({{kNaN, 0}, {10, kNaN}, {kNaN, kNaN}, {0, 10}})), false},
          {"inf points", pathValue(pathThrough({{kInf, 0}, {10, -kInf}, {0, 10}})), false},
          {"+-1e308 points", pathValue(pathThrough({{1e308, -1e308}, {-1e308, 1e308}, {1e308, 1e308}})), true},
          {"tiny", pathValue(pathThrough({{0, 0}, {1e-300, 0}, {0, 1e-300}})), true}, {"one point", pathValue(dot), true},
          {"1000 moves", pathValue(moves), true}, {"a million elements", pathValue(millionElementPath()), true}};
}

// The ordinary value each port takes while another port is awkward: the port's default, except
// for paths and structures, whose default (nothing) would let most patches return at once.
Value ordinaryValue(const Port& port) {
  const std::string kind = port.portClassName();
  if (kind == "V2DBezierPathPort") return pathValue(ordinaryPath());
  if (kind != "StructurePort") return port.value();
  const std::string& key = port.key();
  if (key == "inputStructure")
    return list({list({"moveto", 1, 2}), list({"lineto", 30, 2}), list({"curveto", 3, 4, 5, 6, 7, 8}), list({"close"})});
  if (key == "inputLines" || key == "inputCurves")
    return list({list({1, 2, 3, 4, 5, 6}), list({10, 0, 12, 3, 14, 5}), list({4, 9, 5, 1, 0, 0})});
  if (key == "inputStrokeDashPattern") return list({4, 2});
  // Path entries for the image patch, plain paths for the grid; each skips the other kind.
  if (key == "inputBezierPaths")
    return list({keyed({{"path", pathValue(ordinaryPath())}, {"stroke", Color::colorWithRed(1, 0, 0, 1)},
                        {"fill", Color::colorWithRed(0, 0, 1, 1)}, {"strokefill", 2}}),
                 pathValue(ordinaryPath()), pathValue(pathThrough({{0, 0}, {50, 10}, {20, 40}}, false))});
  return Value();
}

std::vector<BadValue> valuesFor(const Port& port) {
  const std::string kind = port.portClassName();
  if (kind == "NumberPort") return numberValues();
  if (kind == "IndexPort") return indexValues();
  if (kind == "BooleanPort") return booleanValues();
  if (kind == "StringPort") return stringValues();
  if (kind == "ColorPort") return colorValues();
  if (kind == "StructurePort") return structureValues();
  if (kind == "V2DBezierPathPort") return pathValues();
  return {};
}

std::unique_ptr<Patch> makePatch(const PatchClass& c) {
  auto patch = c.create("sweep");
  // Run-time inputs too (the combining patch makes its path inputs from its saved state).
  if (c.name == "V2DBezierPathCombinePatch")
    patch->setState(Structure::withMembersAndKeys({{"bezierPathsCount", int64_t{3}}}));
  for (Port* port : patch->inputPorts()) {
    try {
      port->setValue(ordinaryValue(*port));
    } catch (const Exception&) {
    }
  }
  return patch;
}

class PatchSweep : public testing::TestWithParam<std::string> {
 protected:
  // Executes and checks the outputs.
  void runCase(Patch& patch, const std::string& label, bool finite, double time = 0) {
    watchdog_.begin(GetParam() + " " + label);
    patch.execute(nullptr, time, {});
    watchdog_.end();
    std::vector<std::string> problems;
    for (const Port* out : patch.outputPorts()) {
      if (finite) findNaN(out->value(), out->key(), problems);
      if (auto image = out->value().image()) {
        EXPECT_LE(image->width(), 16384) << label;
        EXPECT_LE(image->height(), 16384) << label;
      }
    }
    for (const std::string& p : problems) ADD_FAILURE() << GetParam() << " " << label << ": " << p;
    EXPECT_LT(peakResidentBytes(), kMemoryBound) << label;
    ++cases_;
  }

  // Ports refuse what they cannot hold: that refusal is the host's answer, not a failure.
  static bool trySet(Port& port, const Value& value) {
    try {
      port.setValue(value);
      return true;
    } catch (const Exception&) {
      return false;
    }
  }

  void TearDown() override { printf("[ sweep    ] %s: %zu executions\n", GetParam().c_str(), cases_); }

  Watchdog watchdog_{std::chrono::seconds(60)};
  size_t cases_ = 0;
};

TEST_P(PatchSweep, EachAwkwardValueOnEachInputPort) {
  const PatchClass& c = classNamed(GetParam());
  auto probe = makePatch(c);
  ASSERT_FALSE(probe->inputPorts().empty());
  for (size_t p = 0; p < probe->inputPorts().size(); ++p) {
    const std::string key = probe->inputPorts()[p]->key();
    for (const BadValue& bad : valuesFor(*probe->inputPorts()[p])) {
      auto patch = makePatch(c);
      Port* port = patch->portForKey(key);
      ASSERT_NE(port, nullptr) << key;
      if (!trySet(*port, bad.value)) continue;
      runCase(*patch, key + " = " + bad.label, bad.finite);
      // A second execution with the value still there (patches that remember their last
      // output must not trip over it), then back to an ordinary value.
      runCase(*patch, key + " = " + bad.label + " (again)", bad.finite);
      trySet(*port, ordinaryValue(*port));
      runCase(*patch, key + " restored after " + bad.label, bad.finite);
    }
  }
  EXPECT_GT(cases_, 0u);
}

TEST_P(PatchSweep, EveryInputPortAwkwardAtOnce) {
  const PatchClass& c = classNamed(GetParam());
  // The n-th awkward value of each port's kind, for a few n (lists are cycled).
  for (size_t n = 0; n < 12; ++n) {
    auto patch = makePatch(c);
    bool finite = true;
    std::string label = "all awkward #" + std::to_string(n);
    for (Port* port : patch->inputPorts()) {
      auto values = valuesFor(*port);
      if (values.empty()) continue;
      const BadValue& bad = values[(n * 7 + port->key().size()) % values.size()];
      // The million-element path is swept port by port; together with other large values it
      // would only measure the machine.
      if (bad.label == "a million elements") continue;
      if (trySet(*port, bad.value)) finite = finite && bad.finite;
    }
    runCase(*patch, label, finite);
  }
}

TEST_P(PatchSweep, AwkwardTimes) {
  const PatchClass& c = classNamed(GetParam());
  for (double time : {kNaN, kInf, -kInf, 1e308, -1e308, -0.0}) {
    auto patch = makePatch(c);
    runCase(*patch, "time " + std::to_string(time), false, time);
    runCase(*patch, "time " + std::to_string(time) + " (again)", false, time);
  }
}

TEST_P(PatchSweep, AwkwardSavedStates) {
  const PatchClass& c = classNamed(GetParam());
  auto patch = makePatch(c);
  const Structure baseline = patch->state();
  std::vector<Structure> states = {Structure(), Structure(std::vector<Value>{1, "x", Value()})};
  for (const Value& count : {Value(kNaN), Value(1e308), Value(-5), Value(std::numeric_limits<int64_t>::max()),
                             Value("1e9"), Value(list({}))})
    states.push_back(Structure::withMembersAndKeys(
        {{"bezierPathsCount", count}, {Patch::kInputValuesKey, Value(keyed({{"inputX", kNaN}, {"nonexistent", 1}}))}}));
  for (const Structure& state : states) {
    patch->setState(state);
    EXPECT_LE(patch->inputPorts().size(), size_t(4096 + 16)) << "ports made from a saved state";
    runCase(*patch, "after an awkward saved state", false);
  }
  patch->setState(baseline);
  runCase(*patch, "baseline state", true);
}

INSTANTIATE_TEST_SUITE_P(AllPatches, PatchSweep, testing::ValuesIn(classNames()),
                         [](const testing::TestParamInfo<std::string>& info) { return info.param; });

TEST(Sweep, KnowsEveryInputPortKind) {
  // A port of a kind the sweep has no values for would silently go unswept.
  for (const PatchClass* c : patchClasses()) {
    auto patch = makePatch(*c);
    for (const Port* port : patch->inputPorts())
      EXPECT_FALSE(valuesFor(*port).empty()) << c->name << "." << port->key() << " (" << port->portClassName() << ")";
  }
}

}  // namespace
}  // namespace vellum::sweep
