#include "host/Patch.h"

#include <algorithm>

#include "host/Exception.h"

namespace vellum {

void Patch::registerPort(Port* port) {
  if (portForKey(port->key())) throw Exception("a port with the key '" + port->key() + "' already exists");
  (port->isInput() ? inputs_ : outputs_).push_back(port);
}

Port* Patch::portForKey(std::string_view key) const {
  for (auto* list : {&inputs_, &outputs_})
    for (Port* p : *list)
      if (p->key() == key) return p;
  return nullptr;
}

bool Patch::deleteInputForKey(const std::string& key) {
  auto it = std::find_if(dynamicPorts_.begin(), dynamicPorts_.end(), [&](const auto& p) { return p->key() == key; });
  if (it == dynamicPorts_.end()) return false;
  std::erase(inputs_, it->get());
  std::erase(outputs_, it->get());
  dynamicPorts_.erase(it);
  return true;
}

}  // namespace vellum
