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
    // As the file or the editor gave them, so that saving writes them back unchanged.
    Json inputs = Json::object();
    Json state;  // null when none was given
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

  // Live edits, as `vellum serve` makes them. Each checks what loading a file checks and throws
  // UsageError with the same message, leaving the composition as it was.
  Node& addPatch(const std::string& id, const std::string& className, const NodeManager& manager,
                 const Json& state = Json(), bool safeOnly = false);
  void removePatch(const std::string& id);
  // "PATCH.outputPort" to "PATCH.inputPort"; also refuses a connection that would close a loop.
  void connect(const std::string& from, const std::string& to);
  // Answers whether the input had a connection.
  bool disconnect(const std::string& to);
  void setInput(const std::string& path, const Json& value);
  void publish(const std::string& name, const std::string& path);
  bool unpublish(const std::string& name);
  // The composition in its file form (without the "editor" member).
  Json toJson() const;
  // Why an output cannot feed an input, as the host's connection rule answers; empty when it can.
  static std::string connectionRefusal(const Port& output, const Port& input);

  // evaluate(), also pulling `alsoPull` (the patches whose outputs an editor shows).
  void evaluate(double time, const std::vector<Node*>& alsoPull);

  const std::vector<Output>& outputs() const { return outputs_; }
  const std::vector<std::unique_ptr<Node>>& nodes() const { return nodes_; }
  Node* node(std::string_view id) const;
  const std::filesystem::path& file() const { return file_; }

 private:
  Composition() = default;
  void pull(Node& node, double time);
  Port* findPort(const std::string& patchId, const std::string& key, bool input, const std::string& patch,
                 const std::string& port) const;
  void addLink(const std::string& from, const std::string& to);
  void setInputOf(const std::string& patchId, const std::string& key, const Json& value);
  void execute(Node& node, double time);

  std::filesystem::path file_;
  std::string shownFile_;  // the file as it was named, first in every message
  std::vector<std::unique_ptr<Node>> nodes_;
  std::vector<Output> outputs_;
  uint64_t frame_ = 0;
  bool started_ = false, stopped_ = false;
};

// "file:///abs/path" with the characters a URL cannot hold percent-encoded.
std::string fileURL(const std::filesystem::path& absolutePath);

}  // namespace vellum::cli
