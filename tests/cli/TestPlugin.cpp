// A small plug-in for the vellum tests: patches that report how the host drives them.
#include <algorithm>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>
#include <string>
#include <vector>

#include "host/Bundle.h"
#include "host/Image.h"
#include "host/Patch.h"

using namespace vellum;

namespace {

// Order of executions across every patch of the process, so tests can see upstream-first.
uint64_t gStamp = 0;

// A number input that refuses every connection, whatever it is offered.
class PickyNumberPort : public NumberPort {
 public:
  PickyNumberPort(Patch* owner, std::string key) : NumberPort(owner, std::move(key)) {}
  bool canConnectToPort(const Port&) const override { return false; }
};

class ProbePatch : public Patch {
 public:
  explicit ProbePatch(const std::string& id) : Patch(id) {
    inputNumber.setMinDoubleValue(-10);
    inputNumber.setMaxDoubleValue(10);
    inputIndex.setMaxIndexValue(5);
  }
  bool setup(ExecutionContext*) override {
    auto options = _getUserInfo(".options").structure();
    std::string url = options ? options->memberForKey("compositionURL").stringValue() : "(none)";
    outputURL.setStringValue(url);
    note("setup");
    return true;
  }
  void enable(ExecutionContext*) override { note("enable"); }
  void disable(ExecutionContext*) override { note("disable"); }
  void cleanup(ExecutionContext*) override { note("cleanup"); }
  bool execute(ExecutionContext*, double, const Arguments&) override {
    std::string updated;
    for (Port* p : inputPorts())
      if (p->wasUpdated()) updated += (updated.empty() ? "" : ",") + p->key();
    outputUpdated.setStringValue(updated);
    outputNumber.setDoubleValue(inputNumber.doubleValue() + 1);
    outputStamp.setIndexValue(++gStamp);
    outputString.setStringValue(inputString.stringValue());
    note("execute");
    return true;
  }

  NumberPort inputNumber{this, "inputNumber"};
  IndexPort inputIndex{this, "inputIndex"};
  BooleanPort inputBoolean{this, "inputBoolean"};
  StringPort inputString{this, "inputString", "hello"};
  ColorPort inputColor{this, "inputColor"};
  StructurePort inputStructure{this, "inputStructure"};
  NumberPort outputNumber{this, "outputNumber"};
  IndexPort outputStamp{this, "outputStamp"};
  StringPort outputUpdated{this, "outputUpdated"};
  StringPort outputURL{this, "outputURL"};
  StringPort outputString{this, "outputString"};
  StringPort outputLifecycle{this, "outputLifecycle"};

 private:
  void note(const std::string& what) {
    std::string s = outputLifecycle.stringValue();
    outputLifecycle.setStringValue(s.empty() ? what : s + " " + what);
  }
};

class ClockPatch : public Patch {
 public:
  explicit ClockPatch(const std::string& id) : Patch(id) {}
  bool execute(ExecutionContext*, double time, const Arguments&) override {
    outputTime.setDoubleValue(time * inputScale.doubleValue());
    outputStamp.setIndexValue(++gStamp);
    return true;
  }
  NumberPort inputScale{this, "inputScale", 1};
  NumberPort outputTime{this, "outputTime"};
  IndexPort outputStamp{this, "outputStamp"};
};

class MeshPatch : public Patch {
 public:
  explicit MeshPatch(const std::string& id) : Patch(id) {}
  bool execute(ExecutionContext*, double, const Arguments&) override {
    double z = inputDepth.doubleValue();
    // Two triangles of the unit square, facing +z.
    double corners[6][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 0}, {1, 1}, {0, 1}};
    Structure mesh;
    for (int k = 0; k < 6; ++k)
      mesh.addMember(Value(std::make_shared<const Structure>(Structure::withDictionary(
                         {{"X", corners[k][0]}, {"Y", corners[k][1]}, {"Z", z}, {"NX", 0.0}, {"NY", 0.0}, {"NZ", 1.0}}))),
                     std::to_string(k));
    outputMesh.setStructureValue(std::move(mesh));
    // Red, then blue at half coverage (premultiplied).
    outputImage.setImageValue(std::make_shared<const Image>(2, 1, std::vector<uint8_t>{255, 0, 0, 255, 0, 0, 128, 128}));
    return true;
  }
  NumberPort inputDepth{this, "inputDepth"};
  StructurePort outputMesh{this, "outputMesh"};
  ImagePort outputImage{this, "outputImage"};
};

// Unsafe, throws when asked, and its picky input refuses every connection.
class UnsafePatch : public Patch {
 public:
  explicit UnsafePatch(const std::string& id) : Patch(id) {}
  bool execute(ExecutionContext*, double, const Arguments&) override {
    if (inputThrow.booleanValue()) throw std::runtime_error("asked to throw");
    outputNumber.setDoubleValue(42);
    return true;
  }
  BooleanPort inputThrow{this, "inputThrow"};
  PickyNumberPort inputPicky{this, "inputPicky"};
  NumberPort outputNumber{this, "outputNumber"};
};

// Its inputs come from its saved state, as Vector Combine's do.
class StatePatch : public Patch {
 public:
  explicit StatePatch(const std::string& id) : Patch(id) {}
  bool setState(const Structure& state) override {
    const Value& count = state.memberForKey("inputsCount");
    if (!count.isNumber() || count.integerValue() < 0 || count.integerValue() > 100) return false;
    for (int64_t i = 0; i < count.integerValue(); ++i) createInputWithPortClass<NumberPort>("input" + std::to_string(i));
    count_ = count.integerValue();
    return true;
  }
  Structure state() const override { return Structure::withMembersAndKeys({{"inputsCount", count_}}); }
  bool execute(ExecutionContext*, double, const Arguments&) override {
    double sum = 0;
    for (Port* p : inputPorts()) sum += p->value().doubleValue();
    outputSum.setDoubleValue(sum);
    return true;
  }
  NumberPort outputSum{this, "outputSum"};

 private:
  int64_t count_ = 0;
};

// Takes inputSeconds (at most 10) to execute: a patch that runs long.
class SlowPatch : public Patch {
 public:
  explicit SlowPatch(const std::string& id) : Patch(id) {}
  bool execute(ExecutionContext*, double, const Arguments&) override {
    std::this_thread::sleep_for(std::chrono::duration<double>(std::clamp(inputSeconds.doubleValue(), 0.0, 10.0)));
    outputDone.setDoubleValue(inputSeconds.doubleValue());
    return true;
  }
  NumberPort inputSeconds{this, "inputSeconds"};
  NumberPort outputDone{this, "outputDone"};
};

template <class P>
PatchClass patchClass(const char* name, const char* displayName, unsigned timeMode = 0, bool isSafe = true) {
  PatchClass c;
  c.name = name;
  c.displayName = displayName;
  c.timeMode = timeMode;
  c.isSafe = isSafe;
  c.create = [](const std::string& id) -> std::unique_ptr<Patch> { return std::make_unique<P>(id); };
  return c;
}

const std::vector<const PatchClass*>& classes() {
  static const PatchClass all[] = {
      patchClass<ProbePatch>("VTProbePatch", "Vellum Test Probe"),
      patchClass<ClockPatch>("VTClockPatch", "Vellum Test Clock", 1),
      patchClass<MeshPatch>("VTMeshPatch", "Vellum Test Mesh"),
      patchClass<UnsafePatch>("VTUnsafePatch", "Vellum Test Unsafe", 0, false),
      patchClass<StatePatch>("VTStatePatch", "Vellum Test State"),
      patchClass<SlowPatch>("VTSlowPatch", "Vellum Test Slow"),
  };
  static const std::vector<const PatchClass*> pointers = {&all[0], &all[1], &all[2], &all[3], &all[4], &all[5]};
  return pointers;
}

void registerNodes(NodeManager& manager) {
  for (const PatchClass* c : classes()) manager.registerNodeWithClass(*c);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) const PluginModule* vellum_plugin_module() {
  static const PluginModule module{PluginModule::kInterfaceVersion, "VTPrincipal", registerNodes, classes};
  return &module;
}
