#include "svg/SVGCSS.h"

#include <algorithm>

namespace vellum {

namespace {

constexpr std::string_view kPropertyNames[kSVGPropertyCount] = {
    "fill", "fill-opacity", "fill-rule", "stroke", "stroke-opacity", "stroke-width", "stroke-linecap",
    "stroke-linejoin", "stroke-miterlimit", "stroke-dasharray", "stroke-dashoffset", "color", "opacity", "display",
    "visibility", "font-family", "font-size", "font-weight", "font-style", "text-anchor", "stop-color",
    "stop-opacity", "clip-path", "marker-start", "marker-mid", "marker-end",
};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool isNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

// The end of the text's next piece up to `stop` (outside quotes and parentheses), or its size.
size_t pieceEnd(std::string_view s, size_t i, char stop) {
  char quote = 0;
  int depth = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      depth = std::max(0, depth - 1);
    } else if (c == stop && depth == 0) {
      return i;
    }
  }
  return s.size();
}

// Comments removed, each replaced by a space.
std::string withoutComments(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    if (s.compare(i, 2, "/*") == 0) {
      const size_t end = s.find("*/", i + 2);
      i = end == std::string_view::npos ? s.size() : end + 2;
      out += ' ';
    } else {
      out += s[i++];
    }
  }
  return out;
}

// One selector ("g > .a #b"), or false when it uses anything outside the supported grammar.
bool parseSelector(std::string_view s, std::vector<SVGSelectorPart>& parts, uint32_t& specificity) {
  s = trimmed(s);
  if (s.empty()) return false;
  uint32_t ids = 0, classes = 0, types = 0;
  char combinator = 0;
  size_t i = 0;
  while (i < s.size()) {
    SVGSelectorPart part;
    part.combinator = combinator;
    bool any = false;
    if (s[i] == '*') {
      ++i;
      any = true;
    } else if (isNameCharacter(s[i])) {
      const size_t start = i;
      while (i < s.size() && isNameCharacter(s[i])) ++i;
      part.type = s.substr(start, i - start);
      ++types;
      any = true;
    }
    while (i < s.size() && (s[i] == '#' || s[i] == '.')) {
      const char kind = s[i++];
      const size_t start = i;
      while (i < s.size() && isNameCharacter(s[i])) ++i;
      if (i == start) return false;
      if (kind == '#') part.id = s.substr(start, i - start), ++ids;
      else part.classes.emplace_back(s.substr(start, i - start)), ++classes;
      any = true;
    }
    if (!any || parts.size() >= kMaxSVGSelectorParts) return false;
    parts.push_back(std::move(part));
    size_t j = i;
    while (j < s.size() && isSpace(s[j])) ++j;
    if (j >= s.size()) break;
    if (s[j] == '>') {
      combinator = '>';
      ++j;
      while (j < s.size() && isSpace(s[j])) ++j;
    } else if (j > i) {
      combinator = ' ';
    } else {
      return false;  // ":hover", "[x]", "+", "~" and the like
    }
    i = j;
  }
  specificity = std::min(ids, 255u) << 16 | std::min(classes, 255u) << 8 | std::min(types, 255u);
  return !parts.empty();
}

bool compoundMatches(const SVGSelectorPart& part, const SVGNode& node) {
  if (!part.type.empty() && part.type != node.name) return false;
  if (!part.id.empty()) {
    const std::string* id = node.attribute("id");
    if (!id || *id != part.id) return false;
  }
  for (const std::string& c : part.classes)
    if (!node.hasClass(c)) return false;
  return true;
}

bool matchFrom(const SVGRule& rule, size_t index, const SVGTree& tree, int32_t node, int& budget) {
  if (--budget < 0 || !compoundMatches(rule.parts[index], tree.nodes[size_t(node)])) return false;
  if (index == 0) return true;
  int32_t up = tree.nodes[size_t(node)].parent;
  if (rule.parts[index].combinator == '>') return up >= 0 && matchFrom(rule, index - 1, tree, up, budget);
  for (int steps = 0; up >= 0 && steps < kMaxSVGAncestorSearch; ++steps, up = tree.nodes[size_t(up)].parent)
    if (matchFrom(rule, index - 1, tree, up, budget)) return true;
  return false;
}

}  // namespace

bool SVGNode::hasClass(std::string_view c) const {
  const std::string* list = attribute("class");
  if (!list) return false;
  std::string_view s = *list;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && isSpace(s[i])) ++i;
    const size_t start = i;
    while (i < s.size() && !isSpace(s[i])) ++i;
    if (s.substr(start, i - start) == c) return true;
  }
  return false;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
         });
}

SVGProperty svgPropertyForName(std::string_view name) {
  for (size_t i = 0; i < kSVGPropertyCount; ++i)
    if (kPropertyNames[i] == name) return SVGProperty(i);
  return SVGProperty::Count;
}

bool svgPropertyInherits(SVGProperty p) {
  switch (p) {
    case SVGProperty::Opacity:
    case SVGProperty::Display:
    case SVGProperty::StopColor:
    case SVGProperty::StopOpacity:
    case SVGProperty::ClipPath: return false;
    default: return true;
  }
}

void parseSVGDeclarations(std::string_view text, std::vector<SVGDeclaration>& out) {
  size_t i = 0;
  while (i < text.size()) {
    const size_t end = pieceEnd(text, i, ';');
    const std::string_view piece = text.substr(i, end - i);
    i = end + 1;
    const size_t colon = piece.find(':');
    if (colon == std::string_view::npos) continue;
    std::string name(trimmed(piece.substr(0, colon)));
    for (char& c : name) c = c >= 'A' && c <= 'Z' ? char(c + 32) : c;
    const SVGProperty property = svgPropertyForName(name);
    if (property == SVGProperty::Count) continue;
    std::string_view value = trimmed(piece.substr(colon + 1));
    bool important = false;
    if (const size_t bang = value.rfind('!');
        bang != std::string_view::npos && equalsIgnoringCase(trimmed(value.substr(bang + 1)), "important")) {
      important = true;
      value = trimmed(value.substr(0, bang));
    }
    if (!value.empty()) out.push_back({property, value, important});
  }
}

bool SVGStyleSheet::add(std::string text) {
  texts_.push_back(withoutComments(text));
  const std::string_view s = texts_.back();
  bool withinBounds = true;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (isSpace(s[i]) || s[i] == '}' || s[i] == ';')) ++i;
    if (i >= s.size()) break;
    if (s.compare(i, 4, "<!--") == 0 || s.compare(i, 3, "-->") == 0) {
      i += s[i] == '<' ? 4 : 3;
      continue;
    }
    const size_t open = pieceEnd(s, i, '{');
    if (s[i] == '@') {
      // An at-rule: to its ";" when that comes before any block, else past its whole block.
      const size_t semicolon = pieceEnd(s, i, ';');
      if (semicolon < open) {
        i = semicolon + 1;
        continue;
      }
      int depth = 0;
      size_t j = open;
      for (; j < s.size(); ++j) {
        if (s[j] == '{') ++depth;
        else if (s[j] == '}' && --depth == 0) break;
      }
      i = j + 1;
      continue;
    }
    if (open >= s.size()) break;
    const size_t close = std::min(pieceEnd(s, open + 1, '}'), s.size());
    std::vector<SVGDeclaration> declarations;
    parseSVGDeclarations(s.substr(open + 1, close - open - 1), declarations);
    const std::string_view selectors = s.substr(i, open - i);
    i = close + 1;
    if (declarations.empty()) continue;
    size_t j = 0;
    while (j <= selectors.size()) {
      const size_t comma = std::min(pieceEnd(selectors, j, ','), selectors.size());
      SVGRule rule;
      if (parseSelector(selectors.substr(j, comma - j), rule.parts, rule.specificity)) {
        if (rules_.size() >= kMaxSVGRules) {
          withinBounds = false;
        } else {
          rule.declarations = declarations;
          rules_.push_back(std::move(rule));
        }
      }
      j = comma + 1;
    }
  }
  return withinBounds;
}

bool SVGStyleSheet::matches(const SVGRule& rule, const SVGTree& tree, int32_t node) const {
  int budget = 4096;  // backtracking over mixed combinators stays bounded
  return matchFrom(rule, rule.parts.size() - 1, tree, node, budget);
}

}  // namespace vellum
