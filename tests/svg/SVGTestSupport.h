// Writing SVG files into a scratch folder, reading them with the SVG reader, and looking at the
// entries and paths that come out.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "svg/SVGReader.h"
#include "text/TextOutlines.h"
#include "tests/support/CapturedLog.h"
#include "tests/support/PathElements.h"

namespace vellum::svgtest {

using testing::CapturedLog;
using testing::El;
using testing::K;
namespace fs = std::filesystem;

// A folder of its own per test, removed afterwards.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& tag = "") {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = fs::temp_directory_path() /
            ("vellum-svg-" + std::to_string(::getpid()) + "-" + (info ? info->name() : std::string("x")) + tag);
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }
  fs::path write(const std::string& name, const std::string& content) const {
    const fs::path file = path_ / name;
    std::ofstream(file, std::ios::binary) << content;
    return file;
  }

 private:
  fs::path path_;
};

// The entries `reader` (or a reader of its own) makes of the file, as a structure: empty when the
// file cannot be read.
inline StructureRef readFile(const std::string& file, SVGReader* reader = nullptr) {
  SVGReader own;
  if (!reader) reader = &own;
  auto s = std::make_shared<Structure>();
  if (reader->read(file))
    for (const SVGReader::Entry& e : reader->allBezierPaths) s->addMember(e.entry);
  return s;
}

// The document, read from a scratch file in a folder of its own.
inline StructureRef readSVG(const std::string& document) {
  return readFile(ScratchFolder("-read").write("drawing.svg", document).string());
}

inline const Structure& entryAt(const StructureRef& s, size_t i) {
  static const Structure none;
  const StructureRef e = s ? s->memberAtIndex(i).structure() : nullptr;
  return e ? *e : none;
}

inline BezierPathRef pathAt(const StructureRef& s, size_t i) {
  return entryAt(s, i).memberForKey("path").objectAs<BezierPath>();
}

inline Color colorOf(const Structure& entry, const char* key) {
  const Color* c = entry.memberForKey(key).color();
  EXPECT_NE(c, nullptr) << key;
  return c ? *c : Color{-1, -1, -1, -1};
}

}  // namespace vellum::svgtest
