#include "patches/sources/V2DBezierPathWithStringPatch.h"

#include "text/Text.h"

namespace vellum {

V2DBezierPathWithStringPatch::V2DBezierPathWithStringPatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Vector With String", "name");
  inputString.setStringValue("Goodbye World!");
  // Not installed on most Linux systems: with this default the output is nothing there.
  inputFontName.setStringValue("Georgia-Bold");
  inputFontSize.setMinDoubleValue(0.0001);
  inputFontSize.setDoubleValue(20);
}

bool V2DBezierPathWithStringPatch::execute(ExecutionContext*, double, const Arguments&) {
  const FontRef font = Font::fontWithName(inputFontName.stringValue(), inputFontSize.doubleValue());
  if (!font) {
    const std::string name = inputFontName.stringValue();
    complain_(name, [&] {
      std::string line = "[V2DBezierPathWithStringPatch execute:time:arguments:]  inputFontName: no installed font is named \"" +
                         (name.size() > 80 ? name.substr(0, 80) + "..." : name) + "\", so the output is nothing.";
      if (const std::string alike = Font::lookAlikeName(name); !alike.empty())
        line += " The closest installed face is \"" + alike + "\";";
      return line + " `fc-list : postscriptname` lists every installed name.";
    });
    outputBezierPath.setBezierPathValue(nullptr);
    return true;
  }
  auto path = BezierPath::bezierPath();
  path->moveToPoint({inputX.doubleValue(), inputY.doubleValue()});
  appendBezierPathWithString(*path, inputString.stringValue(), *font);
  outputBezierPath.setBezierPathValue(path->bezierPathByReversingPath());
  return true;
}

}  // namespace vellum
