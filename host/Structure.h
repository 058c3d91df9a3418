// The host's ordered collection whose members may have keys.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/Value.h"

namespace vellum {

class Structure {
 public:
  struct Member {
    std::optional<std::string> key;
    Value value;
    friend bool operator==(const Member&, const Member&) = default;
  };
  using List = std::vector<Member>;

  Structure() = default;
  // initWithMembers: unkeyed members in order.
  explicit Structure(std::vector<Value> members);
  // initWithMembers:keyPrefix: members keyed prefix + position ("vertex_0", "vertex_1", ...).
  Structure(std::vector<Value> members, const std::string& keyPrefix);
  // initWithMembersAndKeys: keyed members in the order given.
  static Structure withMembersAndKeys(std::vector<std::pair<std::string, Value>> members);
  // initWithArray: unkeyed members; inner lists become structures (see Value's list constructor).
  static Structure withArray(std::vector<Value> members) { return Structure(std::move(members)); }
  // initWithDictionary: keyed members in key order.
  static Structure withDictionary(const std::map<std::string, Value>& dictionary);

  size_t count() const { return list_.size(); }
  bool empty() const { return list_.empty(); }
  // memberAtIndex: nothing when the index is out of range.
  const Value& memberAtIndex(size_t index) const;
  // memberForKey: the first member with that key; nothing when absent.
  const Value& memberForKey(std::string_view key) const;
  bool hasKey(std::string_view key) const;
  std::vector<Value> arrayRepresentation() const;
  bool isKeyed() const;  // every member has a key

  // The ordered member list (`_list`).
  const List& list() const { return list_; }
  List::const_iterator begin() const { return list_.begin(); }
  List::const_iterator end() const { return list_.end(); }

  // addMember:forKey: appends (an empty key means unkeyed).
  void addMember(Value value, std::optional<std::string> key = std::nullopt);
  // setMember:forKey: replaces the member with that key, or appends one.
  void setMember(Value value, const std::string& key);
  void removeMemberForKey(std::string_view key);
  // insertObject:atIndex:forKey: on `_list`; the index is clamped to the end.
  void insertObject(Value value, size_t index, std::optional<std::string> key = std::nullopt);

  friend bool operator==(const Structure&, const Structure&) = default;

 private:
  List list_;
};

}  // namespace vellum
