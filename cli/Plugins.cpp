#include "cli/Plugins.h"

#include <algorithm>
#include <set>

#include "cli/JsonValue.h"
#include "host/Bundle.h"
#include "host/Exception.h"
#include "host/Log.h"

namespace vellum::cli {

namespace fs = std::filesystem;

fs::path programFolder() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : self.parent_path();
}

bool runningFromBuild() {
  std::error_code ec;
  const fs::path build = fs::weakly_canonical(VELLUM_BUILD_DIR, ec);
  const fs::path here = programFolder();
  if (ec || here.empty()) return false;
  // The build's vellum, or a test; not a package installed into a folder of the build.
  const auto within = [&](const fs::path& folder) {
    return std::mismatch(folder.begin(), folder.end(), here.begin(), here.end()).first == folder.end();
  };
  return here == build / "cli" || within(build / "tests");
}

std::vector<fs::path> defaultPluginFolders() {
  if (runningFromBuild()) return {VELLUM_BUILD_PLUGIN_DIR, VELLUM_INSTALL_PLUGIN_DIR};
  std::vector<fs::path> folders;
  if (const fs::path here = programFolder(); !here.empty())
    folders.push_back((here / VELLUM_PLUGIN_DIR_FROM_PROGRAM).lexically_normal());
  if (folders.empty() || folders[0] != fs::path(VELLUM_INSTALL_PLUGIN_DIR)) folders.emplace_back(VELLUM_INSTALL_PLUGIN_DIR);
  return folders;
}

namespace {

std::vector<fs::path> pluginFiles(const fs::path& folder) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec))
    if (entry.path().extension() == ".so" && (entry.is_regular_file() || entry.is_symlink())) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

size_t loadPlugins(NodeManager& manager, const std::vector<fs::path>& defaults, const std::vector<fs::path>& extra) {
  std::vector<fs::path> files;
  for (const fs::path& folder : defaults)
    if (fs::is_directory(folder))
      for (auto& f : pluginFiles(folder)) files.push_back(f);
  for (const fs::path& path : extra) {
    if (fs::is_directory(path)) {
      for (auto& f : pluginFiles(path)) files.push_back(f);
    } else if (fs::is_regular_file(path)) {
      files.push_back(path);
    } else {
      throw UsageError("--plugin-path " + path.string() + ": no such folder or file");
    }
  }
  // A folder named twice (the build folder given again, say) is one bundle, registered once.
  std::set<const Bundle*> registered;
  for (const fs::path& file : files) {
    try {
      Bundle& bundle = Bundle::load(file.string());
      if (registered.insert(&bundle).second) bundle.registerNodesWithManager(manager);
    } catch (const vellum::Exception& e) {
      vellum::log(std::string("vellum: ") + e.what());
    }
  }
  return registered.size();
}

}  // namespace vellum::cli
