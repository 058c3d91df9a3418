// The plug-in's principal class: registers the patch classes with the host, once per load.
#pragma once

#include <vector>

#include "host/NodeManager.h"

namespace vellum {

struct Vellum2DPrincipal {
  static constexpr const char* className = "Vellum2DPrincipal";
  static void registerNodesWithManager(NodeManager& manager);
};

// One row of the patch catalogue. `create` is empty for a class this build does not have.
struct CatalogueRow {
  const char* name;
  const char* displayName;
  bool isSafe;
  std::optional<unsigned> executionMode;  // absent: the host's default
  std::optional<unsigned> timeMode;
  std::function<std::unique_ptr<Patch>(const std::string&)> create;
  const char* inspectorClass = "";
  std::function<std::unique_ptr<Inspector>()> createInspector = nullptr;
};

// All thirty rows, in registration order.
const std::vector<CatalogueRow>& catalogueRows();
// The patch classes this build holds, in catalogue order.
const std::vector<const PatchClass*>& patchClasses();

}  // namespace vellum
