// Finding and loading plug-ins into one node manager.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "host/NodeManager.h"

namespace vellum::cli {

// The folder of the running program; empty when it cannot be told.
std::filesystem::path programFolder();
// True when the running program lives in the build tree (the build's vellum, its tests).
bool runningFromBuild();

// The build's plug-in folder, then the installed one; an installed vellum has no build of its
// own and looks beside itself first.
std::vector<std::filesystem::path> defaultPluginFolders();

// Loads every *.so of each folder (sorted by name; a path naming a .so file loads that file)
// and has each bundle register its classes with `manager`, each bundle once. A file that is no
// plug-in is logged and skipped. Missing default folders are skipped; a missing `extra` path
// throws UsageError. Answers the number of bundles registered.
size_t loadPlugins(NodeManager& manager, const std::vector<std::filesystem::path>& defaults,
                   const std::vector<std::filesystem::path>& extra);

}  // namespace vellum::cli
