#include "cli/JsonValue.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "host/Bundle.h"
#include "host/Exception.h"
#include "host/Image.h"
#include "host/Structure.h"

namespace vellum::cli {

namespace fs = std::filesystem;

std::string ImageSink::write(const Image& image) {
  std::string name;
  for (size_t n = written_.size() + 1;; ++n) {
    name = stem_ + (n == 1 ? "" : "-" + std::to_string(n)) + ".png";
    if (!taken_ || taken_->insert(name).second) break;
  }
  image.writePNG((folder_ / name).string());
  written_.push_back(name);
  return name;
}

std::string shortestDouble(double d) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, d);
  return std::string(buf, r.ptr);
}

double floatAsDouble(float f) {
  if (!std::isfinite(f)) return double(f);
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, f);
  double d = 0;
  std::from_chars(buf, r.ptr, d);
  return d;
}

namespace {

Json number(double d) {
  if (std::isnan(d)) return "nan";
  if (std::isinf(d)) return d > 0 ? "inf" : "-inf";
  return Json(d);
}

Json numbers(std::initializer_list<double> list) {
  Json a = Json::array();
  for (double d : list) a.push_back(number(d));
  return a;
}

Json structureToJson(const Structure& s, ImageSink* images) {
  if (!s.anyKeyed()) {
    Json a = Json::array();
    a.get_ref<Json::array_t&>().reserve(s.count());
    for (size_t i = 0; i < s.count(); ++i) a.push_back(toJson(s.memberAtIndex(i), images));
    return a;
  }
  Json o = Json::object();
  // Appended to the object's member list directly: its own insertion searches that list for
  // the key, which made a mesh structure of 100 000 members take seconds.
  auto& members = static_cast<Json::object_t::Container&>(o.get_ref<Json::object_t&>());
  members.reserve(s.count());
  // Views of the keys in `members`, which never reallocates; a few members (a vertex) are
  // searched directly.
  const bool few = s.count() <= 16;
  std::unordered_set<std::string_view> seen;
  if (!few) seen.reserve(s.count());
  auto repeated = [&](const std::string& key) {
    if (!few) return seen.contains(key);
    return std::any_of(members.begin(), members.end(), [&](const auto& m) { return m.first == key; });
  };
  for (size_t i = 0; i < s.count(); ++i) {
    std::optional<std::string> key = s.keyAtIndex(i);
    if (!key) key = "#" + std::to_string(i);
    // A repeated key keeps its first member, the one memberForKey answers.
    if (repeated(*key)) continue;
    members.emplace_back(std::move(*key), toJson(s.memberAtIndex(i), images));
    if (!few) seen.insert(members.back().first);
  }
  return o;
}

}  // namespace

Json toJson(const Value& v, ImageSink* images) {
  using K = Value::Kind;
  switch (v.kind()) {
    case K::Nothing: return nullptr;
    case K::Integer: return v.integerValue();
    case K::Double: return number(v.doubleValue());
    case K::Boolean: return v.boolValue();
    case K::String: return *v.string();
    case K::Color: {
      const Color& c = *v.color();
      return {{"$color", numbers({c.red, c.green, c.blue, c.alpha})}};
    }
    case K::Point: return {{"$point", numbers({v.point()->x, v.point()->y})}};
    case K::Size: return {{"$size", numbers({v.size()->width, v.size()->height})}};
    case K::Rect: {
      const Rect& r = *v.rect();
      return {{"$rect", numbers({r.origin.x, r.origin.y, r.size.width, r.size.height})}};
    }
    case K::Vector3: {
      const Vector3& p = *v.vector3();
      return {{"$vector3", numbers({floatAsDouble(p.x), floatAsDouble(p.y), floatAsDouble(p.z)})}};
    }
    case K::Structure: return structureToJson(*v.structure(), images);
    case K::Image: {
      const Image& image = *v.image();
      Json info = {{"width", image.width()}, {"height", image.height()}};
      if (images) info["file"] = images->write(image);
      return {{"$image", info}};
    }
    case K::Object: {
      Value representation = v.object()->representation();
      // An object that represents itself by an object would never end: show its class.
      if (representation.kind() == K::Object) return v.object()->className();
      return toJson(representation, images);
    }
  }
  return nullptr;
}

namespace {

double jsonNumber(const Json& j, const char* what) {
  if (j.is_number()) return j.get<double>();
  if (j.is_string()) {
    const auto& s = j.get_ref<const std::string&>();
    if (s == "nan") return std::numeric_limits<double>::quiet_NaN();
    if (s == "inf") return std::numeric_limits<double>::infinity();
    if (s == "-inf") return -std::numeric_limits<double>::infinity();
  }
  throw UsageError(std::string(what) + " wants numbers, not " + j.dump());
}

std::vector<double> jsonNumbers(const Json& j, const char* what, size_t minCount, size_t maxCount) {
  if (!j.is_array() || j.size() < minCount || j.size() > maxCount) {
    std::string count = minCount == maxCount ? std::to_string(minCount) : std::to_string(minCount) + " or " + std::to_string(maxCount);
    throw UsageError(std::string(what) + " wants an array of " + count + " numbers, not " + j.dump());
  }
  std::vector<double> out;
  for (const auto& e : j) out.push_back(jsonNumber(e, what));
  return out;
}

// Why a {"$path": ...} object made no path: its first element or attribute that the path
// form refuses, named with its position. Empty when nothing looks wrong (the plug-in that
// reads paths is then not loaded).
std::string pathProblem(const Json& j) {
  const Json& elements = j.begin().value();
  const std::string forms = "[\"moveto\", x, y], [\"lineto\", x, y], [\"curveto\", x, y, x1, y1, x2, y2] or [\"close\"]";
  if (!elements.is_array()) return "$path wants an array of elements, each " + forms + ", not " + elements.dump();
  bool current = false;
  size_t position = 0;
  for (const Json& e : elements) {
    const std::string where = "$path element " + std::to_string(++position) + ", " + e.dump() + ": ";
    if (!e.is_array() || e.empty() || !e[0].is_string()) return where + "an element is " + forms;
    const std::string op = e[0].get<std::string>();
    const size_t wanted = op == "moveto" || op == "lineto" ? 2 : op == "curveto" ? 6 : op == "close" ? 0 : size_t(-1);
    if (wanted == size_t(-1)) return where + "unknown element \"" + op + "\"; an element is " + forms;
    if (e.size() - 1 != wanted)
      return where + "\"" + op + "\" takes " + std::to_string(wanted) + " numbers, not " + std::to_string(e.size() - 1);
    for (size_t i = 1; i < e.size(); ++i)
      if (!e[i].is_number() && !(e[i].is_string() && (e[i] == "nan" || e[i] == "inf" || e[i] == "-inf")))
        return where + "\"" + op + "\" takes numbers, not " + e[i].dump();
    if (op != "moveto" && !current)
      return where + "it comes before any \"moveto\": a path starts with [\"moveto\", x, y]";
    current = true;
  }
  for (const char* key : {"windingRule", "lineWidth", "lineCapStyle", "lineJoinStyle", "miterLimit", "dashPhase"})
    if (j.contains(key) && !j[key].is_number()) return std::string("$path's \"") + key + "\" wants a number, not " + j[key].dump();
  if (j.contains("dash") && !j["dash"].is_array()) return "$path's \"dash\" wants an array of numbers, not " + j["dash"].dump();
  return {};
}

// "#N" at position N marks an unkeyed member of a mixed structure.
bool isPositionKey(const std::string& key, size_t position) {
  return key.starts_with('#') && key == "#" + std::to_string(position);
}

}  // namespace

namespace {

bool sameKeys(const KeyTable& table, const std::vector<std::string>& keys) {
  if (table.size() != keys.size()) return false;
  for (size_t i = 0; i < keys.size(); ++i)
    if (table.keyAt(i) != keys[i]) return false;
  return true;
}

// `shape` is the key table of the last keyed object read: the next object with the same keys
// (a mesh's vertices, one after another) shares it.
Value valueFromJson(const Json& j, const fs::path& baseFolder, Structure::Keys& shape) {
  switch (j.type()) {
    case Json::value_t::null: return Value();
    case Json::value_t::boolean: return j.get<bool>();
    case Json::value_t::number_integer: return j.get<int64_t>();
    case Json::value_t::number_unsigned: {
      uint64_t u = j.get<uint64_t>();
      if (u <= uint64_t(std::numeric_limits<int64_t>::max())) return int64_t(u);
      return double(u);
    }
    case Json::value_t::number_float: return j.get<double>();
    case Json::value_t::string: {
      const auto& s = j.get_ref<const std::string&>();
      if (s == "nan" || s == "inf" || s == "-inf") return jsonNumber(j, "");
      return s;
    }
    case Json::value_t::array: {
      auto s = std::make_shared<Structure>();
      for (const auto& e : j) s->addMember(valueFromJson(e, baseFolder, shape));
      return Value(StructureRef(std::move(s)));
    }
    case Json::value_t::object: {
      if (j.size() == 1) {
        const std::string& key = j.begin().key();
        const Json& inner = j.begin().value();
        if (key == "$color") {
          auto c = jsonNumbers(inner, "$color", 3, 4);
          return Color::colorWithRed(c[0], c[1], c[2], c.size() == 4 ? c[3] : 1.0);
        }
        if (key == "$point") {
          auto p = jsonNumbers(inner, "$point", 2, 2);
          return Point{p[0], p[1]};
        }
        if (key == "$size") {
          auto p = jsonNumbers(inner, "$size", 2, 2);
          return Size{p[0], p[1]};
        }
        if (key == "$rect") {
          auto p = jsonNumbers(inner, "$rect", 4, 4);
          return Rect{{p[0], p[1]}, {p[2], p[3]}};
        }
        if (key == "$vector3") {
          auto p = jsonNumbers(inner, "$vector3", 3, 3);
          return Vector3{float(p[0]), float(p[1]), float(p[2])};
        }
        if (key == "$image") {
          if (!inner.is_string()) throw UsageError("$image wants the name of a PNG file, not " + inner.dump());
          fs::path file = inner.get<std::string>();
          if (file.is_relative()) file = baseFolder / file;
          try {
            return Value(std::make_shared<const Image>(Image::readPNG(file.string())));
          } catch (const vellum::Exception& e) {
            throw UsageError(e.what());
          }
        }
      }
      std::vector<Value> values;
      std::vector<std::string> keys;
      values.reserve(j.size());
      keys.reserve(j.size());
      bool mixed = false;
      for (const auto& [key, inner] : j.items()) {
        values.push_back(valueFromJson(inner, baseFolder, shape));
        mixed |= isPositionKey(key, keys.size());
        keys.push_back(key);
      }
      StructureRef s;
      if (mixed) {
        auto m = std::make_shared<Structure>();
        for (size_t i = 0; i < keys.size(); ++i)
          m->addMember(std::move(values[i]), isPositionKey(keys[i], i) ? std::nullopt : std::optional(std::move(keys[i])));
        s = std::move(m);
      } else {
        if (!shape || !sameKeys(*shape, keys)) shape = KeyTable::of(std::move(keys));
        s = std::make_shared<const Structure>(std::move(values), shape);
      }
      // Other "$" forms belong to a plug-in's objects ({"$path": ...}): the loaded plug-ins
      // make them; one that none knows stays a plain keyed structure.
      if (!j.empty() && j.begin().key().starts_with("$")) {
        if (ObjectRef object = Bundle::objectFromRepresentation(Value(StructureRef(s)))) return Value(object);
        if (j.begin().key() == "$path")
          if (std::string why = pathProblem(j); !why.empty()) throw UsageError(why);
      }
      return Value(StructureRef(std::move(s)));
    }
    default: throw UsageError("a JSON " + std::string(j.type_name()) + " is no value");
  }
}

}  // namespace

Value fromJson(const Json& j, const fs::path& baseFolder) {
  Structure::Keys shape;
  return valueFromJson(j, baseFolder, shape);
}

namespace {

bool isScalar(const Json& j) { return !j.is_array() && !j.is_object(); }

void dumpScalar(std::string& out, const Json& j) {
  if (j.is_number_float()) {
    double d = j.get<double>();
    std::string s = shortestDouble(d);
    // Keep it a double when read back: "1" would come back as an integer.
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    out += s;
  } else {
    out += j.dump(-1, ' ', false, Json::error_handler_t::replace);
  }
}

void dumpCompact(std::string& out, const Json& j, bool spaced) {
  if (j.is_array()) {
    out += '[';
    bool first = true;
    for (const auto& e : j) {
      if (!first) out += spaced ? ", " : ",";
      first = false;
      dumpCompact(out, e, spaced);
    }
    out += ']';
  } else if (j.is_object()) {
    out += '{';
    bool first = true;
    for (const auto& [k, e] : j.items()) {
      if (!first) out += spaced ? ", " : ",";
      first = false;
      dumpScalar(out, Json(k));
      out += spaced ? ": " : ":";
      dumpCompact(out, e, spaced);
    }
    out += '}';
  } else {
    dumpScalar(out, j);
  }
}

// A row of up to 16 scalars (a path element, a vertex) and any small container print on one
// line; the rest indent.
bool fitsOnOneLine(const Json& j, int budget) {
  if (isScalar(j)) return true;
  if (j.size() <= 16 && std::all_of(j.begin(), j.end(), isScalar)) return true;
  if (j.size() > 8) return false;
  for (const auto& e : j)
    if (!isScalar(e) && !fitsOnOneLine(e, budget / 2)) return false;
  std::string s;
  dumpCompact(s, j, true);
  return int(s.size()) <= budget;
}

void dumpPretty(std::string& out, const Json& j, int level) {
  if (isScalar(j) || j.empty() || fitsOnOneLine(j, 72)) {
    dumpCompact(out, j, true);
    return;
  }
  std::string inner(size_t(level + 1) * 2, ' ');
  bool object = j.is_object();
  out += object ? "{\n" : "[\n";
  bool first = true;
  for (const auto& [k, e] : j.items()) {
    if (!first) out += ",\n";
    first = false;
    out += inner;
    if (object) {
      dumpScalar(out, Json(k));
      out += ": ";
    }
    dumpPretty(out, e, level + 1);
  }
  out += '\n';
  out += std::string(size_t(level) * 2, ' ');
  out += object ? '}' : ']';
}

// Builds the document as nlohmann's own reader does, but appends object members directly,
// with a table of the keys seen: the ordered object's own insertion searches its member list
// for every key, quadratic in the members of one object. A repeated key keeps its first
// place and takes the last value, as there.
class DocumentReader {
 public:
  using number_integer_t = Json::number_integer_t;
  using number_unsigned_t = Json::number_unsigned_t;
  using number_float_t = Json::number_float_t;
  using string_t = Json::string_t;
  using binary_t = Json::binary_t;

  Json result;

  bool null() { return put(nullptr); }
  bool boolean(bool v) { return put(v); }
  bool number_integer(number_integer_t v) { return put(v); }
  bool number_unsigned(number_unsigned_t v) { return put(v); }
  bool number_float(number_float_t v, const string_t&) { return put(v); }
  bool string(string_t& v) { return put(std::move(v)); }
  bool binary(binary_t& v) { return put(Json::binary(std::move(v))); }
  bool start_object(std::size_t) { return open(Json::object()); }
  bool key(string_t& k) {
    open_.back().key = std::move(k);
    return true;
  }
  bool end_object() { return close(); }
  bool start_array(std::size_t) { return open(Json::array()); }
  bool end_array() { return close(); }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) {
    // Thrown as the reader's own kinds, which parseJson turns into messages.
    if (auto* p = dynamic_cast<const Json::parse_error*>(&e)) throw *p;
    if (auto* r = dynamic_cast<const Json::out_of_range*>(&e)) throw *r;
    throw UsageError(e.what());
  }

 private:
  struct Open {
    Json value;
    std::string key;                                   // of the next member, in an object
    std::unordered_map<std::string, size_t> position;  // of each key, in an object
  };

  bool open(Json container) {
    open_.push_back({std::move(container), {}, {}});
    return true;
  }
  bool close() {
    Json done = std::move(open_.back().value);
    open_.pop_back();
    return put(std::move(done));
  }
  bool put(Json v) {
    if (open_.empty()) {
      result = std::move(v);
      return true;
    }
    Open& top = open_.back();
    if (top.value.is_array()) {
      top.value.get_ref<Json::array_t&>().push_back(std::move(v));
      return true;
    }
    auto& members = static_cast<Json::object_t::Container&>(top.value.get_ref<Json::object_t&>());
    auto [at, added] = top.position.try_emplace(top.key, members.size());
    if (added)
      members.emplace_back(std::move(top.key), std::move(v));
    else
      members[at->second].second = std::move(v);
    return true;
  }

  std::vector<Open> open_;
};

}  // namespace

std::string dumpJson(const Json& j, bool pretty) {
  std::string out;
  if (pretty)
    dumpPretty(out, j, 0);
  else
    dumpCompact(out, j, false);
  return out;
}

Json parseJson(const std::string& text, const std::string& source) {
  try {
    DocumentReader reader;
    Json::sax_parse(text, &reader);
    return std::move(reader.result);
  } catch (const Json::parse_error& e) {
    // Line and column of the byte where parsing stopped, both from 1.
    size_t end = std::min(e.byte == 0 ? 0 : e.byte - 1, text.size());
    size_t line = 1, column = 1;
    for (size_t i = 0; i < end; ++i) {
      if (text[i] == '\n') {
        ++line;
        column = 1;
      } else {
        ++column;
      }
    }
    std::string why = e.what();
    // nlohmann's text repeats the position; keep only what it says went wrong.
    if (auto p = why.find(": "); p != std::string::npos) why = why.substr(p + 2);
    throw UsageError(source + ":" + std::to_string(line) + ":" + std::to_string(column) + ": malformed JSON: " + why);
  } catch (const Json::out_of_range& e) {
    // A number beyond the double range ("1e999") is refused by the parser with this exception,
    // not a parse error; it is an unusable file all the same, never a crash.
    std::string why = e.what();
    if (auto p = why.find("] "); p != std::string::npos) why = why.substr(p + 2);
    throw UsageError(source + ": malformed JSON: " + why);
  }
}

}  // namespace vellum::cli
