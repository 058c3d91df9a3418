// Shared by the sweep and the leak loop: the patch classes, awkward values by port kind, and
// the checks every output must pass.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
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

// Fails the running test by ending the process when one case runs longer than the guard: a hang
// must not stall the suite, and the message names the case.
class Watchdog {
 public:
  explicit Watchdog(std::chrono::seconds limit) : limit_(limit), thread_([this] { run(); }) {}
  ~Watchdog() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  void begin(std::string label) {
    std::lock_guard lock(mutex_);
    label_ = std::move(label);
    started_ = std::chrono::steady_clock::now();
    active_ = true;
  }
  void end() {
    std::lock_guard lock(mutex_);
    active_ = false;
  }

 private:
  void run() {
    std::unique_lock lock(mutex_);
    while (!done_) {
      wake_.wait_for(lock, std::chrono::milliseconds(200));
      if (active_ && std::chrono::steady_clock::now() - started_ > limit_) {
        fprintf(stderr, "watchdog: case '%s' ran longer than %lld s\n", label_.c_str(), (long long)limit_.count());
        fflush(stderr);
        std::_Exit(3);
      }
    }
  }
  std::chrono::seconds limit_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false, active_ = false;
  std::string label_;
  std::chrono::steady_clock::time_point started_;
  std::thread thread_;
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
