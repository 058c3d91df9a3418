#include "host/Value.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "host/Image.h"
#include "host/Structure.h"

namespace vellum {

static_assert(sizeof(Value) == 24, "a value is a variant of 16-byte alternatives");

Value Object::representation() const { return Value(className()); }

Value::Value(StructureRef v) {
  if (v) v_ = std::move(v);
}
Value::Value(ImageRef v) {
  if (v) v_ = std::move(v);
}
Value::Value(ObjectRef v) {
  if (v) v_ = std::move(v);
}
Value::Value(const std::vector<Value>& list) : v_(StructureRef(std::make_shared<Structure>(list))) {}

StructureRef Value::structure() const {
  auto p = std::get_if<StructureRef>(&v_);
  return p ? *p : nullptr;
}
ImageRef Value::image() const {
  auto p = std::get_if<ImageRef>(&v_);
  return p ? *p : nullptr;
}
ObjectRef Value::object() const {
  auto p = std::get_if<ObjectRef>(&v_);
  return p ? *p : nullptr;
}

double Value::doubleValue() const {
  switch (kind()) {
    case Kind::Integer: return double(std::get<int64_t>(v_));
    case Kind::Double: return std::get<double>(v_);
    case Kind::Boolean: return std::get<bool>(v_) ? 1.0 : 0.0;
    case Kind::String: return leadingDouble(*std::get<Box<std::string>>(v_));
    default: return 0.0;
  }
}

int64_t Value::integerValue() const {
  switch (kind()) {
    case Kind::Integer: return std::get<int64_t>(v_);
    case Kind::Double: {
      double d = std::get<double>(v_);
      if (std::isnan(d)) return 0;
      if (d >= 9.2233720368547758e18) return std::numeric_limits<int64_t>::max();
      if (d <= -9.2233720368547758e18) return std::numeric_limits<int64_t>::min();
      return int64_t(d);
    }
    case Kind::Boolean: return std::get<bool>(v_) ? 1 : 0;
    case Kind::String: return leadingInteger(*std::get<Box<std::string>>(v_));
    default: return 0;
  }
}

bool Value::boolValue() const {
  if (kind() == Kind::Double) {
    double d = std::get<double>(v_);
    return d != 0 && !std::isnan(d);
  }
  if (kind() == Kind::String) {
    const auto& s = *std::get<Box<std::string>>(v_);
    return s == "true" || s == "YES" || leadingDouble(s) != 0;
  }
  return integerValue() != 0;
}

std::string Value::stringValue() const {
  switch (kind()) {
    case Kind::String: return *std::get<Box<std::string>>(v_);
    case Kind::Integer: return std::to_string(std::get<int64_t>(v_));
    case Kind::Double: {
      char buf[32];
      auto r = std::to_chars(buf, buf + sizeof buf, std::get<double>(v_));
      return std::string(buf, r.ptr);
    }
    case Kind::Boolean: return std::get<bool>(v_) ? "true" : "false";
    default: return {};
  }
}

bool operator==(const Value& a, const Value& b) {
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case Value::Kind::Structure: {
      auto x = a.structure(), y = b.structure();
      return x == y || *x == *y;
    }
    case Value::Kind::Object: {
      auto x = a.object(), y = b.object();
      return x == y || x->isEqual(*y);
    }
    case Value::Kind::String: return *a.string() == *b.string();
    case Value::Kind::Color: return *a.color() == *b.color();
    case Value::Kind::Point: return *a.point() == *b.point();
    case Value::Kind::Size: return *a.size() == *b.size();
    case Value::Kind::Rect: return *a.rect() == *b.rect();
    default: return a.v_ == b.v_;
  }
}

const char* Value::kindName(Kind k) {
  switch (k) {
    case Kind::Nothing: return "nothing";
    case Kind::Integer: return "integer";
    case Kind::Double: return "number";
    case Kind::Boolean: return "boolean";
    case Kind::String: return "string";
    case Kind::Color: return "colour";
    case Kind::Point: return "point";
    case Kind::Size: return "size";
    case Kind::Rect: return "rect";
    case Kind::Vector3: return "vector3";
    case Kind::Structure: return "structure";
    case Kind::Image: return "image";
    case Kind::Object: return "object";
  }
  return "?";
}

namespace {
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the decimal number at the start of s: [+-] digits [. digits] [(e|E) [+-] digits],
// with at least one digit in the mantissa; 0 when there is none.
size_t decimalPrefix(std::string_view s) {
  size_t i = 0, n = s.size();
  if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < n && isDigit(s[i])) ++i, ++digits;
  if (i < n && s[i] == '.') {
    ++i;
    while (i < n && isDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  size_t mantissaEnd = i;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < n && (s[j] == '+' || s[j] == '-')) ++j;
    size_t expDigits = 0;
    while (j < n && isDigit(s[j])) ++j, ++expDigits;
    if (expDigits) return j;
  }
  return mantissaEnd;
}
}  // namespace

double leadingDouble(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && isSpace(s[i])) ++i;
  size_t runEnd = i;
  while (runEnd < s.size() && (isDigit(s[runEnd]) || s[runEnd] == '+' || s[runEnd] == '-' || s[runEnd] == '.' ||
                               s[runEnd] == 'e' || s[runEnd] == 'E'))
    ++runEnd;
  std::string_view run = s.substr(i, runEnd - i);
  size_t len = decimalPrefix(run);
  if (len == 0) return 0.0;
  std::string_view num = run.substr(0, len);
  bool negative = false;
  if (num[0] == '+' || num[0] == '-') {  // from_chars takes no leading '+'
    negative = num[0] == '-';
    num.remove_prefix(1);
  }
  double d = 0;
  auto r = std::from_chars(num.data(), num.data() + num.size(), d);
  if (r.ec == std::errc::result_out_of_range) {
    // Overflow gives infinity, underflow zero; from_chars leaves d untouched in both cases.
    size_t e = num.find_first_of("eE");
    bool hugeExponent = e != std::string_view::npos && num[e + 1] != '-';
    d = hugeExponent || e == std::string_view::npos ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return negative ? -d : d;
}

int64_t leadingInteger(std::string_view s) {
  size_t i = 0, n = s.size();
  while (i < n && isSpace(s[i])) ++i;
  bool negative = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  while (i < n && isSpace(s[i])) ++i;
  uint64_t v = 0;
  const uint64_t limit = negative ? uint64_t(std::numeric_limits<int64_t>::max()) + 1 : uint64_t(std::numeric_limits<int64_t>::max());
  for (; i < n && isDigit(s[i]); ++i) {
    unsigned d = unsigned(s[i] - '0');
    if (v > (limit - d) / 10) {
      v = limit;  // saturate
      break;
    }
    v = v * 10 + d;
  }
  if (negative) return v == limit ? std::numeric_limits<int64_t>::min() : -int64_t(v);
  return int64_t(v);
}

}  // namespace vellum
