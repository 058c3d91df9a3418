#include "cli/Plugins.h"

#include <algorithm>
#include <set>

#include "cli/JsonValue.h"
#include "host/Bundle.h"
#include "host/Exception.h"
#include "host/Log.h"

namespace vellum::cli {

namespace fs = std::filesystem;

std::vector<fs::path> defaultPluginFolders() { return {VELLUM_BUILD_PLUGIN_DIR, VELLUM_INSTALL_PLUGIN_DIR}; }

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
