#include "cli/EditorSession.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <set>
#include <sstream>

#include "cli/Commands.h"
#include "cli/Exporters.h"
#include "cli/Suggest.h"
#include "host/Image.h"
#include "host/Log.h"
#include "host/Patch.h"

namespace vellum::cli {

namespace fs = std::filesystem;

namespace {

// Each kind with the members it may carry besides "kind"; anything else is refused, so that a
// misspelt member is not silently ignored.
const std::map<std::string, std::vector<std::string>>& kinds() {
  static const std::map<std::string, std::vector<std::string>> table = {
      {"hello", {}},
      {"add", {"class", "id", "state", "position"}},
      {"remove", {"id"}},
      {"duplicate", {"id", "position"}},
      {"connect", {"from", "to"}},
      {"disconnect", {"to"}},
      {"set", {"port", "value", "merge"}},
      {"move", {"id", "position"}},
      {"time", {"time"}},
      {"play", {}},
      {"pause", {}},
      {"publish", {"name", "port"}},
      {"unpublish", {"name"}},
      {"undo", {}},
      {"redo", {}},
      {"files", {}},
      {"open", {"file"}},
      {"save", {"file"}},
  };
  return table;
}

const size_t kMaxName = 256;
const size_t kMaxUndo = 200;

std::string text(const Json& message, const char* member, bool required = true) {
  if (!message.contains(member)) {
    if (required) throw UsageError(std::string("the message needs \"") + member + "\"");
    return {};
  }
  const Json& v = message[member];
  if (!v.is_string()) throw UsageError(std::string("\"") + member + "\" must be a string, not " + v.dump());
  std::string s = v.get<std::string>();
  if (s.empty()) throw UsageError(std::string("\"") + member + "\" must not be empty");
  if (s.size() > kMaxName) throw UsageError(std::string("\"") + member + "\" is too long (" + std::to_string(s.size()) + " characters)");
  return s;
}

std::optional<std::pair<double, double>> position(const Json& message) {
  if (!message.contains("position")) return std::nullopt;
  const Json& p = message["position"];
  if (!p.is_array() || p.size() != 2 || !p[0].is_number() || !p[1].is_number() ||
      !std::isfinite(p[0].get<double>()) || !std::isfinite(p[1].get<double>()))
    throw UsageError("\"position\" must be [x, y], two finite numbers, not " + p.dump());
  return std::pair{p[0].get<double>(), p[1].get<double>()};
}

std::string base64(const uint8_t* data, size_t n) {
  static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((n + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < n; i += 3) {
    uint32_t v = uint32_t(data[i]) << 16 | uint32_t(data[i + 1]) << 8 | data[i + 2];
    out += digits[v >> 18];
    out += digits[(v >> 12) & 63];
    out += digits[(v >> 6) & 63];
    out += digits[v & 63];
  }
  if (i < n) {
    uint32_t v = uint32_t(data[i]) << 16 | (i + 1 < n ? uint32_t(data[i + 1]) << 8 : 0);
    out += digits[v >> 18];
    out += digits[(v >> 12) & 63];
    out += i + 1 < n ? digits[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

Json floats(const std::vector<float>& values) {
  Json a = Json::array();
  for (float f : values) a.push_back(std::isfinite(f) ? floatAsDouble(f) : 0.0);
  return a;
}

// A mesh structure's members are vertices keyed "X", "Y", "Z", "NX", "NY", "NZ".
bool isMesh(const Value& value) {
  StructureRef s = value.structure();
  if (!s || s->empty()) return false;
  StructureRef first = s->memberAtIndex(0).structure();
  return first && first->hasKey("NX") && first->hasKey("X");
}

}  // namespace

EditorSession::EditorSession(const NodeManager& manager, const fs::path& file) : manager_(manager) {
  std::error_code ec;
  file_ = fs::absolute(file, ec).lexically_normal();
  folder_ = file_.parent_path();
  if (fs::exists(file_, ec)) {
    open(file_);
  } else {
    composition_ = Composition::fromJson(Json::object(), file_, manager_);
    composition_->start();
  }
}

EditorSession::~EditorSession() = default;

fs::path EditorSession::insideFolder(const fs::path& folder, const std::string& name) {
  auto refuse = [&](const std::string& why) { throw UsageError("'" + name + "': " + why); };
  if (name.empty()) refuse("a file name is needed");
  fs::path p(name);
  if (p.is_absolute() || name.starts_with("~"))
    refuse("refused: a file is named relative to the composition's folder, and stays inside it");
  fs::path at = folder;
  for (const fs::path& part : p) {
    if (part == "..") refuse("\"..\" is refused: only files in the composition's folder can be used");
    if (part == "." || part.empty()) continue;
    at /= part;
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(at, ec))) refuse("symbolic links are refused");
  }
  return at;
}

void EditorSession::checkFileValues(const Json& value, const std::string& key) const {
  // File names reach patches as the strings of inputs named "...File", and as {"$image": NAME}.
  if (key.ends_with("File") && value.is_string() && !value.get<std::string>().empty())
    insideFolder(folder_, value.get<std::string>());
  if (value.is_object()) {
    if (auto it = value.find("$image"); it != value.end() && it->is_string()) insideFolder(folder_, it->get<std::string>());
    for (const auto& [k, v] : value.items()) checkFileValues(v, k);
  } else if (value.is_array()) {
    for (const Json& v : value) checkFileValues(v, "");
  }
}

void EditorSession::open(const fs::path& file) {
  auto next = Composition::load(file, manager_);
  // A composition opened here may only name files of its own folder, as edits may.
  for (const auto& n : next->nodes())
    for (const auto& [key, value] : n->inputs.items()) {
      try {
        checkFileValues(value, key);
      } catch (const UsageError& e) {
        throw UsageError(file.filename().string() + ": patch '" + n->id + "', port '" + key + "': " + e.what());
      }
    }
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const Json document = parseJson(text.str(), file.string());
  positions_.clear();
  if (const auto editor = document.find("editor"); editor != document.end() && editor->is_object())
    if (const auto saved = editor->find("positions"); saved != editor->end() && saved->is_object())
      for (const auto& [id, p] : saved->items())
        if (p.is_array() && p.size() == 2 && p[0].is_number() && p[1].is_number())
          positions_[id] = {p[0].get<double>(), p[1].get<double>()};
  composition_ = std::move(next);
  composition_->start();
  file_ = file;
  undo_.clear();
  redo_.clear();
  lastEdit_.clear();
}

Json EditorSession::documentJson() const {
  Json document = composition_->toJson();
  Json positions = Json::object();
  for (const auto& n : composition_->nodes())
    if (auto it = positions_.find(n->id); it != positions_.end())
      positions[n->id] = Json::array({it->second.first, it->second.second});
  if (!positions.empty()) document["editor"] = {{"positions", positions}};
  return document;
}

void EditorSession::replaceWith(const Json& document) {
  composition_ = Composition::fromJson(document, file_, manager_);
  composition_->start();
  positions_.clear();
  if (document.contains("editor"))
    for (const auto& [id, p] : document["editor"]["positions"].items())
      positions_[id] = {p[0].get<double>(), p[1].get<double>()};
}

Json EditorSession::nodeJson(const Composition::Node& node) const {
  Json ports = Json::array();
  for (bool inputs : {true, false})
    for (Port* p : inputs ? node.patch->inputPorts() : node.patch->outputPorts()) {
      Json port = {{"key", p->key()}, {"direction", inputs ? "input" : "output"}, {"portClass", p->portClassName()}};
      for (const auto& m : p->attributes())
        if (auto key = m.key()) port[*key] = toJson(m.value);
      for (const auto& [key, names] : node.patchClass->indexChoices)
        if (key == p->key()) port["choices"] = names;
      if (inputs) {
        try {
          port["value"] = toJson(p->value());
        } catch (const std::exception&) {
          port["value"] = nullptr;
        }
        for (const auto& l : node.links)
          if (l.input == p) port["connected"] = l.from->id + "." + l.output->key();
      }
      ports.push_back(port);
    }
  Json j = {{"id", node.id},
            {"class", node.classAsWritten},
            {"className", node.patchClass->name},
            {"displayName", node.patchClass->displayName},
            {"description", node.patchClass->description},
            {"ports", ports}};
  if (auto it = positions_.find(node.id); it != positions_.end())
    j["position"] = Json::array({it->second.first, it->second.second});
  return j;
}

Json EditorSession::previewJson(const Value& value) {
  if (value.kind() == Value::Kind::Image) {
    ImageRef image = value.image();
    if (!image) return nullptr;
    const int w = image->width(), h = image->height();
    if (size_t(w) * size_t(h) > (16u << 20)) return {{"$image", {{"width", w}, {"height", h}, {"omitted", true}}}};
    // Canvas pixels are straight alpha; the host's are premultiplied.
    std::vector<uint8_t> rgba(image->data());
    for (size_t i = 0; i + 3 < rgba.size(); i += 4) {
      const unsigned a = rgba[i + 3];
      if (a == 0 || a == 255) continue;
      for (int c = 0; c < 3; ++c) rgba[i + c] = uint8_t(std::min(255u, (rgba[i + c] * 255u + a / 2) / a));
    }
    return {{"$image", {{"width", w}, {"height", h}, {"rgba", base64(rgba.data(), rgba.size())}}}};
  }
  if (value.kind() == Value::Kind::Structure) {
    if (isLineList(value)) {
      LineList lines = lineListFromValue(value);
      if (lines.segmentCount() <= 500000) {
        Json positions = Json::array();
        for (double d : lines.positions) positions.push_back(std::isfinite(d) ? d : 0.0);
        return {{"$lines", {{"positions", positions}, {"segments", lines.segmentCount()}}}};
      }
    } else if (isMesh(value)) {
      Mesh mesh = meshFromValue(value);
      if (mesh.triangleCount() <= 500000)
        return {{"$mesh", {{"positions", floats(mesh.positions)}, {"normals", floats(mesh.normals)},
                           {"triangles", mesh.triangleCount()}}}};
    }
    if (value.structure() && value.structure()->count() > 100000)
      return {{"$omitted", "a structure of " + std::to_string(value.structure()->count()) + " members"}};
  }
  try {
    return toJson(value);
  } catch (const std::exception& e) {
    return {{"$omitted", e.what()}};
  }
}

Json EditorSession::evaluateAndReport(bool all) {
  std::map<const Composition::Node*, uint64_t> before;
  std::vector<Composition::Node*> nodes;
  for (const auto& n : composition_->nodes()) {
    before[n.get()] = n->executions;
    nodes.push_back(n.get());
  }
  composition_->evaluate(time_, nodes);
  Json values = Json::object(), executed = Json::array();
  for (Composition::Node* n : nodes) {
    const bool ran = n->executions != before[n];
    if (ran) executed.push_back(n->id);
    if (!ran && !all) continue;
    Json outputs = Json::object();
    for (Port* p : n->patch->outputPorts()) outputs[p->key()] = previewJson(p->value());
    values[n->id] = outputs;
  }
  return {{"values", values}, {"executed", executed}, {"time", time_}};
}

Json EditorSession::everything() {
  Json reply = evaluateAndReport(true);
  Json nodes = Json::array();
  for (const auto& n : composition_->nodes()) nodes.push_back(nodeJson(*n));
  reply["nodes"] = nodes;
  reply["document"] = documentJson();
  reply["file"] = fs::relative(file_, folder_).generic_string();
  reply["playing"] = playing_;
  return reply;
}

Json EditorSession::handle(const std::string& messageText) {
  if (messageText.size() > kMaxMessageBytes)
    return {{"ok", false},
            {"error", "the message is too large (" + std::to_string(messageText.size()) + " bytes; at most " +
                          std::to_string(kMaxMessageBytes) + ")"}};
  Json message;
  try {
    message = parseJson(messageText, "the message");
  } catch (const UsageError& e) {
    return {{"ok", false}, {"error", e.what()}};
  }
  return handle(message);
}

Json EditorSession::handle(const Json& message) {
  logLines_.clear();
  LogSink previous = setLogSink([this](const std::string& line) {
    if (logLines_.size() < 1000) logLines_.push_back(line);
  });
  struct Restore {
    LogSink& previous;
    ~Restore() { setLogSink(std::move(previous)); }
  } restore{previous};

  Json reply;
  std::string kind;
  try {
    if (!message.is_object() || !message.contains("kind") || !message["kind"].is_string())
      throw UsageError("a message is a JSON object with a \"kind\"");
    kind = message["kind"].get<std::string>();
    auto known = kinds().find(kind);
    if (known == kinds().end()) {
      std::vector<std::string> names;
      for (const auto& [name, _] : kinds()) names.push_back(name);
      throw UsageError("unknown kind of message '" + kind + "'" + didYouMean(kind, names));
    }
    for (const auto& [member, _] : message.items())
      if (member != "kind" && std::find(known->second.begin(), known->second.end(), member) == known->second.end())
        throw UsageError("a '" + kind + "' message has no member \"" + member + "\"");
    reply = dispatch(kind, message);
    reply["ok"] = true;
  } catch (const std::exception& e) {
    reply = {{"ok", false}, {"error", e.what()}};
    // Say which patch and port the refusal is about, so that the editor shows it there.
    std::string about;
    for (const char* member : {"port", "to", "id"})
      if (message.is_object() && message.contains(member) && message[member].is_string()) {
        about = message[member].get<std::string>();
        break;
      }
    if (!about.empty()) {
      const auto dot = about.rfind('.');
      const std::string id = (message.contains("id") || dot == std::string::npos) ? about : about.substr(0, dot);
      if (composition_->node(id)) {
        reply["patch"] = id;
        if (id != about) reply["port"] = about.substr(dot + 1);
      }
    }
  }

  // Log lines go to the patch they name; a patch that ran and said nothing has no errors now.
  Json errors = Json::object(), other = Json::array();
  if (reply.contains("executed"))
    for (const Json& id : reply["executed"]) errors[id.get<std::string>()] = Json::array();
  for (const std::string& line : logLines_) {
    const Composition::Node* owner = nullptr;
    for (const auto& n : composition_->nodes())
      if (line.starts_with("vellum: patch '" + n->id + "'") && (!owner || n->id.size() > owner->id.size()))
        owner = n.get();
    if (owner) errors[owner->id].push_back(line);
    else other.push_back(line);
  }
  if (!errors.empty()) reply["errors"] = errors;
  if (!other.empty()) reply["log"] = other;
  reply["canUndo"] = !undo_.empty();
  reply["canRedo"] = !redo_.empty();
  return reply;
}

Json EditorSession::dispatch(const std::string& kind, const Json& m) {
  // An edit that succeeds can be undone: the document before it is kept. Consecutive changes
  // to one input (a drag) are one step.
  const Json before = documentJson();
  auto edited = [&](const std::string& coalesceKey = {}) {
    if (coalesceKey.empty() || coalesceKey != lastEdit_) {
      undo_.push_back(before);
      if (undo_.size() > kMaxUndo) undo_.erase(undo_.begin());
    }
    redo_.clear();
    lastEdit_ = coalesceKey;
  };

  if (kind == "hello") {
    Json reply = everything();
    reply["catalogue"] = catalogueJson(manager_)["patches"];
    return reply;
  }
  if (kind == "add" || kind == "duplicate") {
    std::string className, id;
    Json state, inputs = Json::object();
    if (kind == "add") {
      className = text(m, "class");
      id = text(m, "id", false);
      state = m.value("state", Json());
      if (!state.is_null() && !state.is_object()) throw UsageError("\"state\" must be an object");
    } else {
      const Composition::Node* original = composition_->node(text(m, "id"));
      if (!original) throw UsageError("no patch named '" + m["id"].get<std::string>() + "'");
      className = original->classAsWritten;
      state = original->state;
      inputs = original->inputs;
    }
    auto pos = position(m);
    const PatchClass* patchClass = manager_.classNamed(className);
    if (id.empty() && patchClass) {
      // A name from the display name, unused: "vectorWithRectangle", "vectorWithRectangle2", ...
      std::string stem;
      bool upper = false;
      std::string display = patchClass->displayName;
      if (display.starts_with("Vellum ")) display.erase(0, 7);
      for (unsigned char ch : display) {
        if (!std::isalnum(ch)) {
          upper = !stem.empty();
          continue;
        }
        stem += char(stem.empty() ? std::tolower(ch) : upper ? std::toupper(ch) : ch);
        upper = false;
      }
      if (stem.empty()) stem = "patch";
      id = stem;
      for (int n = 2; composition_->node(id); ++n) id = stem + std::to_string(n);
    }
    Composition::Node& node = composition_->addPatch(id, className, manager_, state);
    try {
      for (const auto& [key, value] : inputs.items()) composition_->setInput(id + "." + key, value);
    } catch (...) {
      composition_->removePatch(id);
      throw;
    }
    if (pos) positions_[id] = *pos;
    edited();
    Json reply = evaluateAndReport(false);
    reply["node"] = nodeJson(node);
    return reply;
  }
  if (kind == "remove") {
    const std::string id = text(m, "id");
    composition_->removePatch(id);
    positions_.erase(id);
    edited();
    Json reply = evaluateAndReport(false);
    reply["removed"] = id;
    reply["document"] = documentJson();
    return reply;
  }
  if (kind == "connect") {
    const std::string from = text(m, "from"), to = text(m, "to");
    composition_->connect(from, to);
    edited();
    return evaluateAndReport(false);
  }
  if (kind == "disconnect") {
    if (!composition_->disconnect(text(m, "to"))) throw UsageError("'" + m["to"].get<std::string>() + "' is not connected");
    edited();
    return evaluateAndReport(false);
  }
  if (kind == "set") {
    const std::string port = text(m, "port");
    if (!m.contains("value")) throw UsageError("the message needs \"value\"");
    const auto dot = port.rfind('.');
    checkFileValues(m["value"], dot == std::string::npos ? port : port.substr(dot + 1));
    if (m.contains("merge") && !m["merge"].is_boolean()) throw UsageError("\"merge\" must be true or false");
    composition_->setInput(port, m["value"]);
    // A drag sends many values with "merge": they are undone as one step.
    edited(m.value("merge", false) ? "set " + port : "");
    lastEdit_ = "set " + port;
    Json reply = evaluateAndReport(false);
    const std::string id = port.substr(0, dot), key = port.substr(dot + 1);
    // The value as the port holds it: converted and clamped to its limits.
    reply["inputs"] = {{id, {{key, toJson(composition_->node(id)->patch->portForKey(key)->value())}}}};
    return reply;
  }
  if (kind == "move") {
    const std::string id = text(m, "id");
    if (!composition_->node(id)) throw UsageError("no patch named '" + id + "'");
    auto pos = position(m);
    if (!pos) throw UsageError("the message needs \"position\"");
    // Moving a patch is undone like an edit; placing one that had no place yet (laid out by the
    // page) is not.
    auto it = positions_.find(id);
    const bool placed = it != positions_.end();
    if (placed && it->second == *pos) return Json::object();
    positions_[id] = *pos;
    if (placed) edited("move " + id);
    return Json::object();
  }
  if (kind == "time") {
    if (!m.contains("time") || !m["time"].is_number() || !std::isfinite(m["time"].get<double>()))
      throw UsageError("\"time\" must be a finite number");
    time_ = m["time"].get<double>();
    return evaluateAndReport(false);
  }
  if (kind == "play" || kind == "pause") {
    playing_ = kind == "play";
    return {{"playing", playing_}, {"time", time_}};
  }
  if (kind == "publish") {
    composition_->publish(text(m, "name"), text(m, "port"));
    edited();
    return {{"document", documentJson()}};
  }
  if (kind == "unpublish") {
    if (!composition_->unpublish(text(m, "name"))) throw UsageError("no output named '" + m["name"].get<std::string>() + "'");
    edited();
    return {{"document", documentJson()}};
  }
  if (kind == "undo" || kind == "redo") {
    auto& from = kind == "undo" ? undo_ : redo_;
    auto& to = kind == "undo" ? redo_ : undo_;
    if (from.empty()) throw UsageError("nothing to " + kind);
    replaceWith(from.back());
    to.push_back(before);
    from.pop_back();
    lastEdit_.clear();
    return everything();
  }
  if (kind == "files") {
    Json files = Json::array();
    std::error_code ec;
    auto it = fs::recursive_directory_iterator(folder_, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator() && files.size() < 2000; it.increment(ec)) {
      const fs::path name = fs::relative(it->path(), folder_);
      const bool hidden = name.filename().string().starts_with(".");
      if (it->is_symlink() || hidden || it.depth() > 3) {
        if (it->is_directory() && !it->is_symlink()) it.disable_recursion_pending();
        continue;
      }
      if (it->is_regular_file()) files.push_back(name.generic_string());
    }
    std::sort(files.begin(), files.end());
    return {{"files", files}};
  }
  if (kind == "open") {
    const std::string name = text(m, "file");
    const fs::path file = insideFolder(folder_, name);
    if (file.extension() != ".json") throw UsageError("'" + name + "': a composition is a .json file");
    open(file);
    return everything();
  }
  if (kind == "save") {
    const std::string name = m.contains("file") ? text(m, "file") : fs::relative(file_, folder_).generic_string();
    const fs::path file = insideFolder(folder_, name);
    if (file.extension() != ".json") throw UsageError("'" + name + "': a composition is saved as a .json file");
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    // Written beside and renamed over, so that a failed write never leaves half a file.
    const fs::path partial = file.string() + ".saving";
    writeTextFile(partial, dumpJson(documentJson(), true) + "\n");
    fs::rename(partial, file, ec);
    if (ec) {
      fs::remove(partial, ec);
      throw UsageError("'" + name + "': cannot be written");
    }
    file_ = file;
    return {{"file", fs::relative(file_, folder_).generic_string()}};
  }
  throw UsageError("unknown kind of message '" + kind + "'");
}

}  // namespace vellum::cli
