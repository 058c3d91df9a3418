#include "host/Bundle.h"

#include <dlfcn.h>

#include <filesystem>
#include <memory>

#include "host/Exception.h"

namespace vellum {

namespace {
std::vector<std::unique_ptr<Bundle>>& owned() {
  static std::vector<std::unique_ptr<Bundle>> bundles;
  return bundles;
}
std::vector<Bundle*>& listed() {
  static std::vector<Bundle*> bundles;
  return bundles;
}
}  // namespace

const std::vector<Bundle*>& Bundle::allBundles() { return listed(); }

Bundle& Bundle::load(const std::string& path) {
  std::error_code ec;
  std::string absolute = std::filesystem::absolute(path, ec).lexically_normal().string();
  if (ec) absolute = path;
  for (Bundle* b : listed())
    if (b->path_ == absolute) return *b;

  // Local symbols, so that two copies of one plug-in stay apart as two bundles.
  void* handle = dlopen(absolute.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) throw Exception("cannot load plug-in " + absolute + ": " + dlerror());
  auto entry = reinterpret_cast<PluginEntryPoint>(dlsym(handle, kPluginEntryPoint));
  const PluginModule* module = entry ? entry() : nullptr;
  if (!module || module->interfaceVersion != PluginModule::kInterfaceVersion || !module->registerNodesWithManager ||
      !module->classes) {
    dlclose(handle);
    throw Exception("not a Vellum plug-in (no usable " + std::string(kPluginEntryPoint) + "): " + absolute);
  }
  // Modules stay loaded for the life of the process: their classes back live patches.
  owned().push_back(std::unique_ptr<Bundle>(new Bundle(absolute, handle, module)));
  listed().push_back(owned().back().get());
  return *owned().back();
}

ObjectRef Bundle::objectFromRepresentation(const Value& representation) {
  for (const Bundle* b : listed())
    if (b->module_->objectFromRepresentation)
      if (ObjectRef o = b->module_->objectFromRepresentation(representation)) return o;
  return nullptr;
}

const PatchClass* Bundle::classNamed(std::string_view name) const {
  for (const PatchClass* c : module_->classes())
    if (c->name == name) return c;
  return nullptr;
}

}  // namespace vellum
