#include "svg/SVGReader.h"

#include <expat.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <set>
#include <unordered_map>
#include <cstring>

#include "host/Log.h"
#include "path/ElementWalk.h"
#include "render/PaintEntry.h"
#include "render/Renderer.h"

namespace vellum {

namespace {

// Bytes handed to the parser at a time. A single token (a long "d" attribute) that spans
// several chunks is rescanned once per chunk, so chunks are large.
constexpr int kReadChunk = 16 << 20;

// The attribute array of one start-element event: name, value, name, value, ..., null.
class ExpatAttributes : public SVGAttributes {
 public:
  explicit ExpatAttributes(const XML_Char** attributes) : a_(attributes) {}
  std::optional<std::string_view> attribute(std::string_view name) const override {
    for (const XML_Char** p = a_; p && *p; p += 2)
      if (name == p[0]) return std::string_view(p[1]);
    return std::nullopt;
  }
  void forEach(const std::function<void(std::string_view, std::string_view)>& f) const override {
    for (const XML_Char** p = a_; p && *p; p += 2) f(p[0], p[1]);
  }

 private:
  const XML_Char** a_;
};

// Makes a failing callback stop the parser instead of unwinding through C frames.
struct ReadContext {
  SVGReader* reader;
  XML_Parser parser;
  bool failed = false;
};

template <class F>
void guarded(void* data, F&& f) {
  auto* c = static_cast<ReadContext*>(data);
  if (c->failed) return;
  try {
    f(*c->reader);
  } catch (const std::exception&) {
    c->failed = true;
    XML_StopParser(c->parser, XML_FALSE);
  }
}

void XMLCALL startElement(void* data, const XML_Char* name, const XML_Char** attributes) {
  guarded(data, [&](SVGReader& r) { r.didStartElement(name, ExpatAttributes(attributes)); });
}

void XMLCALL endElement(void* data, const XML_Char* name) {
  guarded(data, [&](SVGReader& r) { r.didEndElement(name); });
}

void XMLCALL characterData(void* data, const XML_Char* s, int length) {
  guarded(data, [&](SVGReader& r) { r.foundCharacters(std::string_view(s, size_t(length))); });
}

bool isShapeElement(std::string_view name) {
  return name == "path" || name == "rect" || name == "ellipse" || name == "circle" || name == "line" ||
         name == "polyline" || name == "polygon";
}

}  // namespace

bool SVGReader::read(const std::string& path) {
  allBezierPaths.clear();
  tree_ = {};
  open_.clear();
  textNode_ = -1;
  warnings_.clear();
  documentSize = {};
  flipHeight = 0;

  // Only a regular file is read: a FIFO or a device could block or never end.
  bool ok = false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  struct stat st {};
  const bool opened = fd >= 0;
  const int openError = errno;
  if (opened && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    // Plain expat: no namespace processing, no external entity or DTD is fetched (there is no
    // handler for them), and entity expansion is bounded by expat's amplification limit.
    XML_Parser parser = XML_ParserCreate(nullptr);
    if (parser) {
      ReadContext context{this, parser};
      XML_SetUserData(parser, &context);
      XML_SetElementHandler(parser, startElement, endElement);
      XML_SetCharacterDataHandler(parser, characterData);
      XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
      for (;;) {
        void* buffer = XML_GetBuffer(parser, kReadChunk);
        if (!buffer) break;
        ssize_t n;
        do n = ::read(fd, buffer, kReadChunk);
        while (n < 0 && errno == EINTR);
        if (n < 0) {
          unreadable(path, std::strerror(errno));
          break;
        }
        if (XML_ParseBuffer(parser, int(n), n == 0) != XML_STATUS_OK) {
          if (!context.failed) {
            const XML_Error code = XML_GetErrorCode(parser);
            parseErrorOccurred(std::string(XML_ErrorString(code)) + " at line " +
                               std::to_string(XML_GetCurrentLineNumber(parser)) + ", column " +
                               std::to_string(XML_GetCurrentColumnNumber(parser) + 1) + " of " + path);
          }
          break;
        }
        if (n == 0) {
          ok = !context.failed;
          break;
        }
      }
      XML_ParserFree(parser);
    }
  }
  if (!opened)
    unreadable(path, std::strerror(openError));
  else if (S_ISDIR(st.st_mode))
    unreadable(path, "it is a directory");
  else if (!S_ISREG(st.st_mode))
    unreadable(path, "it is not a regular file (a pipe or a device is never read)");
  if (fd >= 0) ::close(fd);

  tree_ = {};
  open_.clear();
  for (const std::string& w : warnings_) log("Vellum Vector With SVG: " + path + ": " + w);
  warnings_.clear();
  if (!ok) {
    allBezierPaths.clear();
    return false;
  }

  // The document is y down; flip it within the height of everything drawn (which always
  // reaches down to the origin), so content keeps its distance from the document's top edge.
  std::vector<Value> entries;
  entries.reserve(allBezierPaths.size());
  for (const Entry& e : allBezierPaths) entries.push_back(e.entry);
  const Structure members(std::move(entries));
  const double height = bezierPathStructureBounds(members, false).size.height;
  flipHeight = height;
  AffineTransform flip;
  flip.setTransformStruct(1, 0, 0, -1, 0, height);
  std::set<const BezierPath*> flippedClips;
  for (Entry& e : allBezierPaths) {
    e.path->transformUsingAffineTransform(flip);
    if (!e.fillGradient && !e.strokeGradient && e.clips.empty()) continue;
    auto entry = std::make_shared<Structure>(*e.entry.structure());
    for (auto [gradient, key] : {std::pair{&e.fillGradient, paint::kFillGradient}, {&e.strokeGradient, paint::kStrokeGradient}}) {
      if (!*gradient) continue;
      const Entry::Gradient& g = **gradient;
      AffineTransform m = g.matrix;
      m.appendTransform(flip);
      const auto& t = m.transformStruct();
      std::vector<std::pair<std::string, Value>> members = {
          {paint::kGradientKind, std::string(g.radial ? paint::kRadial : paint::kLinear)}};
      for (size_t i = 0; i < (g.radial ? 6u : 4u); ++i)
        members.emplace_back(g.radial ? paint::kRadialCoordinates[i] : paint::kLinearCoordinates[i], g.coordinates[i]);
      auto matrix = std::make_shared<Structure>();
      for (double v : {t.m11, t.m12, t.m21, t.m22, t.tX, t.tY}) matrix->addMember(v);
      members.emplace_back(paint::kGradientMatrix, Value(StructureRef(matrix)));
      members.emplace_back(paint::kGradientSpread, g.spread);
      auto stops = std::make_shared<Structure>();
      for (const auto& [offset, color] : g.stops)
        stops->addMember(Value(std::make_shared<const Structure>(
            Structure::withMembersAndKeys({{paint::kStopOffset, offset}, {paint::kStopColor, color}}))));
      members.emplace_back(paint::kGradientStops, Value(StructureRef(stops)));
      entry->setMember(Value(std::make_shared<const Structure>(Structure::withMembersAndKeys(std::move(members)))), key);
    }
    for (const auto& clip : e.clips)
      if (flippedClips.insert(clip.get()).second) clip->transformUsingAffineTransform(flip);
    if (e.clips.size() == 1) {
      entry->setMember(Value(ObjectRef(e.clips[0])), paint::kClip);
    } else if (e.clips.size() > 1) {
      std::vector<Value> all;
      for (const auto& clip : e.clips) all.emplace_back(ObjectRef(clip));
      entry->setMember(Value(std::make_shared<const Structure>(std::move(all))), paint::kClip);
    }
    e.entry = Value(StructureRef(entry));
  }
  return true;
}

// --- building the tree --------------------------------------------------------------------------

void SVGReader::didStartElement(std::string_view name, const SVGAttributes& attributes) {
  const auto index = int32_t(tree_.nodes.size());
  SVGNode node;
  node.name = name;
  attributes.forEach([&](std::string_view n, std::string_view v) { node.attributes.emplace_back(n, v); });
  node.parent = open_.empty() ? -1 : open_.back();
  if (node.parent >= 0) {
    SVGNode& parent = tree_.nodes[size_t(node.parent)];
    if (parent.lastChild >= 0) tree_.nodes[size_t(parent.lastChild)].nextSibling = index;
    else parent.firstChild = index;
    parent.lastChild = index;
  }
  tree_.nodes.push_back(std::move(node));
  open_.push_back(index);
  // Character data belongs to the outermost open "text" (its tspans included) or "style".
  if (textNode_ < 0 && (name == "text" || name == "style")) textNode_ = index;
}

void SVGReader::foundCharacters(std::string_view characters) {
  if (textNode_ >= 0) tree_.nodes[size_t(textNode_)].text.append(characters);
}

void SVGReader::didEndElement(std::string_view) {
  if (open_.empty()) return;
  if (open_.back() == textNode_) textNode_ = -1;
  open_.pop_back();
  if (open_.empty()) walkTree();
}

void SVGReader::parseErrorOccurred(const std::string& description) {
  complain_(description,
            [&] { return "[V2DBezierPathStructureWithSVGPatch parser:parseErrorOccurred:]  parseError = '" + description + "'"; });
}

void SVGReader::unreadable(const std::string& path, const std::string& why) {
  complain_(path + '\n' + why, [&] {
    return "[V2DBezierPathStructureWithSVGPatch execute:time:arguments:]  inputFile: cannot read \"" + path + "\": " + why +
           "; the output is an empty structure. A relative name is found in the composition's folder.";
  });
}

void SVGReader::warn(const std::string& message) {
  if (std::find(warnings_.begin(), warnings_.end(), message) == warnings_.end()) warnings_.push_back(message);
}

// --- walking it ---------------------------------------------------------------------------------

namespace {

using Style = std::array<std::string_view, kSVGPropertyCount>;
using P = SVGProperty;

// "use" instances nest at most this deep, and all of them together visit at most this many
// elements: a file of a few kilobytes could otherwise ask for 10^20 shapes.
constexpr int kMaxUseDepth = 32;
constexpr size_t kMaxUseVisits = size_t(1) << 17;
// Gradient stops read per gradient.
constexpr size_t kMaxStops = 1024;

// Elements that draw nothing where they stand (a "symbol" draws through "use" only).
bool isNonRendering(std::string_view name) {
  static constexpr std::string_view kNames[] = {
      "defs",   "symbol", "clipPath", "mask",   "marker",   "pattern",       "linearGradient", "radialGradient",
      "style",  "title",  "desc",     "metadata", "script", "foreignObject", "filter",         "font",
      "cursor", "view",   "stop",     "image",
  };
  return std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames);
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && isSVGSeparator(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSVGSeparator(s.back())) s.remove_suffix(1);
  return s;
}

// A number or a percentage, clamped to 0..1; 1 when absent or unreadable.
double opacityOf(std::string_view text) {
  text = trim(text);
  if (text.empty()) return 1;
  size_t p = 0;
  double n = 1;
  if (!parseSVGNumber(text, p, n)) return 1;
  if (p < text.size() && text[p] == '%') n /= 100;
  return std::isnan(n) ? 1 : std::clamp(n, 0.0, 1.0);
}

// The id of "#id" or "url(#id)" references; empty otherwise.
std::string_view referencedId(std::string_view text) {
  text = trim(text);
  if (text.starts_with("url(")) {
    const size_t close = text.find(')');
    if (close == std::string_view::npos) return {};
    text = trim(text.substr(4, close - 4));
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'')) text = text.substr(1, text.size() - 2);
  }
  return text.starts_with("#") ? text.substr(1) : std::string_view();
}

// The bounds of what a path draws: path data's leading move to the origin is no part of them
// (gradients and clip paths in bounding-box units are relative to these).
Rect drawnBounds(const BezierPath& path) {
  const ElementWalk walk(path);
  using E = BezierPathElement;
  if (walk.size() < 2 || walk.kind(0) != E::MoveTo || walk.kind(1) != E::MoveTo) return path.bounds();
  BezierPath rest;
  for (size_t i = 1; i < walk.size(); ++i) {
    const std::span<const Point> q = walk.points(i);
    switch (walk.kind(i)) {
      case E::MoveTo: rest.moveToPoint(q[0]); break;
      case E::LineTo: rest.lineToPoint(q[0]); break;
      case E::CurveTo: rest.curveToPoint(q[2], q[0], q[1]); break;
      default: rest.closePath(); break;
    }
  }
  return rest.bounds();
}

// The viewBox transform: viewBox (x, y, w, h) fitted into a viewport of `size` as
// preserveAspectRatio says.
AffineTransform viewBoxTransform(const double box[4], Size size, std::string_view aspect) {
  aspect = trim(aspect);
  const double sx = size.width / box[2], sy = size.height / box[3];
  AffineTransform t;
  if (aspect.starts_with("none")) {
    t.setTransformStruct(sx, 0, 0, sy, -box[0] * sx, -box[1] * sy);
    return t;
  }
  const bool slice = aspect.find("slice") != std::string_view::npos;
  const double s = slice ? std::max(sx, sy) : std::min(sx, sy);
  double ax = 0.5, ay = 0.5;
  if (aspect.find("xMin") != std::string_view::npos) ax = 0;
  if (aspect.find("xMax") != std::string_view::npos) ax = 1;
  if (aspect.find("YMin") != std::string_view::npos) ay = 0;
  if (aspect.find("YMax") != std::string_view::npos) ay = 1;
  t.setTransformStruct(s, 0, 0, s, -box[0] * s + (size.width - box[2] * s) * ax,
                       -box[1] * s + (size.height - box[3] * s) * ay);
  return t;
}

}  // namespace

struct SVGReader::Walk {
  SVGReader& reader;
  const SVGTree& tree;
  SVGStyleSheet sheet;
  std::unordered_map<std::string_view, int32_t> ids;
  std::vector<int32_t> onStack;  // how often each node is open in the walk: "use" cycles
  size_t useVisits = 0;
  bool pathErrorLogged = false;  // one line for the first path in error

  struct Frame {
    int32_t node;
    int32_t next = -2;  // the next child to visit; -2 before the element itself, -1 done
    AffineTransform ctm;
    Style style{};
    double opacity = 1;
    SVGLengthContext lengths;
    int useDepth = 0;
    bool viaUse = false;  // instantiated by "use": a "symbol" draws
    std::vector<std::shared_ptr<BezierPath>> clips;  // in document coordinates; all of them apply
    // A container's clip in bounding-box units waits for its content: the entries from
    // `firstEntry` on get it when the container closes.
    bool boxClip = false;
    size_t firstEntry = 0;
  };
  std::vector<Frame> stack;

  const SVGNode& node(int32_t i) const { return tree.nodes[size_t(i)]; }

  void computeStyle(int32_t index, const Style& parent, Style& out) {
    uint64_t rank[kSVGPropertyCount] = {};
    auto offer = [&](SVGProperty p, std::string_view value, uint64_t r) {
      if (rank[size_t(p)] <= r) rank[size_t(p)] = r, out[size_t(p)] = value;
    };
    for (size_t i = 0; i < kSVGPropertyCount; ++i) out[i] = svgPropertyInherits(SVGProperty(i)) ? parent[i] : "";
    const SVGNode& n = node(index);
    uint32_t order = 0;
    for (const auto& [name, value] : n.attributes)
      if (const SVGProperty p = svgPropertyForName(name); p != P::Count) offer(p, trim(value), uint64_t(1) << 56 | order++);
    const auto& rules = sheet.rules();
    for (size_t r = 0; r < rules.size(); ++r)
      if (sheet.matches(rules[r], tree, index))
        for (const SVGDeclaration& d : rules[r].declarations)
          offer(d.property, d.value, uint64_t(d.important ? 4 : 2) << 56 | uint64_t(rules[r].specificity) << 32 | r);
    if (const std::string* style = n.attribute("style")) {
      std::vector<SVGDeclaration> declarations;
      parseSVGDeclarations(*style, declarations);
      for (const SVGDeclaration& d : declarations) offer(d.property, d.value, uint64_t(d.important ? 5 : 3) << 56 | order++);
    }
    for (size_t i = 0; i < kSVGPropertyCount; ++i)
      if (rank[i] && out[i] == "inherit") out[i] = parent[i];
  }

  void push(int32_t index, size_t parentFrame, bool viaUse, const AffineTransform* extra,
            const Style* inherited = nullptr) {
    Frame f;
    f.node = index;
    const Frame& parent = stack[parentFrame];
    f.ctm = parent.ctm;
    if (extra) f.ctm.prependTransform(*extra);
    f.lengths = parent.lengths;
    f.useDepth = parent.useDepth + (viaUse ? 1 : 0);
    f.viaUse = viaUse;
    computeStyle(index, inherited ? *inherited : parent.style, f.style);
    // Font sizes relative to the parent's, for em lengths below this element.
    if (!f.style[size_t(P::FontSize)].empty() && f.style[size_t(P::FontSize)] != parent.style[size_t(P::FontSize)]) {
      SVGLengthContext relative = parent.lengths;
      relative.width = relative.height = parent.lengths.fontSize;  // percentages of the parent's size
      if (auto size = parseSVGLength(f.style[size_t(P::FontSize)], relative, SVGAxis::X); size && *size >= 0)
        f.lengths.fontSize = *size;
    }
    f.opacity = parent.opacity * opacityOf(f.style[size_t(P::Opacity)]);
    f.clips = parent.clips;
    ++onStack[size_t(index)];
    stack.push_back(std::move(f));
  }

  // What an element inherits from its own ancestors, from the document's root down; kept per
  // element, since a marker is placed at every vertex of its paths.
  std::unordered_map<int32_t, Style> inheritedStyles;
  const Style& ancestorsStyle(int32_t element) {
    if (auto it = inheritedStyles.find(element); it != inheritedStyles.end()) return it->second;
    std::vector<int32_t> chain;
    for (int32_t a = node(element).parent; a >= 0; a = node(a).parent) chain.push_back(a);
    Style style = stack[0].style;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      Style next;
      computeStyle(*it, style, next);
      style = next;
    }
    return inheritedStyles[element] = style;
  }

  void pop() {
    if (stack.back().boxClip) clipToContentBox(stack.back());
    --onStack[size_t(stack.back().node)];
    stack.pop_back();
  }

  // The container's clip-path in the units of its content's box, in its own user space.
  void clipToContentBox(const Frame& f) {
    auto& entries = reader.allBezierPaths;
    AffineTransform toUser = f.ctm;
    if (f.firstEntry >= entries.size() || !toUser.invert()) return;
    double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (size_t i = f.firstEntry; i < entries.size(); ++i) {
      auto user = entries[i].path->copy();
      user->transformUsingAffineTransform(toUser);
      const Rect r = drawnBounds(*user);
      x0 = std::min(x0, r.origin.x), y0 = std::min(y0, r.origin.y);
      x1 = std::max(x1, r.origin.x + r.size.width), y1 = std::max(y1, r.origin.y + r.size.height);
    }
    if (auto clip = clipPath(trim(f.style[size_t(P::ClipPath)]), f, Rect{{x0, y0}, {x1 - x0, y1 - y0}}))
      for (size_t i = f.firstEntry; i < entries.size(); ++i) entries[i].clips.push_back(clip);
  }

  std::optional<AffineTransform> ownTransform(const SVGNode& n) {
    const std::string* text = n.attribute("transform");
    if (!text) return std::nullopt;
    auto t = parseSVGTransform(*text);
    if (!t) reader.warn("transform \"" + text->substr(0, 80) + "\" cannot be read; the element is drawn without it");
    return t;
  }

  // The viewport of an "svg" (or a "symbol" through "use"): moves the frame's transform into the
  // viewBox's coordinates. False when the viewBox is unusable and the content is not drawn.
  bool enterViewport(Frame& f, const SVGNode& n, std::optional<Size> useSize, bool outermost) {
    const SVGLengthContext& c = f.lengths;
    auto length = [&](const char* key, SVGAxis axis, double fallback) {
      const std::string* text = n.attribute(key);
      const auto v = text ? parseSVGLength(*text, c, axis) : std::nullopt;
      return v.value_or(fallback);
    };
    double box[4] = {};
    bool hasBox = false;
    if (const std::string* text = n.attribute("viewBox")) {
      const std::vector<double> v = parseSVGNumberList(*text);
      if (v.size() == 4) {
        if (!(v[2] > 0) || !(v[3] > 0)) {
          reader.warn("viewBox \"" + *text + "\" has no positive size; the element draws nothing");
          return false;
        }
        std::copy(v.begin(), v.end(), box);
        hasBox = std::isfinite(box[0] + box[1] + box[2] + box[3]);
      }
    }
    Size size;
    if (outermost) {
      // Without a width (or with a percentage), the viewBox gives the size.
      auto side = [&](const char* key, SVGAxis axis, double boxSide) {
        const std::string* text = n.attribute(key);
        const bool relative = !text || text->find('%') != std::string::npos;
        if (relative) return hasBox ? boxSide : 0.0;
        return length(key, axis, hasBox ? boxSide : 0.0);
      };
      size = {side("width", SVGAxis::X, box[2]), side("height", SVGAxis::Y, box[3])};
      reader.documentSize = size;
    } else {
      const double x = length("x", SVGAxis::X, 0), y = length("y", SVGAxis::Y, 0);
      size = useSize.value_or(Size{length("width", SVGAxis::X, c.width), length("height", SVGAxis::Y, c.height)});
      AffineTransform at;
      at.translateXBy(x, y);
      f.ctm.prependTransform(at);
    }
    if (hasBox) {
      if (size.width > 0 && size.height > 0) f.ctm.prependTransform(viewBoxTransform(box, size, n.attribute("preserveAspectRatio") ? *n.attribute("preserveAspectRatio") : ""));
      f.lengths.width = box[2];
      f.lengths.height = box[3];
    } else if (size.width > 0 && size.height > 0) {
      f.lengths.width = size.width;
      f.lengths.height = size.height;
    }
    return true;
  }

  // The colour of a gradient's first stop, following "href" to the gradient that has stops.
  std::optional<Color> firstStopColor(int32_t gradient) {
    for (int hops = 0; gradient >= 0 && hops < 16; ++hops) {
      const SVGNode& g = node(gradient);
      for (int32_t c = g.firstChild; c >= 0; c = node(c).nextSibling) {
        if (node(c).name != "stop") continue;
        Style st{};
        const Style none{};
        computeStyle(c, none, st);
        std::string_view text = trim(st[size_t(P::StopColor)]);
        std::optional<Color> color = text.empty() ? Color::colorWithRed(0, 0, 0, 1) : parseSVGColor(text);
        if (!color) color = Color::colorWithRed(0, 0, 0, 1);
        color->alpha *= opacityOf(st[size_t(P::StopOpacity)]);
        return color;
      }
      const std::string* href = g.attribute("href");
      if (!href) href = g.attribute("xlink:href");
      const auto it = href ? ids.find(referencedId(*href)) : ids.end();
      gradient = it == ids.end() ? -1 : it->second;
    }
    return std::nullopt;
  }

  // A paint: nothing for "none" (and for what cannot be read or found without a fallback).
  std::optional<Color> paint(std::string_view text, const Style& st, bool isFill, int32_t* gradient = nullptr) {
    text = trim(text);
    if (text.empty()) return isFill ? std::optional<Color>(Color::colorWithRed(0, 0, 0, 1)) : std::nullopt;
    if (text == "none") return std::nullopt;
    if (equalsIgnoringCase(text, "currentColor")) {
      const std::string_view color = trim(st[size_t(P::Color)]);
      if (color.empty() || equalsIgnoringCase(color, "currentColor")) return Color::colorWithRed(0, 0, 0, 1);
      return parseSVGColor(color);
    }
    if (text.starts_with("url(")) {
      const auto it = ids.find(referencedId(text));
      if (it != ids.end()) {
        const std::string& name = node(it->second).name;
        if (name == "linearGradient" || name == "radialGradient") {
          if (gradient) *gradient = it->second;
          return firstStopColor(it->second);
        }
      }
      const size_t close = text.find(')');
      const std::string_view fallback = trim(text.substr(close == std::string_view::npos ? text.size() : close + 1));
      if (fallback.empty()) return std::nullopt;
      return paint(fallback, st, false);
    }
    const std::optional<Color> color = parseSVGColor(text);
    if (!color && isFill) return Color::colorWithRed(0, 0, 0, 1);
    return color;
  }

  // The first node along the "href" chain from `start` for which `found` answers true.
  template <class F>
  int32_t alongHref(int32_t start, F&& found) {
    for (int hops = 0; start >= 0 && hops < 16; ++hops) {
      if (found(node(start))) return start;
      const std::string* href = node(start).attribute("href");
      if (!href) href = node(start).attribute("xlink:href");
      const auto it = href ? ids.find(referencedId(*href)) : ids.end();
      start = it == ids.end() ? -1 : it->second;
    }
    return -1;
  }

  // The gradient `index` paints an element of user-space bounds `box` with: its attributes and
  // stops found along "href", its stops' alphas times `alpha`. Nothing when it has no stops or
  // is relative to an empty box.
  std::optional<Entry::Gradient> gradient(int32_t index, const Rect& box, const Frame& f, double alpha) {
    auto attribute = [&](const char* key) -> std::string_view {
      const int32_t n = alongHref(index, [&](const SVGNode& g) { return g.attribute(key) != nullptr; });
      return n >= 0 ? std::string_view(*node(n).attribute(key)) : std::string_view();
    };
    const int32_t withStops = alongHref(index, [&](const SVGNode& g) {
      for (int32_t c = g.firstChild; c >= 0; c = node(c).nextSibling)
        if (node(c).name == "stop") return true;
      return false;
    });
    if (withStops < 0) return std::nullopt;
    Entry::Gradient g;
    g.radial = node(index).name == "radialGradient";
    const bool userSpace = trim(attribute("gradientUnits")) == "userSpaceOnUse";
    if (!userSpace && !(box.size.width > 0 && box.size.height > 0)) return std::nullopt;
    auto coordinate = [&](const char* key, const char* fallback, SVGAxis axis) {
      std::string_view text = trim(attribute(key));
      if (text.empty()) text = fallback;
      if (userSpace) return parseSVGLength(text, f.lengths, axis).value_or(0);
      size_t p = 0;
      double n = 0;
      if (!parseSVGNumber(text, p, n)) return 0.0;
      return p < text.size() && text[p] == '%' ? n / 100 : n;
    };
    if (g.radial) {
      const double cx = coordinate("cx", "50%", SVGAxis::X), cy = coordinate("cy", "50%", SVGAxis::Y);
      const double r = coordinate("r", "50%", SVGAxis::Other);
      const bool fx = !trim(attribute("fx")).empty(), fy = !trim(attribute("fy")).empty();
      g.coordinates[0] = cx, g.coordinates[1] = cy, g.coordinates[2] = r;
      g.coordinates[3] = fx ? coordinate("fx", "0", SVGAxis::X) : cx;
      g.coordinates[4] = fy ? coordinate("fy", "0", SVGAxis::Y) : cy;
      g.coordinates[5] = coordinate("fr", "0", SVGAxis::Other);
    } else {
      g.coordinates[0] = coordinate("x1", "0%", SVGAxis::X), g.coordinates[1] = coordinate("y1", "0%", SVGAxis::Y);
      g.coordinates[2] = coordinate("x2", "100%", SVGAxis::X), g.coordinates[3] = coordinate("y2", "0%", SVGAxis::Y);
    }
    g.matrix = f.ctm;
    if (!userSpace) {
      AffineTransform unit;
      unit.setTransformStruct(box.size.width, 0, 0, box.size.height, box.origin.x, box.origin.y);
      g.matrix.prependTransform(unit);
    }
    if (const std::string_view t = attribute("gradientTransform"); !t.empty())
      if (auto m = parseSVGTransform(t)) g.matrix.prependTransform(*m);
    const std::string_view spread = trim(attribute("spreadMethod"));
    g.spread = spread == "reflect" || spread == "repeat" ? std::string(spread) : "pad";
    double last = 0;
    for (int32_t c = node(withStops).firstChild; c >= 0; c = node(c).nextSibling) {
      if (node(c).name != "stop") continue;
      if (g.stops.size() >= kMaxStops) {
        reader.warn("a gradient has more than 1024 stops; the rest are ignored");
        break;
      }
      Style st{};
      computeStyle(c, f.style, st);
      const std::string_view colorText = trim(st[size_t(P::StopColor)]);
      std::optional<Color> color = colorText.empty() ? Color::colorWithRed(0, 0, 0, 1)
                                   : equalsIgnoringCase(colorText, "currentColor")
                                       ? parseSVGColor(trim(st[size_t(P::Color)]))
                                       : parseSVGColor(colorText);
      if (!color) color = Color::colorWithRed(0, 0, 0, 1);
      color->alpha *= opacityOf(st[size_t(P::StopOpacity)]) * alpha;
      const std::string* offsetText = node(c).attribute("offset");
      double offset = offsetText ? opacityOf(*offsetText) : 0;  // a number or percentage in 0..1
      if (offsetText && trim(*offsetText).empty()) offset = 0;
      last = std::max(last, offset);
      g.stops.emplace_back(last, *color);
    }
    return g;
  }

  bool inBoundingBoxUnits(std::string_view reference) const {
    const auto it = ids.find(referencedId(reference));
    if (it == ids.end()) return false;
    const std::string* units = node(it->second).attribute("clipPathUnits");
    return units && trim(*units) == "objectBoundingBox";
  }

  // The union of a clipPath's shapes in document coordinates, for an element whose user space
  // the frame's transform maps and whose user-space bounds are `box`.
  std::shared_ptr<BezierPath> clipPath(std::string_view reference, const Frame& f, const Rect& box) {
    const auto it = ids.find(referencedId(reference));
    if (it == ids.end() || node(it->second).name != "clipPath") return nullptr;
    const SVGNode& c = node(it->second);
    AffineTransform m = f.ctm;
    if (const std::string* t = c.attribute("transform"))
      if (auto own = parseSVGTransform(*t)) m.prependTransform(*own);
    if (const std::string* units = c.attribute("clipPathUnits"); units && trim(*units) == "objectBoundingBox") {
      AffineTransform unit;
      unit.setTransformStruct(box.size.width, 0, 0, box.size.height, box.origin.x, box.origin.y);
      m.prependTransform(unit);
    }
    auto clip = BezierPath::bezierPath();
    // Shapes, and groups and "use" references down to shapes, within the bounds on reuse.
    size_t visits = 0;
    std::function<void(int32_t, const AffineTransform&, int)> collect = [&](int32_t element, const AffineTransform& outer,
                                                                          int depth) {
      const SVGNode& s = node(element);
      if (const std::string* d = s.attribute("display"); d && trim(*d) == "none") return;
      if (depth > kMaxUseDepth || ++visits > kMaxUseVisits) return;
      AffineTransform own = outer;
      if (const std::string* t = s.attribute("transform"))
        if (auto ct = parseSVGTransform(*t)) own.prependTransform(*ct);
      if (s.name == "g") {
        for (int32_t child = s.firstChild; child >= 0; child = node(child).nextSibling) collect(child, own, depth);
      } else if (s.name == "use") {
        const std::string* href = s.attribute("href");
        if (!href) href = s.attribute("xlink:href");
        const auto target = href ? ids.find(referencedId(*href)) : ids.end();
        if (target == ids.end() || target->second == it->second) return;
        auto at = [&](const char* key, SVGAxis axis) {
          const std::string* t = s.attribute(key);
          return (t ? parseSVGLength(*t, f.lengths, axis) : std::nullopt).value_or(0);
        };
        AffineTransform offset;
        offset.translateXBy(at("x", SVGAxis::X), at("y", SVGAxis::Y));
        own.prependTransform(offset);
        collect(target->second, own, depth + 1);
      } else if (auto path = isShapeElement(s.name) ? svgShapePath(s.name, NodeAttributes(s), f.lengths) : nullptr) {
        path->transformUsingAffineTransform(own);
        if (const std::string* rule = s.attribute("clip-rule"); rule && trim(*rule) == "evenodd")
          clip->setWindingRule(EvenOddWindingRule);
        clip->appendBezierPath(*path);
      }
    };
    for (int32_t child = c.firstChild; child >= 0; child = node(child).nextSibling) collect(child, m, 0);
    return clip;
  }

  // Markers waiting to be drawn after the shape that places them: the marker and its content's
  // transform to the document.
  std::vector<std::pair<int32_t, AffineTransform>> pendingMarkers;

  // Places the shape's markers ("marker-start", "-mid", "-end") at the vertices of its
  // user-space `path`, turned along the path where "orient" is auto.
  void placeMarkers(const BezierPath& path, const Frame& f, double strokeWidth) {
    const Style& st = f.style;
    int32_t markers[3] = {-1, -1, -1};
    bool any = false;
    for (int i = 0; i < 3; ++i) {
      const std::string_view reference = st[size_t(P::MarkerStart) + size_t(i)];
      const auto it = reference.empty() ? ids.end() : ids.find(referencedId(reference));
      if (it != ids.end() && node(it->second).name == "marker") markers[i] = it->second, any = true;
    }
    if (!any) return;
    // Vertices with the directions the path arrives and leaves in; the initial move to the
    // origin that every path data starts with is no vertex.
    struct Vertex {
      Point at;
      double in, out;
    };
    std::vector<Vertex> vertices;
    using E = BezierPathElement;
    ElementWalk walk(path);
    Point last{};
    auto direction = [](Point from, Point to) { return std::atan2(to.y - from.y, to.x - from.x); };
    for (size_t i = 0; i < walk.size(); ++i) {
      const std::span<const Point> q = walk.points(i);
      const E kind = walk.kind(i);
      if (i == 0 && walk.size() > 1 && walk.kind(1) == E::MoveTo && q[0] == Point{0, 0}) continue;
      const Point end = walk.next(i);
      switch (kind) {
        case E::MoveTo: vertices.push_back({q[0], NAN, NAN}); last = q[0]; break;
        case E::LineTo: {
          const double a = direction(last, q[0]);
          if (!vertices.empty() && std::isnan(vertices.back().out)) vertices.back().out = a;
          vertices.push_back({q[0], a, NAN});
          last = q[0];
          break;
        }
        case E::CurveTo: {
          const Point c1 = q[0] == last ? q[1] : q[0], c2 = q[1] == q[2] ? q[0] : q[1];
          if (!vertices.empty() && std::isnan(vertices.back().out)) vertices.back().out = direction(last, c1);
          vertices.push_back({q[2], direction(c2, q[2]), NAN});
          last = q[2];
          break;
        }
        default: {
          const double a = direction(last, end);
          if (!vertices.empty() && std::isnan(vertices.back().out)) vertices.back().out = a;
          vertices.push_back({end, a, NAN});
          last = end;
          break;
        }
      }
    }
    for (size_t i = 0; i < vertices.size(); ++i) {
      const int which = i == 0 ? 0 : i + 1 == vertices.size() ? 2 : 1;
      const int32_t m = markers[which];
      if (m < 0) continue;
      const SVGNode& mk = node(m);
      const Vertex& v = vertices[i];
      double angle = 0;
      const std::string_view orient = mk.attribute("orient") ? trim(*mk.attribute("orient")) : std::string_view();
      if (orient == "auto" || orient == "auto-start-reverse") {
        const double in = std::isnan(v.in) ? v.out : v.in, out = std::isnan(v.out) ? v.in : v.out;
        angle = std::isnan(in) ? 0 : std::atan2(std::sin(in) + std::sin(out), std::cos(in) + std::cos(out));
        if (orient == "auto-start-reverse" && which == 0) angle += std::numbers::pi;
      } else if (!orient.empty()) {
        angle = leadingDouble(orient) * std::numbers::pi / 180;
      }
      auto length = [&](const char* key, double fallback) {
        const std::string* t = mk.attribute(key);
        return (t ? parseSVGLength(*t, f.lengths, SVGAxis::Other) : std::nullopt).value_or(fallback);
      };
      AffineTransform t = f.ctm, step;
      step.setTransformStruct(std::cos(angle), std::sin(angle), -std::sin(angle), std::cos(angle), v.at.x, v.at.y);
      t.prependTransform(step);
      const std::string* units = mk.attribute("markerUnits");
      if (!units || trim(*units) != "userSpaceOnUse") {
        AffineTransform scale;
        scale.scaleXBy(strokeWidth, strokeWidth);
        t.prependTransform(scale);
      }
      AffineTransform box;
      if (const std::string* vb = mk.attribute("viewBox")) {
        const std::vector<double> b = parseSVGNumberList(*vb);
        if (b.size() == 4 && b[2] > 0 && b[3] > 0) {
          const std::string* aspect = mk.attribute("preserveAspectRatio");
          box = viewBoxTransform(b.data(), {length("markerWidth", 3), length("markerHeight", 3)}, aspect ? *aspect : "");
        }
      }
      const Point ref = box.transformPoint({length("refX", 0), length("refY", 0)});
      AffineTransform back;
      back.translateXBy(-ref.x, -ref.y);
      t.prependTransform(back);
      t.prependTransform(box);
      pendingMarkers.emplace_back(m, t);
    }
  }

  void emit(std::shared_ptr<BezierPath> path, const Frame& f) {
    const Style& st = f.style;
    const std::string_view visibility = trim(st[size_t(P::Visibility)]);
    if (visibility == "hidden" || visibility == "collapse") return;
    const Rect box = drawnBounds(*path);
    const std::shared_ptr<const BezierPath> userPath = path->copy();
    if (!(f.ctm == AffineTransform())) path->transformUsingAffineTransform(f.ctm);
    // Stroke widths scale with the transform: by the geometric mean of its two scales when
    // they differ.
    const auto& m = f.ctm.transformStruct();
    const double scale = std::sqrt(std::fabs(m.m11 * m.m22 - m.m12 * m.m21));
    const std::string_view widthText = st[size_t(P::StrokeWidth)];
    double width = widthText.empty() ? 1 : parseSVGLength(widthText, f.lengths, SVGAxis::Other).value_or(1);
    if (!(width >= 0)) width = 1;
    path->setLineWidth(width * scale);
    const std::string_view cap = trim(st[size_t(P::StrokeLinecap)]);
    path->setLineCapStyle(cap == "round" ? RoundLineCapStyle : cap == "square" ? SquareLineCapStyle : ButtLineCapStyle);
    const std::string_view join = trim(st[size_t(P::StrokeLinejoin)]);
    path->setLineJoinStyle(join == "round"   ? RoundLineJoinStyle
                           : join == "bevel" ? BevelLineJoinStyle
                                             : MiterLineJoinStyle);
    const std::string_view miter = st[size_t(P::StrokeMiterlimit)];
    path->setMiterLimit(miter.empty() ? 4.0 : leadingDouble(miter));
    if (const std::string_view dashText = trim(st[size_t(P::StrokeDasharray)]); !dashText.empty() && dashText != "none") {
      std::vector<double> dash;
      bool valid = true;
      size_t p = 0;
      while (p < dashText.size()) {
        skipSVGSeparators(dashText, p);
        const size_t start = p;
        while (p < dashText.size() && !isSVGSeparator(dashText[p])) ++p;
        if (p == start) break;
        const auto v = parseSVGLength(dashText.substr(start, p - start), f.lengths, SVGAxis::Other);
        if (!v || !(*v >= 0)) valid = false;
        dash.push_back(v.value_or(0) * scale);
      }
      if (valid && !dash.empty()) {
        const std::string_view offset = st[size_t(P::StrokeDashoffset)];
        path->setLineDash(std::move(dash),
                          offset.empty() ? 0.0 : parseSVGLength(offset, f.lengths, SVGAxis::Other).value_or(0) * scale);
      }
    }
    path->setWindingRule(trim(st[size_t(P::FillRule)]) == "evenodd" ? EvenOddWindingRule : NonZeroWindingRule);

    int32_t fillGradient = -1, strokeGradient = -1;
    std::optional<Color> fill = paint(st[size_t(P::Fill)], st, true, &fillGradient);
    std::optional<Color> stroke = width > 0 ? paint(st[size_t(P::Stroke)], st, false, &strokeGradient) : std::nullopt;
    const double fillAlpha = opacityOf(st[size_t(P::FillOpacity)]) * f.opacity;
    const double strokeAlpha = opacityOf(st[size_t(P::StrokeOpacity)]) * f.opacity;
    if (fill) fill->alpha *= fillAlpha;
    if (stroke) stroke->alpha *= strokeAlpha;
    Entry finished;
    if (fill && fillGradient >= 0) {
      finished.fillGradient = gradient(fillGradient, box, f, fillAlpha);
      if (!finished.fillGradient) fill.reset();
    }
    if (stroke && strokeGradient >= 0) {
      finished.strokeGradient = gradient(strokeGradient, box, f, strokeAlpha);
      if (!finished.strokeGradient) stroke.reset();
    }
    finished.clips = f.clips;
    if (const std::string_view reference = trim(st[size_t(P::ClipPath)]); !reference.empty() && reference != "none")
      if (auto own = clipPath(reference, f, box)) finished.clips.push_back(own);
    const int strokefill = fill && stroke ? paint::kFillThenStroke : fill ? paint::kFillOnly : paint::kStrokeOnly;
    if (!fill && !stroke) path->setLineWidth(0);  // nothing painted: an entry that draws nothing
    const Color unpainted = Color::colorWithRed(0, 0, 0, fill || stroke ? 1 : 0);
    Value entry(std::make_shared<const Structure>(
        paint::entry(path, stroke.value_or(unpainted), fill.value_or(Color::colorWithRed(0, 0, 0, 1)), strokefill)));
    finished.path = std::move(path);
    finished.entry = std::move(entry);
    reader.allBezierPaths.push_back(std::move(finished));
    placeMarkers(*userPath, f, width);
  }

  void text(const Frame& f, const SVGNode& n) {
    const Style& st = f.style;
    auto first = [&](const char* key, SVGAxis axis) {
      const std::string* t = n.attribute(key);
      if (!t) return 0.0;
      size_t p = 0;
      skipSVGSeparators(*t, p);
      size_t e = p;
      while (e < t->size() && !isSVGSeparator((*t)[e])) ++e;
      return parseSVGLength(std::string_view(*t).substr(p, e - p), f.lengths, axis).value_or(0);
    };
    auto font = svgFont(st[size_t(P::FontFamily)], trim(st[size_t(P::FontWeight)]), trim(st[size_t(P::FontStyle)]),
                        f.lengths.fontSize);
    emit(svgTextPath(n.text, {first("x", SVGAxis::X), first("y", SVGAxis::Y)}, font.get(),
                     trim(st[size_t(P::TextAnchor)])),
         f);
    pendingMarkers.clear();  // markers belong to shapes only
  }

  // Visits the element of the top frame: draws it, or prepares the visit of its children.
  void enter() {
    const size_t top = stack.size() - 1;
    const int32_t index = stack[top].node;
    const SVGNode& n = node(index);
    stack[top].next = -1;
    if (trim(stack[top].style[size_t(P::Display)]) == "none") return;
    const std::string& name = n.name;
    if (isNonRendering(name) && !((name == "symbol" || name == "marker") && stack[top].viaUse)) return;
    if (name != "svg" && name != "symbol")
      if (auto t = ownTransform(n)) stack[top].ctm.prependTransform(*t);
    if (isShapeElement(name)) {
      std::shared_ptr<BezierPath> path;
      if (name == "path") {
        const std::string* d = n.attribute("d");
        size_t errorAt = 0;
        path = parseSVGPathData(d ? std::string_view(*d) : std::string_view(), &errorAt);
        if (d && errorAt < d->size() && !pathErrorLogged) {
          pathErrorLogged = true;
          reader.warn("path data has an error at byte " + std::to_string(errorAt) + " of \"" + d->substr(0, 60) +
                     (d->size() > 60 ? "..." : "") + "\"; such paths end where their error is");
        }
      } else {
        path = svgShapePath(name, NodeAttributes(n), stack[top].lengths);
      }
      if (path) emit(std::move(path), stack[top]);
      // The markers, first vertex on top of the stack so they are drawn in order; their content
      // inherits from the marker's own ancestors, not from the shape.
      const int depth = stack[top].useDepth;
      std::vector<std::pair<int32_t, AffineTransform>> markers;
      markers.swap(pendingMarkers);
      // A marker whose content places the same marker again is not drawn there.
      std::erase_if(markers, [&](const auto& m) { return onStack[size_t(m.first)] > 0; });
      for (auto it = markers.rbegin(); it != markers.rend(); ++it) {
        if (depth >= kMaxUseDepth || useVisits >= kMaxUseVisits) break;
        push(it->first, 0, true, nullptr, &ancestorsStyle(it->first));
        stack.back().ctm = it->second;
        stack.back().useDepth = depth + 1;
        stack.back().next = -3;  // entered as a marker: its children, no viewport of its own
      }
      return;
    }
    if (name == "text") {
      if (n.parent >= 0 && node(n.parent).name == "text") return;  // its characters are the outer text's
      text(stack[top], n);
      return;
    }
    // A clip path on a container limits everything drawn inside it (shapes take their own in
    // emit, relative to their own bounds).
    if (!isShapeElement(name) && name != "text")
      if (const std::string_view reference = trim(stack[top].style[size_t(P::ClipPath)]);
          !reference.empty() && reference != "none")
      {
        if (inBoundingBoxUnits(reference)) {
          stack[top].boxClip = true;
          stack[top].firstEntry = reader.allBezierPaths.size();
        } else if (auto clip = clipPath(reference, stack[top], Rect{{0, 0}, {1, 1}})) {
          stack[top].clips.push_back(clip);
        }
      }
    if (name == "use") {
      use(top, n);
      return;
    }
    if (name == "svg" || name == "symbol") {
      std::optional<Size> useSize;
      if (name == "symbol" || (stack[top].viaUse && top > 0)) {
        const SVGNode& u = node(stack[top - 1].node);
        const SVGLengthContext& c = stack[top - 1].lengths;
        auto side = [&](const char* key, SVGAxis axis, double whole) {
          const std::string* t = u.attribute(key);
          return (t ? parseSVGLength(*t, c, axis) : std::nullopt).value_or(whole);
        };
        if (stack[top].viaUse) useSize = Size{side("width", SVGAxis::X, c.width), side("height", SVGAxis::Y, c.height)};
      }
      const bool outermost = name == "svg" && top == 1;
      if (!enterViewport(stack[top], n, useSize, outermost)) return;
    }
    stack[top].next = n.firstChild;
  }

  void use(size_t top, const SVGNode& n) {
    const std::string* href = n.attribute("href");
    if (!href) href = n.attribute("xlink:href");
    if (!href) return;
    const auto it = ids.find(referencedId(*href));
    if (it == ids.end()) return;
    const int32_t target = it->second;
    if (onStack[size_t(target)] > 0) {
      reader.warn("\"use\" of \"" + *href + "\" refers to itself; the reference is not drawn");
      return;
    }
    if (stack[top].useDepth >= kMaxUseDepth || useVisits >= kMaxUseVisits) {
      reader.warn("\"use\" references nest deeper than 32 or instantiate more than 131 072 elements; the rest are not drawn");
      return;
    }
    const SVGLengthContext& c = stack[top].lengths;
    auto at = [&](const char* key, SVGAxis axis) {
      const std::string* t = n.attribute(key);
      return (t ? parseSVGLength(*t, c, axis) : std::nullopt).value_or(0);
    };
    AffineTransform offset;
    offset.translateXBy(at("x", SVGAxis::X), at("y", SVGAxis::Y));
    push(target, top, true, &offset);
  }

  // Attributes of a tree node for the shape reader.
  struct NodeAttributes : SVGAttributes {
    const SVGNode& n;
    explicit NodeAttributes(const SVGNode& node) : n(node) {}
    std::optional<std::string_view> attribute(std::string_view name) const override {
      const std::string* v = n.attribute(name);
      return v ? std::optional<std::string_view>(*v) : std::nullopt;
    }
    void forEach(const std::function<void(std::string_view, std::string_view)>& f) const override {
      for (const auto& [k, v] : n.attributes) f(k, v);
    }
  };

  void run() {
    if (tree.nodes.empty()) return;
    onStack.assign(tree.nodes.size(), 0);
    for (size_t i = 0; i < tree.nodes.size(); ++i) {
      const SVGNode& n = tree.nodes[i];
      if (const std::string* id = n.attribute("id")) ids.emplace(*id, int32_t(i));  // the first wins
      if (n.name == "style") {
        const std::string* type = n.attribute("type");
        if ((!type || trim(*type).empty() || trim(*type) == "text/css") && !sheet.add(n.text))
          reader.warn("more than 4096 style rules; the rest are ignored");
      }
    }
    Frame root;
    root.node = -1;
    stack.push_back(root);  // a frame above the document: initial values everywhere
    push(0, 0, false, nullptr);
    while (stack.size() > 1) {
      Frame& f = stack.back();
      if (f.next == -2) {
        if (f.useDepth > 0) ++useVisits;
        enter();
      } else if (f.next == -3) {
        ++useVisits;
        f.next = trim(f.style[size_t(P::Display)]) == "none" ? -1 : node(f.node).firstChild;
      } else if (f.next >= 0) {
        const int32_t child = f.next;
        f.next = node(child).nextSibling;
        if (f.useDepth == 0 || useVisits < kMaxUseVisits) push(child, stack.size() - 1, false, nullptr);
      } else {
        pop();
      }
    }
  }
};

void SVGReader::walkTree() {
  Walk walk{*this, tree_};
  walk.run();
}

namespace {

std::string percentDecoded(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size()) {
      const int h = hexDigit(s[i + 1]), l = hexDigit(s[i + 2]);
      // %00 would cut the name short at the system call; it is kept as written.
      if (h >= 0 && l >= 0 && (h | l) != 0) {
        out += char(h * 16 + l);
        i += 2;
        continue;
      }
    }
    out += s[i];
  }
  return out;
}

// The folder of a file URL ("file:///a/b/c.json" -> "/a/b"), or nothing for other URLs.
std::optional<std::string> folderOfFileURL(std::string_view url) {
  if (!url.starts_with("file:")) return std::nullopt;
  url.remove_prefix(5);
  if (url.starts_with("//")) {
    url.remove_prefix(2);
    const size_t slash = url.find('/');  // past the host part ("localhost" or nothing)
    if (slash == std::string_view::npos) return std::nullopt;
    url.remove_prefix(slash);
  }
  url = url.substr(0, url.find_first_of("?#"));
  if (!url.starts_with("/")) return std::nullopt;
  const std::string path = percentDecoded(url);
  const size_t last = path.find_last_of('/');
  return last == 0 ? std::string("/") : path.substr(0, last);
}

std::optional<std::string> homeOf(std::string_view user) {
  if (user.empty()) {
    if (const char* home = std::getenv("HOME"); home && *home) return std::string(home);
  }
  std::vector<char> buffer(16384);
  passwd entry{}, *result = nullptr;
  const int status = user.empty() ? getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result)
                                  : getpwnam_r(std::string(user).c_str(), &entry, buffer.data(), buffer.size(), &result);
  if (status != 0 || !result || !result->pw_dir) return std::nullopt;
  return std::string(result->pw_dir);
}

}  // namespace

std::string svgFileLocation(std::string_view s, std::optional<std::string_view> compositionURL) {
  if (s.starts_with("~")) {
    const size_t slash = s.find('/');
    const std::optional<std::string> home = homeOf(s.substr(1, slash == std::string_view::npos ? s.npos : slash - 1));
    if (!home) return std::string(s);
    return *home + std::string(slash == std::string_view::npos ? std::string_view() : s.substr(slash));
  }
  if (s.starts_with("/")) return std::string(s);
  // Without a composition location the name stays relative: the working directory resolves it.
  const std::optional<std::string> folder = compositionURL ? folderOfFileURL(*compositionURL) : std::nullopt;
  if (!folder) return std::string(s);
  return *folder + (folder->ends_with('/') ? "" : "/") + std::string(s);
}

}  // namespace vellum
