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

Structure Patch::state() const {
  Structure values;
  for (const Port* port : inputs_) values.setMember(port->value(), port->key());
  Structure s;
  s.setMember(std::make_shared<const Structure>(std::move(values)), kInputValuesKey);
  return s;
}

bool Patch::setState(const Structure& state) {
  StructureRef values = state.memberForKey(kInputValuesKey).structure();
  if (!values) return true;
  for (const Structure::Member& member : *values) {
    const std::optional<std::string> key = member.key();
    Port* port = key ? portForKey(*key) : nullptr;
    if (!port || !port->isInput()) continue;
    try {
      port->setValue(member.value);
    } catch (const Exception&) {
      // A saved value the port cannot hold is passed over, like any bad saved member.
    }
  }
  return true;
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
