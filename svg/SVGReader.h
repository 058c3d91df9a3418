// The SVG reader: an SVG file into paint entries (render/PaintEntry.h), one per drawn element in
// document order (shapes, text, and what "use" references instantiate), transformed into the
// document's pixels, painted as CSS and the presentation attributes resolve, and flipped to y up.
//
// The file becomes a tree first ("use" may point forward, and selectors look at ancestors);
// the tree is then walked with an explicit stack, so nesting depth costs memory per level but
// never native stack. The reader's state is its own: a patch or any other caller owns a reader.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/Log.h"
#include "path/AffineTransform.h"
#include "path/BezierPath.h"
#include "svg/SVGCSS.h"
#include "svg/SVGPathData.h"
#include "svg/SVGStyle.h"

namespace vellum {

class SVGReader {
 public:
  // Reads the file at `path` into allBezierPaths, flipped; answers false (and leaves no
  // entries) when the file cannot be read or is not well-formed XML, and logs why, once per
  // file and reason.
  bool read(const std::string& path);

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

  // One finished entry: its paint entry ("path", "stroke", "fill", "strokefill") and the path
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
    // Every clip-path from the shape out: the entry is drawn inside all of them. Entries of one
    // group share its clip objects.
    std::vector<std::shared_ptr<BezierPath>> clips;
  };
  std::vector<Entry> allBezierPaths;

 private:
  struct Walk;
  void walkTree();
  void warn(const std::string& message);
  // Logs that the file at `path` cannot be read, and why.
  void unreadable(const std::string& path, const std::string& why);

  SVGTree tree_;
  std::vector<int32_t> open_;  // the elements being read, outermost first
  int32_t textNode_ = -1;      // the innermost open "text" or "style"
  std::vector<std::string> warnings_;
  LogOnce complain_;
};

// Where `inputFile` points: "~" and "~user" expanded, absolute names unchanged, other names
// relative to the folder of `compositionURL` (a percent-encoded file URL), or to the working
// directory when there is no such URL.
std::string svgFileLocation(std::string_view inputFile, std::optional<std::string_view> compositionURL);

}  // namespace vellum
