// The document tree the reader builds, and CSS over it: "style" attributes, "<style>" sheets
// with the selectors drawing programs and icon tools emit (type, class, id, universal, lists,
// descendant and child combinators), specificity and "!important".
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace vellum {

// One element: its name, attributes in document order, and character data (kept for "text"
// and "style" elements only). Nodes live in one vector; links are indexes, -1 for none.
struct SVGNode {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
  std::string text;
  int32_t parent = -1, firstChild = -1, lastChild = -1, nextSibling = -1;

  const std::string* attribute(std::string_view n) const {
    for (const auto& [k, v] : attributes)
      if (k == n) return &v;
    return nullptr;
  }
  bool hasClass(std::string_view c) const;
};

struct SVGTree {
  std::vector<SVGNode> nodes;
};

// The properties the reader resolves; each has a slot in a computed style.
enum class SVGProperty : uint8_t {
  Fill, FillOpacity, FillRule, Stroke, StrokeOpacity, StrokeWidth, StrokeLinecap, StrokeLinejoin,
  StrokeMiterlimit, StrokeDasharray, StrokeDashoffset, Color, Opacity, Display, Visibility, FontFamily,
  FontSize, FontWeight, FontStyle, TextAnchor, StopColor, StopOpacity, ClipPath, MarkerStart, MarkerMid,
  MarkerEnd, Count
};
inline constexpr size_t kSVGPropertyCount = size_t(SVGProperty::Count);
// ASCII letters compared without case, as CSS keywords are.
bool equalsIgnoringCase(std::string_view a, std::string_view b);
// The slot of a property name (also its presentation attribute's name), or Count.
SVGProperty svgPropertyForName(std::string_view name);
// Whether an element takes the property from its parent when nothing sets it.
bool svgPropertyInherits(SVGProperty property);

struct SVGDeclaration {
  SVGProperty property;
  std::string_view value;  // trimmed, "!important" removed
  bool important;
};
// "name: value; ..." with comments; declarations of other properties are dropped.
void parseSVGDeclarations(std::string_view text, std::vector<SVGDeclaration>& out);

struct SVGSelectorPart {
  std::string type;  // empty: any element
  std::string id;
  std::vector<std::string> classes;
  char combinator = 0;  // how this part relates to the one before it: ' ' descendant, '>' child
};

struct SVGRule {
  std::vector<SVGSelectorPart> parts;  // left to right
  uint32_t specificity = 0;            // ids << 16 | classes << 8 | types
  std::vector<SVGDeclaration> declarations;
};

// Rules beyond these bounds are dropped with one log line: matching costs rules x elements.
inline constexpr size_t kMaxSVGRules = 4096;
inline constexpr size_t kMaxSVGSelectorParts = 16;
// A descendant combinator looks this many ancestors up at most.
inline constexpr int kMaxSVGAncestorSearch = 256;

class SVGStyleSheet {
 public:
  // Adds the rules of one sheet. Selectors with anything outside the supported grammar
  // (attribute selectors, pseudo-classes, sibling combinators) drop their rule; at-rules are
  // skipped with their blocks; a sheet that never closes its last block ends there. Answers
  // false when rules were dropped for the bounds above.
  bool add(std::string text);
  const std::vector<SVGRule>& rules() const { return rules_; }
  bool empty() const { return rules_.empty(); }
  bool matches(const SVGRule& rule, const SVGTree& tree, int32_t node) const;

 private:
  std::deque<std::string> texts_;  // the declarations' values point here
  std::vector<SVGRule> rules_;
};

}  // namespace vellum
