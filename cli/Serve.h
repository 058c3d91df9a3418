// `vellum serve`: the editor's page and its messages over HTTP, for one composition.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>

#include "host/NodeManager.h"

namespace vellum::cli {

struct ServeOptions {
  std::filesystem::path composition = "untitled.json";
  int port = 8470;  // 0 picks a free one
  std::string host = "127.0.0.1";
  std::filesystem::path webFolder;  // the built page; empty for the build's own
};

// Serves until SIGINT or SIGTERM; prints the address on `out` once it listens. Throws
// UsageError when the composition or the address is unusable.
void serve(const ServeOptions& options, const NodeManager& manager, std::ostream& out);

// The built editor page: the build's for a program in the build tree, else the one installed
// beside the program, else the configured installed one.
std::filesystem::path defaultWebFolder();

}  // namespace vellum::cli
