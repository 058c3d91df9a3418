// Typed ports: the only way values move between a patch and the host.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "host/Color.h"
#include "host/Structure.h"
#include "host/Value.h"

namespace vellum {

class Patch;
class Image;

class Port {
 public:
  // A port made as a patch member registers itself with that patch; its key is its name,
  // and the key's prefix ("input" or "output") says which way it points.
  Port(Patch* owner, std::string key, Value initial);
  Port(const Port&) = delete;
  Port& operator=(const Port&) = delete;
  virtual ~Port() = default;

  const std::string& key() const { return key_; }
  bool isInput() const { return isInput_; }
  Patch* patch() const { return owner_; }
  // The host's name for the port's class ("NumberPort", "V2DBezierPathPort", ...).
  virtual std::string portClassName() const = 0;

  const Value& value() const { return value_; }
  // Sets a value as the host does when a file, a user or a connection delivers it: it is
  // converted to the port's kind and clamped to its limits. Throws vellum::Exception when
  // the value cannot be held by this kind of port.
  virtual void setValue(const Value& v);
  // Whether a value of this kind could be set (what a composition checks before running).
  virtual bool acceptsValue(const Value& v) const;
  // YES when the value changed since the host last cleared the flag (after an execution).
  bool wasUpdated() const { return updated_; }
  void setUpdated(bool updated) { updated_ = updated; }

  // The host's connection rule: ports of the same class connect.
  virtual bool canConnectToPort(const Port& other) const;
  // Defaults and limits as the catalogue shows them: a keyed structure.
  virtual Structure attributes() const;

 protected:
  // Stores v when it differs from the current value (by value for plain values, by identity
  // for shared ones) and raises the updated flag.
  void store(Value v);
  // Converts v to this port's kind; answers nothing-with-false when impossible.
  virtual std::optional<Value> convert(const Value& v) const = 0;

 private:
  Patch* owner_;
  std::string key_;
  bool isInput_;
  bool updated_ = false;
  Value value_;
};

class NumberPort : public Port {
 public:
  NumberPort(Patch* owner, std::string key, double initial = 0) : Port(owner, std::move(key), initial) {}
  std::string portClassName() const override { return "NumberPort"; }
  double doubleValue() const { return value().doubleValue(); }
  void setDoubleValue(double v) { store(clamp(v)); }
  void setMinDoubleValue(double v) { min_ = v; }
  void setMaxDoubleValue(double v) { max_ = v; }
  std::optional<double> minDoubleValue() const { return min_; }
  std::optional<double> maxDoubleValue() const { return max_; }
  Structure attributes() const override;

 protected:
  std::optional<Value> convert(const Value& v) const override;

 private:
  double clamp(double v) const;
  std::optional<double> min_, max_;
};

class IndexPort : public Port {
 public:
  IndexPort(Patch* owner, std::string key, uint64_t initial = 0) : Port(owner, std::move(key), Value(initial)) {}
  std::string portClassName() const override { return "IndexPort"; }
  uint64_t indexValue() const { return uint64_t(value().integerValue()); }
  void setIndexValue(uint64_t v) { store(Value(clamp(v))); }
  void setMaxIndexValue(uint64_t v) { max_ = v; }
  std::optional<uint64_t> maxIndexValue() const { return max_; }
  Structure attributes() const override;

 protected:
  std::optional<Value> convert(const Value& v) const override;

 private:
  uint64_t clamp(uint64_t v) const { return max_ && v > *max_ ? *max_ : v; }
  std::optional<uint64_t> max_;
};

class BooleanPort : public Port {
 public:
  BooleanPort(Patch* owner, std::string key, bool initial = false) : Port(owner, std::move(key), initial) {}
  std::string portClassName() const override { return "BooleanPort"; }
  bool booleanValue() const { return value().boolValue(); }
  void setBooleanValue(bool v) { store(v); }

 protected:
  std::optional<Value> convert(const Value& v) const override;
};

class StringPort : public Port {
 public:
  StringPort(Patch* owner, std::string key, std::string initial = {}) : Port(owner, std::move(key), std::move(initial)) {}
  std::string portClassName() const override { return "StringPort"; }
  std::string stringValue() const { return value().stringValue(); }
  void setStringValue(std::string v) { store(std::move(v)); }

 protected:
  std::optional<Value> convert(const Value& v) const override;
};

class ColorPort : public Port {
 public:
  ColorPort(Patch* owner, std::string key, Color initial = Color::colorWithRed(0, 0, 0, 1))
      : Port(owner, std::move(key), initial) {}
  std::string portClassName() const override { return "ColorPort"; }
  void setRed(double r, double g, double b, double a) { store(Color::colorWithRed(r, g, b, a)); }
  Color colorValue() const { return value().color() ? *value().color() : Color(); }

 protected:
  std::optional<Value> convert(const Value& v) const override;
};

class StructurePort : public Port {
 public:
  StructurePort(Patch* owner, std::string key) : Port(owner, std::move(key), Value()) {}
  std::string portClassName() const override { return "StructurePort"; }
  StructureRef structureValue() const { return value().structure(); }
  void setStructureValue(StructureRef s) { store(Value(std::move(s))); }
  void setStructureValue(Structure s) { setStructureValue(std::make_shared<const Structure>(std::move(s))); }
  // setObject: a structure, or a list that becomes one.
  void setObject(const Value& v) { setValue(v); }

 protected:
  std::optional<Value> convert(const Value& v) const override;
};

class ImagePort : public Port {
 public:
  ImagePort(Patch* owner, std::string key) : Port(owner, std::move(key), Value()) {}
  std::string portClassName() const override { return "ImagePort"; }
  ImageRef imageValue() const { return value().image(); }
  void setImageValue(ImageRef image) { store(Value(std::move(image))); }

 protected:
  std::optional<Value> convert(const Value& v) const override;
};

// Carries any shared object; subclasses narrow what they accept.
class ObjectPort : public Port {
 public:
  ObjectPort(Patch* owner, std::string key) : Port(owner, std::move(key), Value()) {}
  std::string portClassName() const override { return "ObjectPort"; }
  ObjectRef rawValue() const { return value().object(); }
  void setRawValue(ObjectRef v) { store(Value(std::move(v))); }

 protected:
  std::optional<Value> convert(const Value& v) const override;
  // Builds this port's object from its plain representation (see Object::representation);
  // null when the representation is not one this port understands.
  virtual ObjectRef objectFromRepresentation(const Value&) const { return nullptr; }
  // Whether an object of this dynamic type may be held.
  virtual bool acceptsObject(const Object&) const { return true; }
};

// Host-side stand-ins that exist only so that connection rules can be asked about them: a
// proxy port forwards to its original port; virtual ports carry values of any kind.
class ProxyPort : public Port {
 public:
  ProxyPort(Patch* owner, std::string key, Port* original) : Port(owner, std::move(key), Value()), original_(original) {}
  std::string portClassName() const override { return "ProxyPort"; }
  Port* originalPort() const { return original_; }

 protected:
  std::optional<Value> convert(const Value& v) const override { return v; }

 private:
  Port* original_;
};

class VirtualPort : public Port {
 public:
  VirtualPort(Patch* owner, std::string key) : Port(owner, std::move(key), Value()) {}
  std::string portClassName() const override { return "VirtualPort"; }
  bool canConnectToPort(const Port&) const override { return true; }

 protected:
  std::optional<Value> convert(const Value& v) const override { return v; }
};

class MultiplexerVirtualPort : public VirtualPort {
 public:
  using VirtualPort::VirtualPort;
  std::string portClassName() const override { return "MultiplexerVirtualPort"; }
};

}  // namespace vellum
