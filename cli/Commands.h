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
  // False with --json and no --out: the outputs are only printed.
  bool writeFiles = true;
  LoadOptions load;
  bool json = false;
};

// What a frame wrote: each file with its kind ("image 480 x 320", "mesh, 12 triangles") and
// size, and a line for each output that its patch left empty.
struct WrittenFile {
  std::string output;  // the published name
  std::string file;    // relative to the output folder
  std::string kind;
  uintmax_t bytes = 0;
};
struct FrameReport {
  std::vector<WrittenFile> files;
  std::vector<std::pair<std::string, std::string>> empty;  // output name, why
};

// Evaluates and writes the outputs; prints the --json document to `out`, and lists what it
// wrote and which outputs came out empty on `report`.
// Throws UsageError (exit 2) or std::exception (exit 1).
void runComposition(const RunOptions& options, const NodeManager& manager, std::ostream& out, std::ostream& report);

// Writes every published output of the frame just evaluated into `folder` (unless not
// `writeFiles`), each file name carrying `frameSuffix` before its extension; answers
// {NAME: VALUE} when `wantJson`, and records what it wrote in `written`.
Json writeOutputs(const Composition& composition, const std::filesystem::path& folder, const std::string& frameSuffix,
                  bool wantJson, bool writeFiles = true, FrameReport* written = nullptr);

// "image.png" with "-0007" is "image-0007.png".
std::string withFrameSuffix(const std::string& name, const std::string& suffix);

// The registered classes with their ports and class-level answers; with a filter, only those
// whose class or display name holds it (case ignored).
Json catalogueJson(const NodeManager& manager, const std::string& filter = {});
std::string catalogueText(const Json& catalogue);
// The catalogue as the Markdown page docs/patches.md.
std::string catalogueMarkdown(const Json& catalogue);

// The whole program: parses the command line, answers the exit status.
int runVellum(int argc, char** argv);

}  // namespace vellum::cli
