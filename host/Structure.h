// The host's ordered collection whose members may have keys.
#pragma once

#include <atomic>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "host/Value.h"

namespace vellum {

// The keys of a structure's members, one per member. A table is shared by every structure of
// the same shape (a mesh vertex's six keys are stored once for the whole mesh) and is never
// changed while shared: a structure copies it before changing its keys. Members [0, positional)
// are keyed prefix + position ("0", "1", ... or "vertex_0", ...) without storing the keys; the
// rest have theirs in `tail` (none for an unkeyed member). A look-up by key searches the first
// few members and builds a key index on the first look-up in a longer table.
class KeyTable {
 public:
  static constexpr size_t npos = size_t(-1);

  KeyTable() = default;
  // A copy starts without an index.
  KeyTable(const KeyTable& other)
      : prefix_(other.prefix_), positional_(other.positional_), tail_(other.tail_), unkeyed_(other.unkeyed_) {}
  KeyTable& operator=(const KeyTable&) = delete;
  ~KeyTable() { forgetIndex(); }

  // A table for structures whose members all have these keys, in this order.
  static std::shared_ptr<const KeyTable> of(std::vector<std::string> keys);

  size_t size() const { return positional_ + tail_.size(); }
  std::optional<std::string> keyAt(size_t index) const;
  bool keyedAt(size_t index) const { return index < positional_ || (index < size() && tail_[index - positional_]); }
  bool anyKeyed() const { return positional_ > 0 || tail_.size() > unkeyed_; }
  bool allKeyed() const { return unkeyed_ == 0; }
  // The position of the first member with this key, or npos.
  size_t find(std::string_view key) const;
  bool sameKeys(const KeyTable& other) const;

 private:
  friend class Structure;
  void append(std::optional<std::string> key);
  void insert(size_t index, std::optional<std::string> key);
  void spellOutPositions();  // moves the positional keys into the tail
  void forgetIndex();
  size_t positionalIndex(std::string_view key) const;

  std::string prefix_;
  size_t positional_ = 0;
  std::vector<std::optional<std::string>> tail_;
  size_t unkeyed_ = 0;  // in the tail
  // Tail key -> first tail position; made by the first look-up that needs it (readers of a
  // shared table may race to make it: one wins, the others drop theirs).
  using Index = std::unordered_map<std::string_view, size_t>;
  mutable std::atomic<Index*> index_ = nullptr;
};

class Structure {
 public:
  using Keys = std::shared_ptr<const KeyTable>;

  // A member as iteration gives it: its value, and its key on demand (so that reading values
  // builds no key text).
  class Member {
   public:
    Value value;
    std::optional<std::string> key() const { return owner_->keyAtIndex(index_); }
    bool keyed() const { return owner_->keys_ && owner_->keys_->keyedAt(index_); }

   private:
    friend class Structure;
    Member(Value v, const Structure* owner, size_t index) : value(std::move(v)), owner_(owner), index_(index) {}
    const Structure* owner_;
    size_t index_;
  };

  class Iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = Member;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = Member;
    Iterator() = default;
    Iterator(const Structure* s, size_t i) : s_(s), i_(i) {}
    Member operator*() const { return Member(s_->memberAtIndex(i_), s_, i_); }
    Iterator& operator++() {
      ++i_;
      return *this;
    }
    Iterator operator++(int) {
      Iterator t = *this;
      ++i_;
      return t;
    }
    friend bool operator==(const Iterator& a, const Iterator& b) { return a.i_ == b.i_; }

   private:
    const Structure* s_ = nullptr;
    size_t i_ = 0;
  };

  Structure() = default;
  // initWithMembers: unkeyed members in order.
  explicit Structure(std::vector<Value> members);
  // initWithMembers:keyPrefix: members keyed prefix + position ("vertex_0", "vertex_1", ...).
  Structure(std::vector<Value> members, const std::string& keyPrefix);
  // Members keyed by a shared table with one key per member (see KeyTable::of).
  Structure(std::vector<Value> members, Keys keys);
  // initWithMembersAndKeys: keyed members in the order given.
  static Structure withMembersAndKeys(std::vector<std::pair<std::string, Value>> members);
  // initWithArray: unkeyed members; inner lists become structures (see Value's list constructor).
  static Structure withArray(std::vector<Value> members) { return Structure(std::move(members)); }
  // initWithDictionary: keyed members in key order.
  static Structure withDictionary(const std::map<std::string, Value>& dictionary);
  // Members that are each a structure of `width` numbers (doubles), row after row of `numbers`,
  // keyed by `rowKeys` (unkeyed when null); the members themselves are keyed prefix + position
  // when a prefix is given. Only the numbers are stored: reading a member makes its structure,
  // equal to the one any earlier read gave. Changing the structure stores its members one by one.
  static Structure withNumberRows(size_t width, std::vector<double> numbers, Keys rowKeys = nullptr,
                                  std::optional<std::string> keyPrefix = std::nullopt);

  size_t count() const;
  bool empty() const { return count() == 0; }
  // memberAtIndex: nothing when the index is out of range.
  Value memberAtIndex(size_t index) const;
  // memberForKey: the first member with that key; nothing when absent.
  Value memberForKey(std::string_view key) const;
  bool hasKey(std::string_view key) const { return keys_ && keys_->find(key) != KeyTable::npos; }
  // The key of the member at `index`; none for an unkeyed member or out of range.
  std::optional<std::string> keyAtIndex(size_t index) const {
    return keys_ ? keys_->keyAt(index) : std::nullopt;
  }
  std::vector<Value> arrayRepresentation() const;
  bool isKeyed() const { return count() > 0 && keys_ && keys_->allKeyed(); }
  bool anyKeyed() const { return keys_ && keys_->anyKeyed(); }

  Iterator begin() const { return {this, 0}; }
  Iterator end() const { return {this, count()}; }

  // addMember:forKey: appends (an empty key means unkeyed).
  void addMember(Value value, std::optional<std::string> key = std::nullopt);
  // setMember:forKey: replaces the member with that key, or appends one.
  void setMember(Value value, const std::string& key);
  void removeMemberForKey(std::string_view key);
  // insertObject:atIndex:forKey: the index is clamped to the end.
  void insertObject(Value value, size_t index, std::optional<std::string> key = std::nullopt);

  // Same keys in the same places and equal members.
  friend bool operator==(const Structure& a, const Structure& b);

 private:
  struct NumberRows {
    size_t width;
    std::vector<double> numbers;
    Keys rowKeys;
  };

  Value row(size_t index) const;
  void storeMembers();  // number rows into values_
  KeyTable& ownKeys();

  std::vector<Value> values_;                // the members, unless rows_ holds them
  std::shared_ptr<const NumberRows> rows_;  // shared by copies
  std::shared_ptr<KeyTable> keys_;           // null: no member is keyed; shared tables are copied before a change
};

}  // namespace vellum
