// Concatenates any number of paths. Its vector inputs ("Vector 1" ... "Vector n") are made and
// deleted at run time, from the inspector or from the saved state when a composition loads.
#pragma once

#include <vector>

#include "host/Patch.h"
#include "path/V2DBezierPathPort.h"

namespace vellum {

class V2DBezierPathCombinePatch : public Patch {
 public:
  explicit V2DBezierPathCombinePatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  static constexpr const char* kInspectorClassName = "V2DBezierPathCombinePatchUI";
  static constexpr const char* kCountKey = "bezierPathsCount";

  // Appends the input "Vector n+1".
  void addBezierPath();
  // Deletes the last input, "Vector n"; does nothing when there is none.
  void removeBezierPath();
  size_t numBezierPaths() const { return bezierPaths.size(); }
  // The dynamic inputs in creation order.
  const std::vector<V2DBezierPathPort*>& bezierPathPorts() const { return bezierPaths; }

  // The base state plus "bezierPathsCount" and the input values.
  Structure state() const override;
  // Deletes every dynamic input, makes "bezierPathsCount" new ones (a missing, negative or
  // non-numeric count makes none; counts above kMaxInputs make kMaxInputs), then restores the
  // saved values into the ports just made.
  bool setState(const Structure& state) override;

  // A saved state asking for more inputs than this is treated as asking for this many.
  static constexpr int64_t kMaxInputs = 4096;

  BooleanPort inputJoin{this, "inputJoin"};
  V2DBezierPathPort outputBezierPath{this, "outputBezierPath"};

 private:
  std::vector<V2DBezierPathPort*> bezierPaths;
};

// The segmented control of the inspector's view: segment 0 adds an input, segment 1 removes one.
struct SegmentedControl {
  int selectedSegment = -1;
};

class V2DBezierPathCombinePatchUI : public Inspector {
 public:
  static std::string viewNibName_() { return V2DBezierPathCombinePatch::kInspectorClassName; }
  std::string viewNibName() const override { return viewNibName_(); }
  // The control's action: add on segment 0; remove on segment 1 while at least two inputs are
  // left, so the patch always keeps one.
  void bezierPaths(const SegmentedControl& sender);
};

}  // namespace vellum
