// The patch base class: a dataflow node with typed ports, driven by the host.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/Port.h"
#include "host/Structure.h"

namespace vellum {

// What the host hands to lifecycle and execution calls. Patches treat it as opaque.
struct ExecutionContext {};
using Arguments = Structure;

class Patch {
 public:
  // initWithIdentifier: subclasses store their display name under "name" in userInfo and set
  // their port defaults and limits in their constructor.
  explicit Patch(std::string identifier = {}) : identifier_(std::move(identifier)) {}
  Patch(const Patch&) = delete;
  Patch& operator=(const Patch&) = delete;
  virtual ~Patch() = default;

  const std::string& identifier() const { return identifier_; }

  virtual bool setup(ExecutionContext*) { return true; }
  virtual void enable(ExecutionContext*) {}
  virtual void disable(ExecutionContext*) {}
  virtual void cleanup(ExecutionContext*) {}
  virtual bool execute(ExecutionContext* context, double time, const Arguments& arguments) = 0;

  // The patch's user information: "name" (its display name), ".options" (from the host).
  Structure& userInfo() { return userInfo_; }
  const Structure& userInfo() const { return userInfo_; }
  Value _getUserInfo(std::string_view key) const { return userInfo_.memberForKey(key); }

  // Saved with the composition. The base class keeps the input ports' values under
  // "inputValues" (keyed by port key) and restores those that the ports exist for and can hold.
  static constexpr const char* kInputValuesKey = "inputValues";
  virtual Structure state() const;
  virtual bool setState(const Structure& state);

  // Ports made at run time; the key must not be in use.
  template <class P>
  P* createInputWithPortClass(const std::string& key, const Structure& attributes = {}) {
    (void)attributes;
    auto port = std::make_unique<P>(this, key);
    P* raw = port.get();
    dynamicPorts_.push_back(std::move(port));
    return raw;
  }
  // Removes a port made at run time; answers whether there was one.
  bool deleteInputForKey(const std::string& key);

  const std::vector<Port*>& inputPorts() const { return inputs_; }
  const std::vector<Port*>& outputPorts() const { return outputs_; }
  Port* portForKey(std::string_view key) const;

 private:
  friend class Port;
  void registerPort(Port* port);

  std::string identifier_;
  Structure userInfo_;
  std::vector<Port*> inputs_, outputs_;
  std::vector<std::unique_ptr<Port>> dynamicPorts_;
};

// The editor-side companion of a patch class; only the view's file name matters here.
class Inspector {
 public:
  virtual ~Inspector() = default;
  virtual std::string viewNibName() const = 0;
  virtual void setupViewForPatch(Patch* patch) { patch_ = patch; }
  Patch* patch() const { return patch_; }

 private:
  Patch* patch_ = nullptr;
};

}  // namespace vellum
