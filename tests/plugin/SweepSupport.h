// Shared by the sweep and the leak loop: the patch classes, awkward values by port kind, and
// the checks every output must pass.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/Exception.h"
#include "host/Image.h"
#include "host/NodeManager.h"
#include "host/Patch.h"
#include "path/BezierPath.h"
#include "plugin/Vellum2DPrincipal.h"
#include "tests/support/OutputChecks.h"

namespace vellum::sweep {

inline std::vector<std::string> classNames() {
  std::vector<std::string> names;
  for (const PatchClass* c : patchClasses()) names.push_back(c->name);
  return names;
}

inline const PatchClass& classNamed(const std::string& name) {
  for (const PatchClass* c : patchClasses())
    if (c->name == name) return *c;
  throw std::runtime_error("no class " + name);
}

// One awkward value for a port. `finite` says whether every number in it is finite: only then
// must the outputs be free of NaN (NaN in, NaN out is not a fault of the patch).
struct BadValue {
  std::string label;
  Value value;
  bool finite;
};

// Ends the process when one case runs longer than the guard: a hang must not stall the suite,
// and the message names the case. One at a time (an alarm), and quiet between cases.
class Watchdog {
 public:
  explicit Watchdog(std::chrono::seconds limit) : limit_(unsigned(limit.count())) {
    std::signal(SIGALRM, [](int) {
      static const char said[] = "watchdog: this case ran too long: ";
      (void)!::write(STDERR_FILENO, said, sizeof said - 1);
      (void)!::write(STDERR_FILENO, label(), std::strlen(label()));
      std::_Exit(3);
    });
  }
  ~Watchdog() { ::alarm(0); }
  void begin(const std::string& what) {
    std::snprintf(label(), kLabelSize, "%s\n", what.c_str());
    ::alarm(limit_);
  }
  void end() { ::alarm(0); }

 private:
  static constexpr size_t kLabelSize = 512;
  static char* label() {
    static char text[kLabelSize];
    return text;
  }
  unsigned limit_;
};

// Peak resident size of this process so far, in bytes (VmHWM).
inline size_t peakResidentBytes() {
  FILE* f = fopen("/proc/self/status", "r");
  if (!f) return 0;
  char line[256];
  size_t kb = 0;
  while (fgets(line, sizeof line, f))
    if (sscanf(line, "VmHWM: %zu kB", &kb) == 1) break;
  fclose(f);
  return kb * 1024;
}

}  // namespace vellum::sweep
