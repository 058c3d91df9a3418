// Patch classes and the registry the host keeps of them.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/Patch.h"

namespace vellum {

// A patch class as the host sees it: its name, how to make an instance, and its class-level
// answers. An absent execution or time mode leaves the host's default in place.
struct PatchClass {
  std::string name;
  std::string displayName;
  std::function<std::unique_ptr<Patch>(const std::string& identifier)> create;
  bool isSafe = true;
  bool allowsSubpatches = false;
  std::optional<unsigned> executionMode;
  std::optional<unsigned> timeMode;
  std::string inspectorClass;  // empty when the class has none
  std::function<std::unique_ptr<Inspector>()> createInspector;
  // For people choosing a patch: what it does in one line, and what each value of an index
  // input selects ("inputMode": "stroke", "fill", "fill and stroke"), by port key.
  std::string description;
  std::vector<std::pair<std::string, std::vector<std::string>>> indexChoices;

  // The answers with the host's defaults filled in (execution and time mode 0).
  unsigned effectiveExecutionMode() const { return executionMode.value_or(0); }
  unsigned effectiveTimeMode() const { return timeMode.value_or(0); }
};

class NodeManager {
 public:
  bool isNodeRegisteredWithName(const std::string& name) const;
  // Registers the class; a second class of a known name is ignored (answers false).
  bool registerNodeWithClass(const PatchClass& patchClass);

  // Registered classes in registration order.
  const std::vector<const PatchClass*>& classes() const { return classes_; }
  // By class name, or failing that by display name; null when unknown.
  const PatchClass* classNamed(std::string_view nameOrDisplayName) const;
  // A new instance of the named class; null when the class is unknown or refuses the identifier.
  std::unique_ptr<Patch> createPatch(std::string_view nameOrDisplayName, const std::string& identifier) const;

 private:
  std::vector<const PatchClass*> classes_;
};

}  // namespace vellum
