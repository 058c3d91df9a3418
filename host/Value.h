// Values that travel through ports and structures.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace vellum {

struct Point {
  double x = 0, y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  double width = 0, height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
  Point origin;
  Size size;
  friend bool operator==(const Rect&, const Rect&) = default;
};

// Three single-precision components; the geometry patches' vertex and normal type.
struct Vector3 {
  float x = 0, y = 0, z = 0;
  friend bool operator==(const Vector3&, const Vector3&) = default;
};

// A colour by its own RGBA components, each 0..1.
struct Color {
  double red = 0, green = 0, blue = 0, alpha = 1;
  static Color colorWithRed(double r, double g, double b, double a) { return {r, g, b, a}; }
  friend bool operator==(const Color&, const Color&) = default;
};

class Structure;
class Image;
class Value;

// A shared immutable object carried by object ports (a path, for instance).
// `representation` answers a plain value (usually a keyed structure) that the host can
// print or store; it is how a host that does not know the object's class shows it.
class Object {
 public:
  virtual ~Object() = default;
  virtual std::string className() const = 0;
  virtual Value representation() const;
  virtual bool isEqual(const Object& other) const { return this == &other; }
};

using StructureRef = std::shared_ptr<const Structure>;
using ImageRef = std::shared_ptr<const Image>;
using ObjectRef = std::shared_ptr<const Object>;

class Value {
 public:
  enum class Kind { Nothing, Integer, Double, Boolean, String, Color, Point, Size, Rect, Vector3, Structure, Image, Object };

  Value() = default;
  Value(std::nullptr_t) {}
  Value(int v) : v_(int64_t{v}) {}
  Value(unsigned v) : v_(int64_t{v}) {}
  Value(long v) : v_(int64_t{v}) {}
  Value(long long v) : v_(int64_t(v)) {}
  Value(unsigned long v) : v_(int64_t(v)) {}
  Value(unsigned long long v) : v_(int64_t(v)) {}
  Value(double v) : v_(v) {}
  Value(float v) : v_(double{v}) {}
  Value(bool v) : v_(v) {}
  Value(const char* v) : Value(std::string(v)) {}
  Value(std::string v) : v_(std::make_shared<const std::string>(std::move(v))) {}
  Value(vellum::Color v) : v_(std::make_shared<const vellum::Color>(v)) {}
  Value(vellum::Point v) : v_(std::make_shared<const vellum::Point>(v)) {}
  Value(vellum::Size v) : v_(std::make_shared<const vellum::Size>(v)) {}
  Value(vellum::Rect v) : v_(std::make_shared<const vellum::Rect>(v)) {}
  Value(vellum::Vector3 v) : v_(v) {}
  Value(StructureRef v);
  Value(std::shared_ptr<Structure> v) : Value(StructureRef(std::move(v))) {}
  Value(ImageRef v);
  Value(std::shared_ptr<Image> v) : Value(ImageRef(std::move(v))) {}
  Value(ObjectRef v);
  // An ordered list becomes an unkeyed structure; inner lists become structures too.
  Value(const std::vector<Value>& list);

  Kind kind() const { return static_cast<Kind>(v_.index()); }
  bool isNothing() const { return kind() == Kind::Nothing; }
  bool isNumber() const { return kind() == Kind::Integer || kind() == Kind::Double || kind() == Kind::Boolean; }

  // Number reading in the host's manner: integers, doubles and booleans convert; a string
  // gives its leading number; anything else gives 0.
  double doubleValue() const;
  int64_t integerValue() const;
  bool boolValue() const;
  // The string itself; numbers print as they are (integers without a fraction).
  std::string stringValue() const;

  // These point into storage shared by every copy of the value, so they stay valid while any
  // copy (a structure's member, for one) lives.
  const std::string* string() const { return boxed<std::string>(); }
  const vellum::Color* color() const { return boxed<vellum::Color>(); }
  const vellum::Point* point() const { return boxed<vellum::Point>(); }
  const vellum::Size* size() const { return boxed<vellum::Size>(); }
  const vellum::Rect* rect() const { return boxed<vellum::Rect>(); }
  const vellum::Vector3* vector3() const { return std::get_if<vellum::Vector3>(&v_); }
  StructureRef structure() const;
  ImageRef image() const;
  ObjectRef object() const;
  // The object when it is of class T, else null.
  template <class T>
  std::shared_ptr<const T> objectAs() const {
    return std::dynamic_pointer_cast<const T>(object());
  }

  // Deep equality: numbers by kind and value, structures member by member, objects by
  // their own equality, images by identity.
  friend bool operator==(const Value& a, const Value& b);

  static const char* kindName(Kind k);

 private:
  template <class T>
  using Box = std::shared_ptr<const T>;
  template <class T>
  const T* boxed() const {
    auto p = std::get_if<Box<T>>(&v_);
    return p ? p->get() : nullptr;
  }

  // 24 bytes: numbers and Vector3 in place; strings, colours, points, sizes and rects in
  // immutable boxes that copies share; structures, images and objects by their references.
  std::variant<std::monostate, int64_t, double, bool, Box<std::string>, Box<vellum::Color>, Box<vellum::Point>,
               Box<vellum::Size>, Box<vellum::Rect>, vellum::Vector3, StructureRef, ImageRef, ObjectRef>
      v_;
};

// Leading-number conversion: skip white space, take the longest run of 0-9 + - . e E and
// read the longest decimal prefix of it ("." always; no hex, inf or nan). "10px" -> 10.
double leadingDouble(std::string_view s);
// Integer conversion: white space, optional sign, white space, decimal digits. "- 5" -> -5.
int64_t leadingInteger(std::string_view s);

}  // namespace vellum
