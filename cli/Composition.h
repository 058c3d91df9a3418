// A loaded composition: its patches, connections and published outputs, and the pull-based
// evaluation that runs them.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cli/JsonValue.h"
#include "host/NodeManager.h"

namespace vellum::cli {

struct LoadOptions {
  // "PATCH.PORT=JSON" overrides, applied after the file's own inputs.
  std::vector<std::string> sets;
  // Refuse classes that answer isSafe NO.
  bool safe = false;
};

class Composition {
 public:
  struct Node;
  struct Link {
    Port* input;
    Node* from;
    Port* output;
  };
  struct Node {
    std::string id;
    std::string classAsWritten;  // the class or display name the file gave, for messages
    const PatchClass* patchClass = nullptr;
    std::unique_ptr<Patch> patch;
    std::vector<Link> links;  // one per connected input
    uint64_t lastFrame = 0;   // the frame it was last pulled in; 0 before the first
    uint64_t executions = 0;
    bool started = false;     // setup and enable ran
  };
  struct Output {
    std::string name;       // as published, extension included
    std::string extension;  // lower case, without the dot; empty for none
    Node* node;
    Port* port;
  };

  // Reads and checks a composition file; throws UsageError (message naming the file, the patch
  // and the port) when it is unusable.
  static std::unique_ptr<Composition> load(const std::filesystem::path& file, const NodeManager& manager,
                                           const LoadOptions& options = {});
  // The same from JSON already read; `file` names it in messages and anchors relative files.
  static std::unique_ptr<Composition> fromJson(const Json& json, const std::filesystem::path& file,
                                               const NodeManager& manager, const LoadOptions& options = {});
  ~Composition();

  // setup and enable every patch, in file order (once).
  void start();
  // Pulls every published output at `time`: each patch they depend on runs at most once,
  // upstream first.
  void evaluate(double time);
  // disable and cleanup every started patch, in reverse order (once).
  void stop();

  const std::vector<Output>& outputs() const { return outputs_; }
  const std::vector<std::unique_ptr<Node>>& nodes() const { return nodes_; }
  Node* node(std::string_view id) const;
  const std::filesystem::path& file() const { return file_; }

 private:
  Composition() = default;
  void pull(Node& node, double time);
  void execute(Node& node, double time);

  std::filesystem::path file_;
  std::vector<std::unique_ptr<Node>> nodes_;
  std::vector<Output> outputs_;
  uint64_t frame_ = 0;
  bool started_ = false, stopped_ = false;
};

// "file:///abs/path" with the characters a URL cannot hold percent-encoded.
std::string fileURL(const std::filesystem::path& absolutePath);

}  // namespace vellum::cli
