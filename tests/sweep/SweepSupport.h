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

// Appends to `problems` every NaN found in the value (numbers, geometry, nested structures,
// paths) and every image whose size and bytes disagree.
inline void findNaN(const Value& v, const std::string& where, std::vector<std::string>& problems, int depth = 0) {
  auto nan = [&](double d, const char* what) {
    if (std::isnan(d)) problems.push_back(where + ": NaN " + what);
  };
  if (depth > 64) return;
  switch (v.kind()) {
    case Value::Kind::Double: nan(v.doubleValue(), "number"); break;
    case Value::Kind::Point: nan(v.point()->x, "point"), nan(v.point()->y, "point"); break;
    case Value::Kind::Size: nan(v.size()->width, "size"), nan(v.size()->height, "size"); break;
    case Value::Kind::Rect:
      nan(v.rect()->origin.x, "rect"), nan(v.rect()->origin.y, "rect");
      nan(v.rect()->size.width, "rect"), nan(v.rect()->size.height, "rect");
      break;
    case Value::Kind::Color:
      for (double c : {v.color()->red, v.color()->green, v.color()->blue, v.color()->alpha}) nan(c, "colour");
      break;
    case Value::Kind::Vector3:
      for (float c : {v.vector3()->x, v.vector3()->y, v.vector3()->z}) nan(c, "vector");
      break;
    case Value::Kind::Structure: {
      size_t i = 0;
      for (const auto& m : *v.structure()) {
        // Meshes are long: their first and last entries tell as much as all of them.
        if (i < 4096 || i + 4096 >= v.structure()->count()) findNaN(m.value, where, problems, depth + 1);
        ++i;
      }
      break;
    }
    case Value::Kind::Image: {
      const Image& image = *v.image();
      if (image.width() < 0 || image.height() < 0 ||
          image.data().size() != size_t(image.width()) * size_t(image.height()) * 4)
        problems.push_back(where + ": image size and bytes disagree");
      break;
    }
    case Value::Kind::Object:
      if (auto path = v.objectAs<BezierPath>()) {
        for (size_t i = 0; i < path->elementCount(); ++i)
          for (const Point& p : path->associatedPoints(i))
            if (std::isnan(p.x) || std::isnan(p.y)) {
              problems.push_back(where + ": NaN in path element " + std::to_string(i));
              return;
            }
      }
      break;
    default: break;
  }
}

}  // namespace vellum::sweep
