#include "cli/Composition.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "host/Exception.h"
#include "host/Log.h"
#include "host/Patch.h"
#include "cli/Suggest.h"

namespace vellum::cli {

namespace fs = std::filesystem;

std::string fileURL(const fs::path& absolutePath) {
  static const char* hex = "0123456789ABCDEF";
  std::string url = "file://";
  for (unsigned char c : absolutePath.generic_string()) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
                 c == '_' || c == '~' || c == '/';
    if (plain) {
      url += char(c);
    } else {
      url += '%';
      url += hex[c >> 4];
      url += hex[c & 15];
    }
  }
  return url;
}

namespace {

using Node = Composition::Node;

// Every message names the file first, then the patch and the port when there is one.
struct Where {
  std::string file;
  std::string patch, port;
  std::string text() const {
    std::string s = file + ": ";
    if (!patch.empty()) s += "patch '" + patch + "'" + (port.empty() ? "" : ", port '" + port + "'") + ": ";
    return s;
  }
  [[noreturn]] void fail(const std::string& what) const { throw UsageError(text() + what); }
};

// "PATCH.PORT": the port key is after the last dot (patch names may hold dots, keys never).
std::pair<std::string, std::string> splitPortPath(const std::string& path) {
  auto dot = path.rfind('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == path.size()) return {path, ""};
  return {path.substr(0, dot), path.substr(dot + 1)};
}

std::string portNames(const std::vector<Port*>& ports) {
  std::string s;
  for (Port* p : ports) s += (s.empty() ? "" : ", ") + p->key();
  return s.empty() ? "none" : s;
}

std::vector<std::string> portKeys(const std::vector<Port*>& ports) {
  std::vector<std::string> keys;
  for (Port* p : ports) keys.push_back(p->key());
  return keys;
}

// What a value of the wrong kind was probably meant to be, in the JSON form the port takes.
std::string kindHint(const Port& port, const Json& json) {
  const std::string kind = port.portClassName();
  if (kind == "ColorPort")
    return "; a colour is written {\"$color\": [r, g, b, a]}, components 0..1" +
           (json.is_array() ? ": {\"$color\": " + json.dump() + "}" : std::string());
  if (kind == "StringPort") return "; a string is written in double quotes";
  if (kind == "NumberPort" || kind == "IndexPort") return "; a number is written without quotes";
  if (kind == "BooleanPort") return "; write true or false";
  if (kind == "V2DBezierPathPort")
    return "; a path is written {\"$path\": [[\"moveto\", x, y], [\"lineto\", x, y], ...]}";
  return {};
}

std::string lowerExtension(const std::string& name) {
  std::string ext = fs::path(name).extension().string();
  if (!ext.empty()) ext.erase(0, 1);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return ext;
}

void setInput(Port* port, const Json& json, const fs::path& baseFolder, const Where& where) {
  Value value;
  try {
    value = fromJson(json, baseFolder);
  } catch (const UsageError& e) {
    where.fail(e.what());
  }
  try {
    port->setValue(value);
  } catch (const vellum::Exception& e) {
    where.fail(std::string("wrong kind of value: ") + e.what() + kindHint(*port, json));
  }
}

}  // namespace

namespace {
// A patch never stops the run: what it throws is logged, and its outputs stay as they are.
template <class F>
void guarded(const Composition::Node& node, const char* operation, F&& call) {
  try {
    call();
  } catch (const std::exception& e) {
    vellum::log("vellum: patch '" + node.id + "' (" + node.classAsWritten + ") " + operation + ": " + e.what());
  }
}
}  // namespace

Composition::~Composition() { stop(); }

Composition::Node* Composition::node(std::string_view id) const {
  for (const auto& n : nodes_)
    if (n->id == id) return n.get();
  return nullptr;
}

std::unique_ptr<Composition> Composition::load(const fs::path& file, const NodeManager& manager,
                                               const LoadOptions& options) {
  std::error_code ec;
  if (fs::is_directory(file, ec))
    throw UsageError(file.string() + ": is a directory; give the composition's .json file inside it");
  std::ifstream in(file, std::ios::binary);
  if (!in) throw UsageError(file.string() + ": cannot read the composition file");
  std::stringstream text;
  text << in.rdbuf();
  return fromJson(parseJson(text.str(), file.string()), file, manager, options);
}

std::unique_ptr<Composition> Composition::fromJson(const Json& json, const fs::path& file, const NodeManager& manager,
                                                   const LoadOptions& options) {
  std::unique_ptr<Composition> c(new Composition());
  std::error_code ec;
  c->file_ = fs::absolute(file, ec).lexically_normal();
  c->shownFile_ = file.string();
  const Where top{file.string(), "", ""};

  if (!json.is_object()) top.fail("a composition is a JSON object with \"patches\", \"connections\" and \"outputs\"");
  // "editor" holds what the editor keeps (node positions); running ignores it.
  for (const auto& [key, _] : json.items())
    if (key != "patches" && key != "connections" && key != "outputs" && key != "editor")
      top.fail("unknown member \"" + key + "\"");
  const Json patches = json.value("patches", Json::object());
  const Json connections = json.value("connections", Json::array());
  const Json outputs = json.value("outputs", Json::object());
  if (!patches.is_object()) top.fail("\"patches\" must be an object of patch names");
  if (!connections.is_array()) top.fail("\"connections\" must be an array of [\"PATCH.PORT\", \"PATCH.PORT\"] pairs");
  if (!outputs.is_object()) top.fail("\"outputs\" must be an object from names to \"PATCH.PORT\"");

  // Patches first, with their saved state: state may make ports (Vector Combine).
  for (const auto& [id, def] : patches.items()) {
    Where where{file.string(), id, ""};
    if (id.empty()) top.fail("a patch needs a name");
    if (!def.is_object()) where.fail("a patch is an object with \"class\", \"inputs\" and \"state\"");
    for (const auto& [key, _] : def.items())
      if (key != "class" && key != "inputs" && key != "state") where.fail("unknown member \"" + key + "\"");
    if (!def.contains("class") || !def["class"].is_string()) where.fail("\"class\" must name a patch class");
    c->addPatch(id, def["class"].get<std::string>(), manager, def.value("state", Json()), options.safe);
  }

  for (const auto& [id, def] : patches.items()) {
    if (!def.contains("inputs")) continue;
    if (!def["inputs"].is_object()) Where{file.string(), id, ""}.fail("\"inputs\" must be an object from port to value");
    for (const auto& [key, value] : def["inputs"].items()) c->setInputOf(id, key, value);
  }

  for (const std::string& set : options.sets) {
    auto eq = set.find('=');
    if (eq == std::string::npos) top.fail("--set " + set + ": wants PATCH.PORT=JSON");
    auto [id, key] = splitPortPath(set.substr(0, eq));
    Where where{file.string(), id, key};
    if (key.empty()) top.fail("--set " + set + ": wants PATCH.PORT=JSON");
    c->findPort(id, key, true, id, key);
    Json value;
    try {
      value = parseJson(set.substr(eq + 1), "--set " + set.substr(0, eq));
    } catch (const UsageError& e) {
      // Text that is no JSON was most likely meant as a string.
      where.fail(std::string(e.what()) + "; the value is JSON, so a string needs double quotes: --set '" +
                 set.substr(0, eq + 1) + Json(set.substr(eq + 1)).dump() + "'");
    }
    c->setInputOf(id, key, value);
  }

  for (const Json& pair : connections) {
    if (!pair.is_array() || pair.size() != 2 || !pair[0].is_string() || !pair[1].is_string())
      top.fail("a connection is [\"PATCH.outputPort\", \"PATCH.inputPort\"], not " + pair.dump());
    c->addLink(pair[0].get<std::string>(), pair[1].get<std::string>());
  }

  // Cycles: depth-first over the links, reporting the loop found.
  {
    std::map<const Node*, int> state;  // 1 on the stack, 2 done
    std::vector<const Node*> stack;
    std::function<void(const Node*)> visit = [&](const Node* n) {
      state[n] = 1;
      stack.push_back(n);
      for (const Link& l : n->links) {
        if (state[l.from] == 1) {
          auto start = std::find(stack.begin(), stack.end(), l.from);
          std::string loop;
          for (auto it = start; it != stack.end(); ++it) loop += (*it)->id + " -> ";
          top.fail("the connections make a cycle: " + loop + l.from->id + " (read upstream)");
        }
        if (state[l.from] == 0) visit(l.from);
      }
      stack.pop_back();
      state[n] = 2;
    };
    for (const auto& n : c->nodes_)
      if (state[n.get()] == 0) visit(n.get());
  }

  for (const auto& item : outputs.items()) {
    if (!item.value().is_string()) top.fail("output \"" + item.key() + "\" must name \"PATCH.PORT\"");
    c->publish(item.key(), item.value().get<std::string>());
  }
  return c;
}

Composition::Node& Composition::addPatch(const std::string& id, const std::string& className,
                                         const NodeManager& manager, const Json& stateJson, bool safeOnly) {
  const Where top{shownFile_, "", ""};
  Where where{shownFile_, id, ""};
  if (id.empty()) top.fail("a patch needs a name");
  if (node(id)) where.fail("a patch of that name exists already");
  const PatchClass* patchClass = manager.classNamed(className);
  if (!patchClass) {
    std::vector<std::string> names;
    for (const PatchClass* known : manager.classes()) {
      names.push_back(known->name);
      names.push_back(known->displayName);
    }
    where.fail("unknown class '" + className + "'" + didYouMean(className, names) +
               " (`vellum patches NAME` lists the classes whose name holds NAME)");
  }
  if (safeOnly && !patchClass->isSafe) where.fail("class '" + className + "' is not safe, and --safe refuses it");
  auto n = std::make_unique<Node>();
  n->id = id;
  n->classAsWritten = className;
  n->patchClass = patchClass;
  n->patch = patchClass->create ? patchClass->create(id) : nullptr;
  if (!n->patch) where.fail("class '" + className + "' made no patch");
  // The host hands every patch the composition's location, for relative file names.
  Structure optionsStructure = Structure::withMembersAndKeys({{"compositionURL", fileURL(file_)}});
  n->patch->userInfo().setMember(Value(std::make_shared<const Structure>(optionsStructure)), ".options");
  if (!stateJson.is_null()) {
    if (!stateJson.is_object()) where.fail("\"state\" must be an object");
    Value state;
    try {
      state = cli::fromJson(stateJson, file_.parent_path());
    } catch (const UsageError& e) {
      where.fail(std::string("state: ") + e.what());
    }
    Structure keyed = state.structure() ? *state.structure() : Structure();
    if (!n->patch->setState(keyed)) where.fail("the patch refuses its \"state\"");
    n->state = stateJson;
  }
  if (started_ && !stopped_) {
    // Joining a running composition: set up as start() does for the others.
    ExecutionContext context;
    Node& added = *n;
    guarded(added, "setup", [&] {
      if (!added.patch->setup(&context)) vellum::log("vellum: patch '" + added.id + "': setup answered NO");
    });
    guarded(added, "enable", [&] { added.patch->enable(&context); });
    added.started = true;
  }
  nodes_.push_back(std::move(n));
  return *nodes_.back();
}

void Composition::removePatch(const std::string& id) {
  Node* gone = node(id);
  if (!gone) {
    std::vector<std::string> ids;
    for (const auto& n : nodes_) ids.push_back(n->id);
    Where{shownFile_, "", ""}.fail("no patch named '" + id + "'" + didYouMean(id, ids));
  }
  for (auto& n : nodes_)
    std::erase_if(n->links, [&](const Link& l) { return l.from == gone; });
  std::erase_if(outputs_, [&](const Output& o) { return o.node == gone; });
  if (gone->started && !stopped_) {
    ExecutionContext context;
    guarded(*gone, "disable", [&] { gone->patch->disable(&context); });
    guarded(*gone, "cleanup", [&] { gone->patch->cleanup(&context); });
  }
  std::erase_if(nodes_, [&](const std::unique_ptr<Node>& n) { return n.get() == gone; });
}

Port* Composition::findPort(const std::string& patchId, const std::string& key, bool input, const std::string& patch,
                            const std::string& portKey) const {
  const Where where{shownFile_, patch, portKey};
  Node* n = node(patchId);
  if (!n) {
    std::vector<std::string> ids;
    for (const auto& each : nodes_) ids.push_back(each->id);
    where.fail("no patch named '" + patchId + "'" + didYouMean(patchId, ids));
  }
  Port* p = n->patch->portForKey(key);
  if (p && p->isInput() == input) return p;
  const char* direction = input ? "input" : "output";
  const auto& ports = input ? n->patch->inputPorts() : n->patch->outputPorts();
  std::string why = "no " + std::string(direction) + " port '" + key + "' on '" + n->classAsWritten + "'";
  if (p) why += " ('" + key + "' is an " + (input ? "output" : "input") + ")";
  else why += didYouMean(key, portKeys(ports));
  where.fail(why + " (" + direction + "s: " + portNames(ports) + ")");
}

void Composition::setInputOf(const std::string& patchId, const std::string& key, const Json& value) {
  Port* port = findPort(patchId, key, true, patchId, key);
  cli::setInput(port, value, file_.parent_path(), Where{shownFile_, patchId, key});
  node(patchId)->inputs[key] = value;
}

void Composition::setInput(const std::string& path, const Json& value) {
  auto [id, key] = splitPortPath(path);
  if (key.empty()) Where{shownFile_, "", ""}.fail("'" + path + "' names no port: write PATCH.PORT");
  setInputOf(id, key, value);
}

std::string Composition::connectionRefusal(const Port& output, const Port& input) {
  bool inputAgrees = input.canConnectToPort(output), outputAgrees = output.canConnectToPort(input);
  if (inputAgrees && outputAgrees) return {};
  if (input.portClassName() != output.portClassName())
    return "kind mismatch: the output is a " + output.portClassName() + ", the input a " + input.portClassName();
  return "the " + std::string(inputAgrees ? "output" : "input") + " port (" +
         (inputAgrees ? output : input).portClassName() + ") refuses the connection";
}

void Composition::addLink(const std::string& fromPath, const std::string& toPath) {
  const Where top{shownFile_, "", ""};
  const Json pair = Json::array({fromPath, toPath});
  auto [fromId, fromKey] = splitPortPath(fromPath);
  auto [toId, toKey] = splitPortPath(toPath);
  {
    Node* from = node(fromId);
    Node* to = node(toId);
    Port* first = from ? from->patch->portForKey(fromKey) : nullptr;
    Port* second = to ? to->patch->portForKey(toKey) : nullptr;
    if (first && second && first->isInput() && !second->isInput())
      top.fail("connection " + pair.dump() + " is written backwards: a connection goes from an output to an input, " +
               Json::array({pair[1], pair[0]}).dump());
  }
  Port* output = findPort(fromId, fromKey, false, fromId, fromKey);
  Port* input = findPort(toId, toKey, true, toId, toKey);
  const Where toWhere{shownFile_, toId, toKey};
  Node* to = node(toId);
  std::string what = "connection " + fromPath + " -> " + toPath + ": ";
  for (const Link& l : to->links)
    if (l.input == input) toWhere.fail(what + "the input is already connected");
  if (std::string why = connectionRefusal(*output, *input); !why.empty()) toWhere.fail(what + why);
  to->links.push_back({input, node(fromId), output});
}

void Composition::connect(const std::string& from, const std::string& to) {
  addLink(from, to);
  // A loop can only pass through the new link: look upstream of its source for its target.
  Node* target = node(splitPortPath(to).first);
  Node* source = node(splitPortPath(from).first);
  std::set<const Node*> seen;
  std::function<bool(const Node*)> reaches = [&](const Node* n) {
    if (n == target) return true;
    if (!seen.insert(n).second) return false;
    return std::any_of(n->links.begin(), n->links.end(), [&](const Link& l) { return reaches(l.from); });
  };
  if (reaches(source)) {
    target->links.pop_back();
    Where{shownFile_, "", ""}.fail("connection " + from + " -> " + to + " would make a cycle: '" + target->id +
                                   "' is upstream of '" + source->id + "'");
  }
}

bool Composition::disconnect(const std::string& to) {
  auto [toId, toKey] = splitPortPath(to);
  Port* input = findPort(toId, toKey, true, toId, toKey);
  Node* n = node(toId);
  bool had = std::erase_if(n->links, [&](const Link& l) { return l.input == input; }) > 0;
  // The input keeps the value it had, and runs again with it.
  if (had) input->setUpdated(true);
  return had;
}

void Composition::publish(const std::string& name, const std::string& target) {
  const Where named{shownFile_, "", ""};
  if (name.empty()) named.fail("an output needs a name");
  auto [id, key] = splitPortPath(target);
  Port* port = findPort(id, key, false, id, key);
  const Where where{shownFile_, id, key};
  std::string ext = lowerExtension(name);
  std::string cls = port->portClassName();
  auto refuse = [&](const std::string& wants) {
    where.fail("output \"" + name + "\": a ." + ext + " file is written from " + wants + ", and this port is a " + cls);
  };
  if (ext == "png") {
    if (!dynamic_cast<ImagePort*>(port)) refuse("an image port");
  } else if (ext == "obj" || ext == "ply" || ext == "gltf" || ext == "glb") {
    if (!dynamic_cast<StructurePort*>(port)) refuse("a structure port (a mesh structure)");
  } else if (ext == "svg") {
    if (!dynamic_cast<ObjectPort*>(port) && !dynamic_cast<StructurePort*>(port))
      refuse("a vector port or a bezier path structure");
  } else if (ext != "json" && !ext.empty()) {
    named.fail("output \"" + name + "\": unknown file type ." + ext + " (png, obj, ply, gltf, glb, svg, json)");
  }
  Output output{name, ext, node(id), port};
  for (Output& o : outputs_)
    if (o.name == name) {
      o = output;
      return;
    }
  outputs_.push_back(output);
}

bool Composition::unpublish(const std::string& name) {
  return std::erase_if(outputs_, [&](const Output& o) { return o.name == name; }) > 0;
}

Json Composition::toJson() const {
  Json patches = Json::object(), connections = Json::array(), outputs = Json::object();
  for (const auto& n : nodes_) {
    Json def = {{"class", n->classAsWritten}};
    if (!n->inputs.empty()) def["inputs"] = n->inputs;
    if (!n->state.is_null()) def["state"] = n->state;
    patches[n->id] = def;
    for (const Link& l : n->links)
      connections.push_back({l.from->id + "." + l.output->key(), n->id + "." + l.input->key()});
  }
  for (const Output& o : outputs_) outputs[o.name] = o.node->id + "." + o.port->key();
  return {{"patches", patches}, {"connections", connections}, {"outputs", outputs}};
}


void Composition::start() {
  if (started_) return;
  started_ = true;
  ExecutionContext context;
  for (auto& n : nodes_) {
    guarded(*n, "setup", [&] {
      if (!n->patch->setup(&context)) vellum::log("vellum: patch '" + n->id + "': setup answered NO");
    });
    guarded(*n, "enable", [&] { n->patch->enable(&context); });
    n->started = true;
  }
}

void Composition::stop() {
  if (!started_ || stopped_) return;
  stopped_ = true;
  ExecutionContext context;
  for (auto it = nodes_.rbegin(); it != nodes_.rend(); ++it) {
    if (!(*it)->started) continue;
    guarded(**it, "disable", [&] { (*it)->patch->disable(&context); });
    guarded(**it, "cleanup", [&] { (*it)->patch->cleanup(&context); });
  }
}

void Composition::evaluate(double time) { evaluate(time, {}); }

void Composition::evaluate(double time, const std::vector<Node*>& alsoPull) {
  start();
  ++frame_;
  for (const Output& o : outputs_) pull(*o.node, time);
  for (Node* n : alsoPull) pull(*n, time);
}

void Composition::pull(Node& node, double time) {
  if (node.lastFrame == frame_) return;
  node.lastFrame = frame_;
  for (const Link& l : node.links) {
    pull(*l.from, time);
    try {
      l.input->setValue(l.output->value());
    } catch (const vellum::Exception& e) {
      // A value the input cannot hold leaves it as it was; the run goes on.
      vellum::log("vellum: patch '" + node.id + "', port '" + l.input->key() + "': " + e.what());
    }
  }
  execute(node, time);
}

void Composition::execute(Node& node, double time) {
  Patch& patch = *node.patch;
  if (node.executions == 0) {
    for (Port* p : patch.inputPorts()) p->setUpdated(true);
  } else if (node.patchClass->effectiveTimeMode() == 0) {
    bool changed = std::any_of(patch.inputPorts().begin(), patch.inputPorts().end(),
                               [](const Port* p) { return p->wasUpdated(); });
    if (!changed) return;
  }
  ExecutionContext context;
  {
    // What the patch logs is about this patch of the composition: say which.
    struct Prefix {
      LogSink previous;
      explicit Prefix(const Node& n) {
        const std::string prefix = "vellum: patch '" + n.id + "' (" + n.classAsWritten + "): ";
        previous = setLogSink(nullptr);
        setLogSink([prefix, next = previous](const std::string& line) {
          const std::string text = line.starts_with("vellum: ") ? line : prefix + line;
          if (next) next(text);
          else std::fprintf(stderr, "%s\n", text.c_str());
        });
      }
      ~Prefix() { setLogSink(std::move(previous)); }
    } prefix(node);
    guarded(node, "execute", [&] { patch.execute(&context, time, Arguments()); });
  }
  ++node.executions;
  for (Port* p : patch.inputPorts()) p->setUpdated(false);
}

}  // namespace vellum::cli
