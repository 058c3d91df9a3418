#include "host/Structure.h"

namespace vellum {

namespace {
const Value kNothing;
}

Structure::Structure(std::vector<Value> members) {
  list_.reserve(members.size());
  for (auto& v : members) list_.push_back({std::nullopt, std::move(v)});
}

Structure::Structure(std::vector<Value> members, const std::string& keyPrefix) {
  list_.reserve(members.size());
  for (size_t i = 0; i < members.size(); ++i) list_.push_back({keyPrefix + std::to_string(i), std::move(members[i])});
}

Structure Structure::withMembersAndKeys(std::vector<std::pair<std::string, Value>> members) {
  Structure s;
  s.list_.reserve(members.size());
  for (auto& [k, v] : members) s.list_.push_back({std::move(k), std::move(v)});
  return s;
}

Structure Structure::withDictionary(const std::map<std::string, Value>& dictionary) {
  Structure s;
  s.list_.reserve(dictionary.size());
  for (const auto& [k, v] : dictionary) s.list_.push_back({k, v});
  return s;
}

const Value& Structure::memberAtIndex(size_t index) const { return index < list_.size() ? list_[index].value : kNothing; }

const Value& Structure::memberForKey(std::string_view key) const {
  for (const auto& m : list_)
    if (m.key && *m.key == key) return m.value;
  return kNothing;
}

bool Structure::hasKey(std::string_view key) const {
  for (const auto& m : list_)
    if (m.key && *m.key == key) return true;
  return false;
}

std::vector<Value> Structure::arrayRepresentation() const {
  std::vector<Value> out;
  out.reserve(list_.size());
  for (const auto& m : list_) out.push_back(m.value);
  return out;
}

bool Structure::isKeyed() const {
  if (list_.empty()) return false;
  for (const auto& m : list_)
    if (!m.key) return false;
  return true;
}

void Structure::addMember(Value value, std::optional<std::string> key) { list_.push_back({std::move(key), std::move(value)}); }

void Structure::setMember(Value value, const std::string& key) {
  for (auto& m : list_)
    if (m.key && *m.key == key) {
      m.value = std::move(value);
      return;
    }
  list_.push_back({key, std::move(value)});
}

void Structure::removeMemberForKey(std::string_view key) {
  std::erase_if(list_, [&](const Member& m) { return m.key && *m.key == key; });
}

void Structure::insertObject(Value value, size_t index, std::optional<std::string> key) {
  if (index > list_.size()) index = list_.size();
  list_.insert(list_.begin() + std::ptrdiff_t(index), {std::move(key), std::move(value)});
}

}  // namespace vellum
