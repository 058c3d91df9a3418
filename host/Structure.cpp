#include "host/Structure.h"

#include <algorithm>

#include "host/Exception.h"

namespace vellum {

// ---- keys ---------------------------------------------------------------------------------

namespace {
// Tables this short are searched member by member: cheaper than an index.
constexpr size_t kUnindexedKeys = 8;
}  // namespace

std::shared_ptr<const KeyTable> KeyTable::of(std::vector<std::string> keys) {
  auto t = std::make_shared<KeyTable>();
  t->tail_.reserve(keys.size());
  for (auto& k : keys) t->tail_.emplace_back(std::move(k));
  return t;
}

std::optional<std::string> KeyTable::keyAt(size_t index) const {
  if (index < positional_) return prefix_ + std::to_string(index);
  if (index < size()) return tail_[index - positional_];
  return std::nullopt;
}

size_t KeyTable::positionalIndex(std::string_view key) const {
  if (positional_ == 0 || !key.starts_with(prefix_)) return npos;
  const std::string_view digits = key.substr(prefix_.size());
  // The keys written are canonical decimals: no sign, no leading zero.
  if (digits.empty() || digits.size() > 19 || (digits[0] == '0' && digits.size() > 1)) return npos;
  size_t v = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return npos;
    v = v * 10 + size_t(c - '0');
  }
  return v < positional_ ? v : npos;
}

size_t KeyTable::find(std::string_view key) const {
  if (size_t p = positionalIndex(key); p != npos) return p;
  if (tail_.size() <= kUnindexedKeys) {
    for (size_t i = 0; i < tail_.size(); ++i)
      if (tail_[i] && *tail_[i] == key) return positional_ + i;
    return npos;
  }
  Index* index = index_.load(std::memory_order_acquire);
  if (!index) {
    auto made = std::make_unique<Index>();
    made->reserve(tail_.size());
    for (size_t i = 0; i < tail_.size(); ++i)
      if (tail_[i]) made->try_emplace(*tail_[i], i);  // the first member with a key wins
    if (index_.compare_exchange_strong(index, made.get(), std::memory_order_acq_rel))
      index = made.release();
  }
  auto it = index->find(key);
  return it == index->end() ? npos : positional_ + it->second;
}

bool KeyTable::sameKeys(const KeyTable& other) const {
  if (this == &other) return true;
  if (size() != other.size()) return false;
  if (prefix_ == other.prefix_ && positional_ == other.positional_) return tail_ == other.tail_;
  for (size_t i = 0; i < size(); ++i)
    if (keyAt(i) != other.keyAt(i)) return false;
  return true;
}

void KeyTable::forgetIndex() { delete index_.exchange(nullptr, std::memory_order_relaxed); }

void KeyTable::append(std::optional<std::string> key) {
  if (tail_.empty() && key && *key == prefix_ + std::to_string(positional_)) {
    ++positional_;
    return;
  }
  if (!key) ++unkeyed_;
  // The index holds views of the keys, which a reallocation moves.
  Index* index = index_.load(std::memory_order_relaxed);
  const bool keepIndex = index && tail_.size() < tail_.capacity();
  tail_.push_back(std::move(key));
  if (!keepIndex)
    forgetIndex();
  else if (tail_.back())
    index->try_emplace(*tail_.back(), tail_.size() - 1);
}

void KeyTable::spellOutPositions() {
  if (positional_ == 0) return;
  std::vector<std::optional<std::string>> all;
  all.reserve(size());
  for (size_t i = 0; i < positional_; ++i) all.emplace_back(prefix_ + std::to_string(i));
  std::move(tail_.begin(), tail_.end(), std::back_inserter(all));
  tail_ = std::move(all);
  positional_ = 0;
  forgetIndex();
}

void KeyTable::insert(size_t index, std::optional<std::string> key) {
  if (index >= size()) return append(std::move(key));
  if (index < positional_) spellOutPositions();
  if (!key) ++unkeyed_;
  tail_.insert(tail_.begin() + std::ptrdiff_t(index - positional_), std::move(key));
  forgetIndex();
}

// ---- structure ----------------------------------------------------------------------------

Structure::Structure(std::vector<Value> members) : values_(std::move(members)) {}

Structure::Structure(std::vector<Value> members, const std::string& keyPrefix) : values_(std::move(members)) {
  keys_ = std::make_shared<KeyTable>();
  keys_->prefix_ = keyPrefix;
  keys_->positional_ = values_.size();
}

Structure::Structure(std::vector<Value> members, Keys keys) : values_(std::move(members)) {
  if (!keys) return;
  if (keys->size() != values_.size()) throw Exception("Structure: one key per member");
  keys_ = std::const_pointer_cast<KeyTable>(std::move(keys));
}

Structure Structure::withMembersAndKeys(std::vector<std::pair<std::string, Value>> members) {
  Structure s;
  s.values_.reserve(members.size());
  s.keys_ = std::make_shared<KeyTable>();
  s.keys_->tail_.reserve(members.size());
  for (auto& [k, v] : members) {
    s.keys_->tail_.emplace_back(std::move(k));
    s.values_.push_back(std::move(v));
  }
  return s;
}

Structure Structure::withDictionary(const std::map<std::string, Value>& dictionary) {
  Structure s;
  s.values_.reserve(dictionary.size());
  s.keys_ = std::make_shared<KeyTable>();
  s.keys_->tail_.reserve(dictionary.size());
  for (const auto& [k, v] : dictionary) {
    s.keys_->tail_.emplace_back(k);
    s.values_.push_back(v);
  }
  return s;
}

Structure Structure::withNumberRows(size_t width, std::vector<double> numbers, Keys rowKeys,
                                    std::optional<std::string> keyPrefix) {
  Structure s;
  if (width == 0 || numbers.size() < width) return s;
  if (rowKeys && rowKeys->size() != width) throw Exception("Structure: one key per row member");
  numbers.resize(numbers.size() / width * width);
  const size_t n = numbers.size() / width;
  s.rows_ = std::make_shared<const NumberRows>(NumberRows{width, std::move(numbers), std::move(rowKeys)});
  if (keyPrefix) {
    s.keys_ = std::make_shared<KeyTable>();
    s.keys_->prefix_ = std::move(*keyPrefix);
    s.keys_->positional_ = n;
  }
  return s;
}

size_t Structure::count() const { return rows_ ? rows_->numbers.size() / rows_->width : values_.size(); }

Value Structure::row(size_t index) const {
  auto s = std::make_shared<Structure>();
  const double* first = rows_->numbers.data() + index * rows_->width;
  s->values_.assign(first, first + rows_->width);
  s->keys_ = std::const_pointer_cast<KeyTable>(rows_->rowKeys);
  return Value(StructureRef(std::move(s)));
}

Value Structure::memberAtIndex(size_t index) const {
  if (index >= count()) return Value();
  return rows_ ? row(index) : values_[index];
}

Value Structure::memberForKey(std::string_view key) const {
  if (!keys_) return Value();
  const size_t p = keys_->find(key);
  return p == KeyTable::npos ? Value() : memberAtIndex(p);
}

std::vector<Value> Structure::arrayRepresentation() const {
  if (!rows_) return values_;
  std::vector<Value> out;
  out.reserve(count());
  for (size_t i = 0; i < count(); ++i) out.push_back(row(i));
  return out;
}

void Structure::storeMembers() {
  if (!rows_) return;
  values_ = arrayRepresentation();
  rows_.reset();
}

KeyTable& Structure::ownKeys() {
  if (!keys_) {
    keys_ = std::make_shared<KeyTable>();
    keys_->tail_.assign(count(), std::nullopt);
    keys_->unkeyed_ = count();
  } else if (keys_.use_count() > 1) {
    keys_ = std::make_shared<KeyTable>(*keys_);
  }
  return *keys_;
}

void Structure::addMember(Value value, std::optional<std::string> key) {
  storeMembers();
  if (key || keys_) ownKeys().append(std::move(key));
  values_.push_back(std::move(value));
}

void Structure::setMember(Value value, const std::string& key) {
  const size_t p = keys_ ? keys_->find(key) : KeyTable::npos;
  if (p == KeyTable::npos) return addMember(std::move(value), key);
  storeMembers();
  values_[p] = std::move(value);
}

void Structure::removeMemberForKey(std::string_view key) {
  if (!hasKey(key)) return;
  storeMembers();
  KeyTable& k = ownKeys();
  k.spellOutPositions();
  size_t kept = 0;
  for (size_t i = 0; i < values_.size(); ++i) {
    if (k.tail_[i] && *k.tail_[i] == key) continue;
    if (kept != i) {
      values_[kept] = std::move(values_[i]);
      k.tail_[kept] = std::move(k.tail_[i]);
    }
    ++kept;
  }
  values_.resize(kept);
  k.tail_.resize(kept);
  k.unkeyed_ = size_t(std::count(k.tail_.begin(), k.tail_.end(), std::nullopt));
  k.forgetIndex();
}

void Structure::insertObject(Value value, size_t index, std::optional<std::string> key) {
  storeMembers();
  index = std::min(index, values_.size());
  if (key || keys_) ownKeys().insert(index, std::move(key));
  values_.insert(values_.begin() + std::ptrdiff_t(index), std::move(value));
}

bool operator==(const Structure& a, const Structure& b) {
  const size_t n = a.count();
  if (n != b.count()) return false;
  if (a.keys_ != b.keys_) {
    const bool keyed = a.anyKeyed();
    if (keyed != b.anyKeyed()) return false;
    if (keyed && !a.keys_->sameKeys(*b.keys_)) return false;
  }
  if (a.rows_ && b.rows_) {
    if (a.rows_ == b.rows_) return true;
    const auto &x = *a.rows_, &y = *b.rows_;
    const bool sameRowKeys = x.rowKeys == y.rowKeys || (x.rowKeys && y.rowKeys && x.rowKeys->sameKeys(*y.rowKeys));
    if (x.width == y.width && sameRowKeys) return x.numbers == y.numbers;
  }
  if (!a.rows_ && !b.rows_) return a.values_ == b.values_;
  for (size_t i = 0; i < n; ++i)
    if (!(a.memberAtIndex(i) == b.memberAtIndex(i))) return false;
  return true;
}

}  // namespace vellum
