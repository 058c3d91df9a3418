// What `vellum serve` holds: one running composition that the editor in the browser changes by
// messages. The handler is a plain function of a message, so that it is tested without sockets.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli/Composition.h"
#include "cli/JsonValue.h"

namespace vellum::cli {

// Answers the message {"kind": KIND, ...} (the kinds are listed in the README, "The editor"). Every answer is {"ok": true, ...} or {"ok": false, "error": TEXT}, with "patch" and
// "port" when the error belongs to one; a refused message leaves the session as it was.
class EditorSession {
 public:
  // Opens `file` when it exists; otherwise starts empty and saves to it. Throws UsageError when
  // the file is unusable.
  EditorSession(const NodeManager& manager, const std::filesystem::path& file);
  ~EditorSession();

  static constexpr size_t kMaxMessageBytes = 4 << 20;

  Json handle(const std::string& messageText);
  Json handle(const Json& message);

  const Composition& composition() const { return *composition_; }
  const std::filesystem::path& folder() const { return folder_; }
  double time() const { return time_; }

  // `name` as a file inside `folder`: relative, no "..", no "~", and no symbolic link on the
  // way. Throws UsageError naming it otherwise.
  static std::filesystem::path insideFolder(const std::filesystem::path& folder, const std::string& name);

  // A value as the editor previews it: images as straight-alpha RGBA in base64, mesh
  // structures as triangle arrays, everything else in the JSON form of values.
  static Json previewJson(const Value& value);

 private:
  Json dispatch(const std::string& kind, const Json& message);
  Json everything();
  Json nodeJson(const Composition::Node& node) const;
  Json evaluateAndReport(bool all);
  Json documentJson() const;
  void open(const std::filesystem::path& file);
  void replaceWith(const Json& document);
  void checkFileValues(const Json& value, const std::string& key) const;

  const NodeManager& manager_;
  std::filesystem::path folder_, file_;
  std::unique_ptr<Composition> composition_;
  std::map<std::string, std::pair<double, double>> positions_;
  double time_ = 0;
  bool playing_ = false;
  std::vector<Json> undo_, redo_;
  std::string lastEdit_;  // a run of changes to one input is undone in one step
  std::vector<std::string> logLines_;
};

}  // namespace vellum::cli
