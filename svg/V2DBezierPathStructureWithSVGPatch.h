// "Vellum Vector With SVG": reads an SVG file into a bezier path structure, one path entry per
// drawable element in document order, transformed by its own and its groups' transforms,
// painted by its own and its groups' attributes, and flipped to y up.
//
// Reading is one pass over the parser's events. Rather than keeping every entry in its group
// until the group closes, each group record carries what closing it would apply: the product of
// the transforms of the open groups and the style attributes inherited through them. An entry is
// therefore finished as soon as it is read, which keeps the work per element independent of how
// deeply it is nested (100 000 nested groups cost no more per level than one).
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/Log.h"
#include "host/Patch.h"
#include "path/AffineTransform.h"
#include "path/BezierPath.h"
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

  void pushGroup(const std::optional<AffineTransform>& transform, const SVGAttributes* attributes);
  void popGroup();
  void addBezierPath(std::shared_ptr<BezierPath> path, const SVGAttributes& attributes);

  StringPort inputFile{this, "inputFile"};
  StructurePort outputBezierPaths{this, "outputBezierPaths"};

  // One finished entry: its path entry ("path", "stroke", "fill", "strokefill") and the path
  // itself, which stays changeable until the flip.
  struct Entry {
    std::shared_ptr<BezierPath> path;
    Value entry;
  };
  std::vector<Entry> allBezierPaths;

 private:
  // An open "svg" or "g": what closing it applies to the entries read inside it.
  struct GroupRecord {
    AffineTransform transform;  // product of the open groups' transforms, innermost acting first
    bool transformed = false;   // whether `transform` is other than the identity
    SVGStyleAttributes inherited;  // the open "g" elements' style attributes, innermost winning
    size_t valueMark = 0;       // groupValues' size before this group's own values
  };
  std::deque<GroupRecord> groupStack;
  // The inherited values point here; a deque keeps them in place as groups come and go.
  std::deque<std::string> groupValues;
  std::optional<SVGAttributeList> currTextAttributes;
  std::optional<std::string> currText;
  // Logs that the file at `path` cannot be read, and why.
  void unreadable(const std::string& path, const std::string& why);
  LogOnce complain_;
};

}  // namespace vellum
