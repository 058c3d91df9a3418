// Writing SVG files into a scratch folder, reading them through the patch, and looking at the
// entries and paths that come out.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/Log.h"
#include "text/Font.h"
#include "text/TextOutlines.h"
#include "patches/sources/V2DBezierPathStructureWithSVGPatch.h"
#include "tests/support/CapturedLog.h"
#include "tests/support/PathElements.h"

namespace vellum::svgtest {

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

using vellum::testing::CapturedLog;

inline StructureRef readFile(const std::string& file) {
  V2DBezierPathStructureWithSVGPatch patch;
  patch.inputFile.setStringValue(file);
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));
  return patch.outputBezierPaths.structureValue();
}

// The document inside a scratch file, read through the patch.
inline StructureRef readSVG(const ScratchFolder& folder, const std::string& document) {
  return readFile(folder.write("drawing.svg", document).string());
}

// The same, in a folder of its own.
inline StructureRef readSVG(const std::string& document) { return readSVG(ScratchFolder("-read"), document); }

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
