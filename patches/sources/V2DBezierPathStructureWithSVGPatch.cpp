#include "patches/sources/V2DBezierPathStructureWithSVGPatch.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace vellum {

namespace {

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
    for (const SVGReader::Entry& e : reader.allBezierPaths) out->addMember(e.entry, std::to_string(index++));
  }
  reader.allBezierPaths.clear();
  outputBezierPaths.setStructureValue(StructureRef(std::move(out)));
  return true;
}

}  // namespace vellum
