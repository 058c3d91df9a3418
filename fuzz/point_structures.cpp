// "Vellum Vector With Line Structure" and "Vellum Vector With Curve Structure" on point lists
// built from the fuzz bytes: keyed and indexed entries, wrong member kinds, short entries.
#include <cstdint>

#include "fuzz/FuzzSupport.h"
#include "patches/sources/V2DBezierPathWithPointStructurePatches.h"

using namespace vellum;

namespace {

Value entry(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 4)) {
    case 0: return fuzz::value(in, 2);
    case 1: {
      Structure s = Structure::withMembersAndKeys({{"X", fuzz::value(in, 0)}, {"Y", fuzz::value(in, 0)}});
      if (in.ConsumeBool()) s.addMember(fuzz::value(in, 0), std::string(in.ConsumeBool() ? "Z" : "X"));
      return Value(std::make_shared<const Structure>(std::move(s)));
    }
    default: {
      std::vector<Value> members;
      const size_t n = in.ConsumeIntegralInRange<size_t>(0, 7);
      for (size_t i = 0; i < n; ++i)
        members.push_back(in.ConsumeIntegralInRange<int>(0, 7) == 0 ? fuzz::value(in, 1) : Value(fuzz::number(in)));
      return Value(std::make_shared<const Structure>(Structure(std::move(members))));
    }
  }
}

void check(const Port& output) {
  auto path = output.value().objectAs<BezierPath>();
  if (!path) return;
  (void)path->bounds();
  (void)path->bezierPathByFlatteningPath();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const double x = fuzz::number(in), y = fuzz::number(in);
  const uint64_t type = in.ConsumeIntegralInRange<uint64_t>(0, 3);
  const bool relative = in.ConsumeBool();
  Structure points;
  const size_t n = in.ConsumeIntegralInRange<size_t>(0, 64);
  for (size_t i = 0; i < n && in.remaining_bytes(); ++i) points.addMember(entry(in));
  auto list = std::make_shared<const Structure>(std::move(points));

  V2DBezierPathWithLineStructurePatch lines("lines");
  lines.inputX.setValue(x);
  lines.inputY.setValue(y);
  lines.inputType.setValue(Value(int64_t(type)));
  lines.inputRelative.setValue(relative);
  lines.inputLines.setValue(Value(list));
  lines.execute(nullptr, 0, {});
  check(lines.outputBezierPath);

  V2DBezierPathWithCurveStructurePatch curves("curves");
  curves.inputX.setValue(x);
  curves.inputY.setValue(y);
  curves.inputRelative.setValue(relative);
  curves.inputCurves.setValue(Value(list));
  curves.execute(nullptr, 0, {});
  check(curves.outputBezierPath);
  return 0;
}
