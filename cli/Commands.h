// The vellum commands: `run`, `patches`, and the command line that picks one.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/Composition.h"
#include "cli/JsonValue.h"

namespace vellum::cli {

struct RunOptions {
  std::filesystem::path composition;
  double time = 0;
  std::optional<long> frames;  // a run of frames instead of one time
  double fps = 30;
  std::filesystem::path out = ".";
  LoadOptions load;
  bool json = false;
};

// Evaluates and writes the outputs; prints the --json document to `out`.
// Throws UsageError (exit 2) or std::exception (exit 1).
void runComposition(const RunOptions& options, const NodeManager& manager, std::ostream& out);

// Writes every published output of the frame just evaluated into `folder`, each file name
// carrying `frameSuffix` before its extension; answers {NAME: VALUE} when `wantJson`.
Json writeOutputs(const Composition& composition, const std::filesystem::path& folder, const std::string& frameSuffix,
                  bool wantJson);

// "image.png" with "-0007" is "image-0007.png".
std::string withFrameSuffix(const std::string& name, const std::string& suffix);

// The registered classes with their ports and class-level answers.
Json catalogueJson(const NodeManager& manager);
std::string catalogueText(const Json& catalogue);

// The whole program: parses the command line, answers the exit status.
int runVellum(int argc, char** argv);

}  // namespace vellum::cli
