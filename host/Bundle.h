// Loaded plug-in modules. A plug-in is a shared library with one entry point,
// `vellum_plugin_module`, answering the module description below.
#pragma once

#include <string>
#include <vector>

#include "host/NodeManager.h"

namespace vellum {

struct PluginModule {
  static constexpr unsigned kInterfaceVersion = 1;
  unsigned interfaceVersion;
  const char* principalClass;
  // Asks the principal class to register its patch classes.
  void (*registerNodesWithManager)(NodeManager& manager);
  // Every patch class the module holds, registered or not.
  const std::vector<const PatchClass*>& (*classes)();
  // Makes one of the module's objects from its plain representation (Object::representation);
  // null when the representation is none of the module's. May be absent.
  ObjectRef (*objectFromRepresentation)(const Value& representation) = nullptr;
};

extern "C" {
using PluginEntryPoint = const PluginModule* (*)();
}
inline constexpr const char* kPluginEntryPoint = "vellum_plugin_module";

class Bundle {
 public:
  // Loads the module at path (or answers the bundle already loaded from it) and appends it
  // to allBundles. Throws vellum::Exception when the file is no usable plug-in.
  static Bundle& load(const std::string& path);
  // Every bundle loaded in this process, in load order.
  static const std::vector<Bundle*>& allBundles();
  // The first object a loaded bundle makes from this representation; null when none does.
  static ObjectRef objectFromRepresentation(const Value& representation);

  const std::string& bundlePath() const { return path_; }
  const PluginModule& module() const { return *module_; }
  // The patch class of that name that this bundle holds; null when it holds none.
  const PatchClass* classNamed(std::string_view name) const;
  void registerNodesWithManager(NodeManager& manager) const { module_->registerNodesWithManager(manager); }

 private:
  Bundle(std::string path, void* handle, const PluginModule* module)
      : path_(std::move(path)), handle_(handle), module_(module) {}
  std::string path_;
  void* handle_;
  const PluginModule* module_;
};

}  // namespace vellum
