#include "host/NodeManager.h"

namespace vellum {

bool NodeManager::isNodeRegisteredWithName(const std::string& name) const {
  for (const PatchClass* c : classes_)
    if (c->name == name) return true;
  return false;
}

bool NodeManager::registerNodeWithClass(const PatchClass& patchClass) {
  if (isNodeRegisteredWithName(patchClass.name)) return false;
  classes_.push_back(&patchClass);
  return true;
}

const PatchClass* NodeManager::classNamed(std::string_view nameOrDisplayName) const {
  for (const PatchClass* c : classes_)
    if (c->name == nameOrDisplayName) return c;
  for (const PatchClass* c : classes_)
    if (c->displayName == nameOrDisplayName) return c;
  return nullptr;
}

std::unique_ptr<Patch> NodeManager::createPatch(std::string_view nameOrDisplayName, const std::string& identifier) const {
  const PatchClass* c = classNamed(nameOrDisplayName);
  if (!c || !c->create) return nullptr;
  return c->create(identifier);
}

}  // namespace vellum
