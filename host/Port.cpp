#include "host/Port.h"

#include <cmath>

#include "host/Exception.h"
#include "host/Patch.h"

namespace vellum {

Port::Port(Patch* owner, std::string key, Value initial)
    : owner_(owner), key_(std::move(key)), isInput_(key_.rfind("output", 0) != 0), value_(std::move(initial)) {
  if (owner_) owner_->registerPort(this);
}

namespace {
// Plain values compare by value; shared ones by identity, as a host sees a new object as news.
bool sameValue(const Value& a, const Value& b) {
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case Value::Kind::Structure: return a.structure() == b.structure();
    case Value::Kind::Image: return a.image() == b.image();
    case Value::Kind::Object: return a.object() == b.object();
    case Value::Kind::Double: {
      double x = a.doubleValue(), y = b.doubleValue();
      return x == y ? std::signbit(x) == std::signbit(y) : (std::isnan(x) && std::isnan(y));
    }
    default: return a == b;
  }
}
}  // namespace

void Port::store(Value v) {
  if (sameValue(v, value_)) return;
  value_ = std::move(v);
  updated_ = true;
}

void Port::setValue(const Value& v) {
  auto converted = convert(v);
  if (!converted) {
    std::string kind = Value::kindName(v.kind());
    std::string article = std::string("aeiou").find(kind[0]) != std::string::npos ? "an " : "a ";
    throw Exception(article + kind + " cannot be set on " + portClassName() + " '" + key_ + "'");
  }
  store(std::move(*converted));
}

bool Port::acceptsValue(const Value& v) const { return convert(v).has_value(); }

bool Port::canConnectToPort(const Port& other) const { return portClassName() == other.portClassName(); }

Structure Port::attributes() const { return Structure::withMembersAndKeys({{"default", value_}}); }

// --- conversions -----------------------------------------------------------------------

std::optional<Value> NumberPort::convert(const Value& v) const {
  if (!v.isNumber()) return std::nullopt;
  return Value(clamp(v.doubleValue()));
}

double NumberPort::clamp(double v) const {
  if (min_ && v < *min_) v = *min_;
  if (max_ && v > *max_) v = *max_;
  return v;
}

Structure NumberPort::attributes() const {
  Structure s = Port::attributes();
  if (min_) s.addMember(*min_, "min");
  if (max_) s.addMember(*max_, "max");
  return s;
}

std::optional<Value> IndexPort::convert(const Value& v) const {
  if (!v.isNumber()) return std::nullopt;
  double d = v.doubleValue();
  // An index is never negative; a number above the largest index saturates.
  uint64_t i = !(d > 0) ? 0 : d >= 1.8446744073709552e19 ? std::numeric_limits<uint64_t>::max() : uint64_t(d);
  if (v.kind() == Value::Kind::Integer) i = v.integerValue() < 0 ? 0 : uint64_t(v.integerValue());
  return Value(clamp(i));
}

Structure IndexPort::attributes() const {
  Structure s = Port::attributes();
  if (max_) s.addMember(*max_, "max");
  return s;
}

std::optional<Value> BooleanPort::convert(const Value& v) const {
  if (!v.isNumber()) return std::nullopt;
  return Value(v.boolValue());
}

std::optional<Value> StringPort::convert(const Value& v) const {
  if (v.kind() == Value::Kind::String) return v;
  if (v.isNumber()) return Value(v.stringValue());
  if (v.isNothing()) return Value(std::string());
  return std::nullopt;
}

std::optional<Value> ColorPort::convert(const Value& v) const {
  if (v.kind() == Value::Kind::Color) return v;
  return std::nullopt;
}

std::optional<Value> StructurePort::convert(const Value& v) const {
  if (v.kind() == Value::Kind::Structure || v.isNothing()) return v;
  return std::nullopt;
}

std::optional<Value> ImagePort::convert(const Value& v) const {
  if (v.kind() == Value::Kind::Image || v.isNothing()) return v;
  return std::nullopt;
}

std::optional<Value> ObjectPort::convert(const Value& v) const {
  if (v.isNothing()) return v;
  if (auto o = v.object()) return acceptsObject(*o) ? std::optional<Value>(v) : std::nullopt;
  if (auto o = objectFromRepresentation(v)) return Value(o);
  return std::nullopt;
}

}  // namespace vellum
