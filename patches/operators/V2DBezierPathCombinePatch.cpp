#include "patches/operators/V2DBezierPathCombinePatch.h"

#include <algorithm>

#include "path/Assemble.h"

namespace vellum {

namespace {
std::string inputKey(size_t number) { return "Vector " + std::to_string(number); }
}  // namespace

V2DBezierPathCombinePatch::V2DBezierPathCombinePatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Vector Combine", "name");
  bezierPaths.reserve(2);
  addBezierPath();
  addBezierPath();
}

void V2DBezierPathCombinePatch::addBezierPath() {
  bezierPaths.push_back(createInputWithPortClass<V2DBezierPathPort>(inputKey(bezierPaths.size() + 1)));
}

void V2DBezierPathCombinePatch::removeBezierPath() {
  if (bezierPaths.empty()) return;
  deleteInputForKey(inputKey(bezierPaths.size()));
  bezierPaths.pop_back();
}

Structure V2DBezierPathCombinePatch::state() const {
  Structure s = Patch::state();
  s.setMember(static_cast<int64_t>(bezierPaths.size()), kCountKey);
  return s;
}

bool V2DBezierPathCombinePatch::setState(const Structure& state) {
  while (!bezierPaths.empty()) removeBezierPath();
  const Value& saved = state.memberForKey(kCountKey);
  // Counts read as integers; strings and fractions truncate as the host reads them.
  const int64_t count = saved.isNothing() ? 0 : std::min(saved.integerValue(), kMaxInputs);
  for (int64_t i = 0; i < count; ++i) addBezierPath();

  // The inputs exist now, so the base class has somewhere to restore their values.
  return Patch::setState(state);
}

bool V2DBezierPathCombinePatch::execute(ExecutionContext*, double, const Arguments&) {
  std::vector<BezierPathRef> paths;
  for (const V2DBezierPathPort* port : bezierPaths) paths.push_back(port->bezierPathValue());
  outputBezierPath.setBezierPathValue(combineBezierPaths(paths, inputJoin.booleanValue()));
  return true;
}

void V2DBezierPathCombinePatchUI::bezierPaths(const SegmentedControl& sender) {
  auto* combine = dynamic_cast<V2DBezierPathCombinePatch*>(patch());
  if (!combine) return;
  if (sender.selectedSegment == 0)
    combine->addBezierPath();
  else if (sender.selectedSegment == 1 && combine->numBezierPaths() >= 2)
    combine->removeBezierPath();
}

}  // namespace vellum
