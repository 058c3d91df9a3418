// Every registered patch on inputs drawn from the fuzz bytes, up to three in a row, each taking
// the path and structure the one before it made where it has a port for them. No input may
// crash, hang or exhaust memory; when every number fed in is finite, no output may hold NaN.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "host/Exception.h"
#include "host/NodeManager.h"
#include "host/Patch.h"
#include "path/BezierPath.h"
#include "plugin/Vellum2DPrincipal.h"
#include "tests/support/OutputChecks.h"

using namespace vellum;

namespace {

struct Inputs {
  FuzzedDataProvider& in;
  // Every number drawn is finite and moderate: NaN from overflow (1e308 scaled up, then
  // rotated) is arithmetic, not a fault.
  bool finite;
  ObjectRef lastPath;
  StructureRef lastStructure;

  double number() { return finite ? std::clamp(fuzz::finiteNumber(in), -1e6, 1e6) : fuzz::number(in); }

  ObjectRef path() {
    auto p = BezierPath::bezierPath();
    p->setWindingRule(in.ConsumeIntegralInRange<int>(0, 1));
    const size_t n = in.ConsumeIntegralInRange<size_t>(0, 24);
    for (size_t i = 0; i < n && in.remaining_bytes(); ++i) {
      const Point a{number(), number()};
      switch (in.ConsumeIntegralInRange<int>(0, 5)) {
        case 0: p->moveToPoint(a); break;
        case 1:
        case 2: p->lineToPoint(a); break;
        case 3: p->curveToPoint(a, {number(), number()}, {number(), number()}); break;
        case 4: p->closePath(); break;
        default: p->appendBezierPathWithOvalInRect({a, {number(), number()}}); break;
      }
    }
    return p;
  }

  std::string string(const std::string& key) {
    static const char* const fonts[] = {"DejaVuSans", "DejaVuSerif-Bold", "LiberationSerif-Italic", "NoSuchFont", ""};
    if (key == "inputFontName") return in.ConsumeBool() ? fonts[in.ConsumeIntegralInRange<size_t>(0, 4)] : fuzz::shortString(in);
    // Never a file of this machine's: the SVG reader has a harness of its own.
    if (key == "inputFile") return "/nonexistent/" + fuzz::shortString(in);
    return fuzz::shortString(in, 24);
  }

  Value valueFor(const Port& port) {
    const std::string kind = port.portClassName(), &key = port.key();
    if (kind == "NumberPort") return Value(number());
    if (kind == "IndexPort") {
      // Image sides stay small; other counts may be anything, which the patches must bound.
      if (key == "inputWidth" || key == "inputHeight") return Value(int64_t(in.ConsumeIntegralInRange<int>(0, 64)));
      return Value(in.ConsumeIntegralInRange<int>(0, 7) == 0 ? int64_t(in.ConsumeIntegral<int32_t>())
                                                              : int64_t(in.ConsumeIntegralInRange<int>(0, 40)));
    }
    if (kind == "BooleanPort") return Value(in.ConsumeBool());
    if (kind == "StringPort") return Value(string(key));
    if (kind == "ColorPort") return Value(Color::colorWithRed(number(), number(), number(), number()));
    if (kind == "V2DBezierPathPort") {
      if (lastPath && in.ConsumeBool()) return lastPath;
      return in.ConsumeIntegralInRange<int>(0, 9) == 0 ? Value() : Value(path());
    }
    if (kind == "StructurePort") {
      if (lastStructure && in.ConsumeBool()) return lastStructure;
      if (in.ConsumeBool()) {
        // A list of paths, as the drawing and grid patches take.
        std::vector<Value> paths;
        for (size_t i = in.ConsumeIntegralInRange<size_t>(0, 3); i > 0; --i) paths.push_back(path());
        return Value(paths);
      }
      return finite ? Value(number()) : fuzz::value(in, 3);
    }
    return port.value();
  }
};

// With FUZZ_SHOW set, each input as it is set: to read back what a saved input feeds.
void print(const std::string& patch, const Port& port, const Value& v) {
  std::fprintf(stderr, "%s.%s kind=%d", patch.c_str(), port.key().c_str(), int(v.kind()));
  if (v.isNumber()) std::fprintf(stderr, " %.17g", v.doubleValue());
  if (v.kind() == Value::Kind::String)
    for (unsigned char ch : v.stringValue()) std::fprintf(stderr, " %02x", ch);
  if (auto p = v.objectAs<BezierPath>())
    for (size_t i = 0; i < p->elementCount(); ++i)
      for (const Point& q : p->associatedPoints(i)) std::fprintf(stderr, " (%g,%g)", q.x, q.y);
  std::fprintf(stderr, "\n");
}

void check(const Patch& patch, bool finite) {
  for (const Port* out : patch.outputPorts()) {
    std::vector<std::string> problems;
    if (finite) sweep::findNaN(out->value(), out->key(), problems);
    if (auto image = out->value().image(); image && (image->width() > 16384 || image->height() > 16384))
      problems.push_back(out->key() + ": image too large");
    for (const std::string& p : problems) {
      std::fprintf(stderr, "%s %s\n", patch.identifier().c_str(), p.c_str());
      std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::loadFontConfiguration();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const auto& classes = patchClasses();
  static const bool show = std::getenv("FUZZ_SHOW") != nullptr;
  Inputs inputs{in, in.ConsumeBool(), nullptr, nullptr};
  const int stages = in.ConsumeIntegralInRange<int>(1, 3);
  for (int stage = 0; stage < stages && in.remaining_bytes(); ++stage) {
    const PatchClass& c = *classes[in.ConsumeIntegralInRange<size_t>(0, classes.size() - 1)];
    auto patch = c.create(c.name);
    if (c.name == "V2DBezierPathCombinePatch")
      patch->setState(Structure::withMembersAndKeys({{"bezierPathsCount", int64_t(in.ConsumeIntegralInRange<int>(0, 4))}}));
    for (Port* port : patch->inputPorts()) {
      try {
        const Value v = inputs.valueFor(*port);
        if (show) print(c.name, *port, v);
        port->setValue(v);
      } catch (const Exception&) {
        // A port refusing a value is the host's answer.
      }
    }
    patch->execute(nullptr, inputs.number(), {});
    check(*patch, inputs.finite);
    for (const Port* out : patch->outputPorts()) {
      if (auto path = out->value().objectAs<BezierPath>()) inputs.lastPath = path;
      if (auto s = out->value().structure()) inputs.lastStructure = s;
    }
  }
  return 0;
}
