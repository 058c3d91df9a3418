// "Vellum Vector With SVG": reads an SVG file into a bezier path structure, one path entry per
// drawn element in document order (shapes, text, and what "use" references instantiate),
// transformed into the document's pixels, painted as CSS and the presentation attributes
// resolve, and flipped to y up.
//
// The file becomes a tree first ("use" may point forward, and selectors look at ancestors);
// the tree is then walked with an explicit stack, so nesting depth costs memory per level but
// never native stack.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/Log.h"
#include "host/Patch.h"
#include "path/AffineTransform.h"
#include "path/BezierPath.h"
#include "svg/SVGCSS.h"
#include "svg/SVGPathData.h"
#include "svg/SVGStyle.h"

namespace vellum {

// Where `inputFile` points: "~" and "~user" expanded, absolute names unchanged, other names
// relative to the folder of `compositionURL` (a percent-encoded file URL), or to the working
// directory when there is no such URL.
std::string svgFileLocation(std::string_view inputFile, std::optional<std::string_view> compositionURL);

class V2DBezierPathStructureWithSVGPatch : public Patch {
 public:
  explicit V2DBezierPathStructureWithSVGPatch(const std::string& identifier = {});
  bool setup(ExecutionContext*) override { return true; }
  void enable(ExecutionContext*) override {}
  void disable(ExecutionContext*) override {}
  void cleanup(ExecutionContext*) override {}
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  // Reads the file at `path` into allBezierPaths, flipped; answers false (and leaves no
  // entries) when the file cannot be read or is not well-formed XML, and logs why, once per
  // file and reason.
  bool _parseSVG(const std::string& path);

  // The parser's events (the delegate operations of the event-driven reader).
  void didStartElement(std::string_view elementName, const SVGAttributes& attributes);
  void foundCharacters(std::string_view characters);
  void didEndElement(std::string_view elementName);
  // Logs "[V2DBezierPathStructureWithSVGPatch parser:parseErrorOccurred:]  parseError = '...'"
  // once per distinct description.
  void parseErrorOccurred(const std::string& description);

  // The size of the outermost "svg" element's viewport in pixels and the height the last read
  // flipped within (document y becomes flipHeight - y); for drawing the result in the frame
  // other SVG renderers use.
  Size documentSize;
  double flipHeight = 0;

  StringPort inputFile{this, "inputFile"};
  StructurePort outputBezierPaths{this, "outputBezierPaths"};

  // One finished entry: its path entry ("path", "stroke", "fill", "strokefill") and the path
  // itself, which stays changeable until the flip.
  struct Entry {
    std::shared_ptr<BezierPath> path;
    Value entry;
    // A gradient or clip path; document coordinates until the flip, then "fill-gradient",
    // "stroke-gradient" and "clip" members.
    struct Gradient {
      bool radial = false;
      double coordinates[6] = {};  // x1 y1 x2 y2, or cx cy r fx fy fr
      AffineTransform matrix;      // gradient space to the document
      std::string spread;
      std::vector<std::pair<double, Color>> stops;
    };
    std::optional<Gradient> fillGradient, strokeGradient;
    std::shared_ptr<BezierPath> clip;
  };
  std::vector<Entry> allBezierPaths;

 private:
  struct Walk;
  void walkTree();
  void warn(const std::string& message);

  SVGTree tree_;
  std::vector<int32_t> open_;  // the elements being read, outermost first
  int32_t textNode_ = -1;      // the innermost open "text" or "style"
  std::vector<std::string> warnings_;
  // Logs that the file at `path` cannot be read, and why.
  void unreadable(const std::string& path, const std::string& why);
  LogOnce complain_;
};

}  // namespace vellum
