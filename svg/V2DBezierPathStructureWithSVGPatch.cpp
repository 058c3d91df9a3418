#include "svg/V2DBezierPathStructureWithSVGPatch.h"

#include <expat.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "host/Log.h"
#include "patches/render/V2DImageWithBezierPathStructurePatch.h"

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

std::string percentDecoded(std::string_view s) {
  auto hex = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size()) {
      const int h = hex(s[i + 1]), l = hex(s[i + 2]);
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

// Makes a failing callback stop the parser instead of unwinding through C frames.
struct ReadContext {
  V2DBezierPathStructureWithSVGPatch* patch;
  XML_Parser parser;
  bool failed = false;
};

template <class F>
void guarded(void* data, F&& f) {
  auto* c = static_cast<ReadContext*>(data);
  if (c->failed) return;
  try {
    f(*c->patch);
  } catch (const std::exception&) {
    c->failed = true;
    XML_StopParser(c->parser, XML_FALSE);
  }
}

void XMLCALL startElement(void* data, const XML_Char* name, const XML_Char** attributes) {
  guarded(data, [&](V2DBezierPathStructureWithSVGPatch& p) { p.didStartElement(name, ExpatAttributes(attributes)); });
}

void XMLCALL endElement(void* data, const XML_Char* name) {
  guarded(data, [&](V2DBezierPathStructureWithSVGPatch& p) { p.didEndElement(name); });
}

void XMLCALL characterData(void* data, const XML_Char* s, int length) {
  guarded(data, [&](V2DBezierPathStructureWithSVGPatch& p) { p.foundCharacters(std::string_view(s, size_t(length))); });
}

bool isShapeElement(std::string_view name) {
  return name == "path" || name == "rect" || name == "ellipse" || name == "circle" || name == "line" ||
         name == "polyline" || name == "polygon";
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

V2DBezierPathStructureWithSVGPatch::V2DBezierPathStructureWithSVGPatch(const std::string& identifier)
    : Patch(identifier) {
  userInfo().setMember("Vellum Vector With SVG", "name");
}

bool V2DBezierPathStructureWithSVGPatch::execute(ExecutionContext*, double, const Arguments&) {
  const std::string file = inputFile.stringValue();
  if (file.empty()) {
    outputBezierPaths.setStructureValue(StructureRef());
    return true;
  }
  std::optional<std::string_view> url;
  const StructureRef options = _getUserInfo(".options").structure();
  if (options)
    if (const std::string* s = options->memberForKey("compositionURL").string()) url = *s;
  const bool read = _parseSVG(svgFileLocation(file, url));

  auto out = std::make_shared<Structure>();
  if (read) {
    size_t index = 0;
    for (const Entry& e : allBezierPaths) out->addMember(e.entry, std::to_string(index++));
  }
  allBezierPaths.clear();
  outputBezierPaths.setStructureValue(StructureRef(std::move(out)));
  return true;
}

bool V2DBezierPathStructureWithSVGPatch::_parseSVG(const std::string& path) {
  allBezierPaths.clear();
  groupStack.clear();
  groupValues.clear();
  currTextAttributes.reset();
  currText.reset();

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

  groupStack.clear();
  groupValues.clear();
  currTextAttributes.reset();
  currText.reset();
  if (!ok) {
    allBezierPaths.clear();
    return false;
  }

  // The document is y down; flip it within the height of everything drawn (which always
  // reaches down to the origin), so content keeps its distance from the document's top edge.
  Structure::List members;
  members.reserve(allBezierPaths.size());
  for (const Entry& e : allBezierPaths) members.push_back({std::nullopt, e.entry});
  const double height = bezierPathStructureBounds(members, false).size.height;
  AffineTransform flip;
  flip.setTransformStruct(1, 0, 0, -1, 0, height);
  for (const Entry& e : allBezierPaths) e.path->transformUsingAffineTransform(flip);
  return true;
}

void V2DBezierPathStructureWithSVGPatch::didStartElement(std::string_view name, const SVGAttributes& attributes) {
  if (name == "svg") {
    pushGroup(std::nullopt, nullptr);
  } else if (name == "g") {
    pushGroup(parseSVGTransform(attributes.text("transform")), &attributes);
  } else if (isShapeElement(name)) {
    addBezierPath(svgShapePath(name, attributes), attributes);
  } else if (name == "text") {
    std::vector<std::pair<std::string, std::string>> pairs;
    attributes.forEach([&](std::string_view n, std::string_view v) { pairs.emplace_back(n, v); });
    currTextAttributes.emplace(std::move(pairs));
    currText.emplace();
  }
}

void V2DBezierPathStructureWithSVGPatch::foundCharacters(std::string_view characters) {
  if (currText) currText->append(characters);
}

void V2DBezierPathStructureWithSVGPatch::didEndElement(std::string_view name) {
  if (name == "svg" || name == "g") {
    popGroup();
  } else if (name == "text" && currText) {
    // A "text" nested in another has already ended the outer one's collecting: the outer end
    // then finds no open text and adds nothing.
    addBezierPath(svgTextPath(*currText, *currTextAttributes), *currTextAttributes);
    currTextAttributes.reset();
    currText.reset();
  }
}

void V2DBezierPathStructureWithSVGPatch::parseErrorOccurred(const std::string& description) {
  complain_(description,
            [&] { return "[V2DBezierPathStructureWithSVGPatch parser:parseErrorOccurred:]  parseError = '" + description + "'"; });
}

void V2DBezierPathStructureWithSVGPatch::unreadable(const std::string& path, const std::string& why) {
  complain_(path + '\n' + why, [&] {
    return "[V2DBezierPathStructureWithSVGPatch execute:time:arguments:]  inputFile: cannot read \"" + path + "\": " + why +
           "; the output is an empty structure. A relative name is found in the composition's folder.";
  });
}

void V2DBezierPathStructureWithSVGPatch::pushGroup(const std::optional<AffineTransform>& transform,
                                                   const SVGAttributes* attributes) {
  GroupRecord record;
  if (!groupStack.empty()) {
    const GroupRecord& parent = groupStack.back();
    record.transform = parent.transform;
    record.transformed = parent.transformed;
    record.inherited = parent.inherited;
  }
  record.valueMark = groupValues.size();
  if (transform && !(*transform == AffineTransform())) {
    record.transform.prependTransform(*transform);
    record.transformed = true;
  }
  if (attributes)
    attributes->forEach([&](std::string_view n, std::string_view v) {
      if (!svgStyleAttributeForName(n)) return;
      groupValues.emplace_back(v);
      record.inherited.set(n, groupValues.back());
    });
  groupStack.push_back(std::move(record));
}

void V2DBezierPathStructureWithSVGPatch::popGroup() {
  if (groupStack.empty()) return;
  const size_t mark = groupStack.back().valueMark;
  groupStack.pop_back();
  while (groupValues.size() > mark) groupValues.pop_back();
}

void V2DBezierPathStructureWithSVGPatch::addBezierPath(std::shared_ptr<BezierPath> path,
                                                       const SVGAttributes& attributes) {
  const GroupRecord* group = groupStack.empty() ? nullptr : &groupStack.back();
  // The element's own transform acts first, then its groups' from the innermost outward.
  std::optional<AffineTransform> own;
  if (auto text = attributes.attribute("transform")) own = parseSVGTransform(*text);
  if (own || (group && group->transformed)) {
    AffineTransform m = group ? group->transform : AffineTransform();
    if (own) m.prependTransform(*own);
    if (!(m == AffineTransform())) path->transformUsingAffineTransform(m);
  }
  // The element's own attributes win over the inherited ones.
  SVGStyleAttributes style = group ? group->inherited : SVGStyleAttributes{};
  attributes.forEach([&](std::string_view n, std::string_view v) { style.set(n, v); });
  const SVGPaint paint = applySVGStyle(*path, style);
  Value entry(std::make_shared<const Structure>(Structure::withMembersAndKeys({
      {"path", Value(ObjectRef(path))},
      {"stroke", paint.stroke},
      {"fill", paint.fill},
      {"strokefill", paint.strokefill},
  })));
  allBezierPaths.push_back({std::move(path), std::move(entry)});
}

}  // namespace vellum
