// Shared helpers of the vellum tests: scratch folders, files, running the built binary.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/JsonValue.h"

namespace vellum {
// Failures show values in their JSON form.
inline void PrintTo(const Value& v, std::ostream* os) { *os << cli::dumpJson(cli::toJson(v)); }
}  // namespace vellum

namespace vellum::test {

namespace fs = std::filesystem;

// A fresh folder, removed with the test.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "vellum-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~ScratchFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

inline void writeFile(const fs::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary);
  out << text;
}

inline std::string readFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct RunResult {
  int status = -1;
  std::string out, err;
};

inline std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs the built vellum with the test plug-in added, in `folder`; arguments are shell-quoted.
inline RunResult runVellum(const fs::path& folder, const std::vector<std::string>& args, bool withPlugin = true) {
  std::string command = "cd " + quote(folder.string()) + " && " + quote(VELLUM_BINARY);
  for (const auto& a : args) command += " " + quote(a);
  if (withPlugin) command += " --plugin-path " + quote(TEST_PLUGIN);
  command += " >" + quote((folder / ".stdout").string()) + " 2>" + quote((folder / ".stderr").string()) + " </dev/null";
  int raw = std::system(command.c_str());
  RunResult r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = readFile(folder / ".stdout");
  r.err = readFile(folder / ".stderr");
  return r;
}

}  // namespace vellum::test
