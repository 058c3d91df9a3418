// The composition loader of `vellum` on arbitrary text: JSON parsing, value conversion, class
// and port lookup, connections and cycles, "--set" overrides. Leading lines "--set P.K=JSON" are
// overrides; the rest is the composition. Compositions that load are also started and stopped
// (setup, enable, disable, cleanup), but not evaluated: evaluation is the patches' business,
// which the sweep test and the other harnesses cover.
#include <cstdint>
#include <string>

#include "cli/Composition.h"
#include "cli/JsonValue.h"
#include "plugin/Vellum2DPrincipal.h"

#include "fuzz/FuzzSupport.h"

using namespace vellum;

namespace {

const NodeManager& manager() {
  static NodeManager* m = [] {
    auto* created = new NodeManager;
    Vellum2DPrincipal::registerNodesWithManager(*created);
    return created;
  }();
  return *m;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::loadFontConfiguration();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  cli::LoadOptions options;
  while (text.rfind("--set ", 0) == 0) {
    const size_t end = text.find('\n');
    options.sets.push_back(text.substr(6, end == std::string::npos ? std::string::npos : end - 6));
    text.erase(0, end == std::string::npos ? text.size() : end + 1);
  }
  options.safe = !options.sets.empty() && options.sets.size() % 2 == 0;
  try {
    const cli::Json json = cli::parseJson(text, "fuzz.json");
    auto composition = cli::Composition::fromJson(json, "/nonexistent/fuzz.json", manager(), options);
    // Every value a file could give must print back as JSON.
    for (const auto& node : composition->nodes())
      for (const Port* port : node->patch->inputPorts()) (void)cli::dumpJson(cli::toJson(port->value()));
    composition->start();
    composition->stop();
  } catch (const cli::UsageError&) {
    // An unusable composition is reported, not a crash.
  }
  return 0;
}
