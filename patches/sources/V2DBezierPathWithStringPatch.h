// "Vellum Vector With String": the outline of a line of text in a named font, baseline starting
// at (inputX, inputY), each contour running against the font's own direction.
#pragma once

#include "host/Log.h"
#include "host/Patch.h"
#include "path/V2DBezierPathPort.h"

namespace vellum {

class V2DBezierPathWithStringPatch : public Patch {
 public:
  explicit V2DBezierPathWithStringPatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  NumberPort inputX{this, "inputX"};
  NumberPort inputY{this, "inputY"};
  StringPort inputString{this, "inputString"};
  StringPort inputFontName{this, "inputFontName"};
  NumberPort inputFontSize{this, "inputFontSize"};
  V2DBezierPathPort outputBezierPath{this, "outputBezierPath"};

 private:
  LogOnce complain_;
};

}  // namespace vellum
