// Style sheets, "style" declarations and number lists: the sheet's rules are matched against a
// small fixed tree, and matching must answer within its bounds.
#include <cstdint>
#include <string>

#include "svg/SVGCSS.h"
#include "svg/SVGStyle.h"

using namespace vellum;

namespace {

SVGTree makeTree() {
  SVGTree tree;
  auto add = [&](const char* name, int32_t parent, std::vector<std::pair<std::string, std::string>> attributes) {
    SVGNode n;
    n.name = name;
    n.attributes = std::move(attributes);
    n.parent = parent;
    tree.nodes.push_back(std::move(n));
  };
  add("svg", -1, {});
  add("g", 0, {{"class", "a b"}, {"id", "g1"}});
  add("g", 1, {{"class", "c"}});
  add("path", 2, {{"class", "a st0"}, {"id", "p"}});
  return tree;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const SVGTree tree = makeTree();
  const std::string text(reinterpret_cast<const char*>(data), size);
  (void)parseSVGNumberList(text);
  std::vector<SVGDeclaration> declarations;
  parseSVGDeclarations(text, declarations);
  SVGStyleSheet sheet;
  sheet.add(text);
  for (const SVGRule& rule : sheet.rules())
    for (int32_t node = 0; node < int32_t(tree.nodes.size()); ++node) (void)sheet.matches(rule, tree, node);
  return 0;
}
