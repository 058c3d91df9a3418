// Structure semantics against a plain list of (key, value) members: every storage form (plain,
// positional keys, shared key tables, number rows) must answer every read as the list does,
// before and after each change.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "host/Structure.h"

using namespace vellum;

namespace {

using Model = std::vector<std::pair<std::optional<std::string>, Value>>;

Value row(std::vector<Value> v, const Structure::Keys& keys = nullptr) {
  return Value(std::make_shared<const Structure>(std::move(v), keys));
}

// The probe keys cover positional spellings that must not match ("01", "+1", "vertex_" alone).
const char* const kProbes[] = {"0", "1", "2", "01", "+1", "3", "vertex_", "vertex_0", "vertex_1", "vertex_10",
                               "a", "b", "X", "Y", "NX", "", "#0"};

void expectSame(const Structure& s, const Model& m, const std::string& what) {
  SCOPED_TRACE(what);
  ASSERT_EQ(s.count(), m.size());
  bool allKeyed = !m.empty(), anyKeyed = false;
  for (size_t i = 0; i < m.size(); ++i) {
    EXPECT_EQ(s.keyAtIndex(i), m[i].first) << i;
    EXPECT_EQ(s.memberAtIndex(i), m[i].second) << i;
    allKeyed &= m[i].first.has_value();
    anyKeyed |= m[i].first.has_value();
  }
  EXPECT_TRUE(s.memberAtIndex(m.size()).isNothing());
  EXPECT_EQ(s.isKeyed(), allKeyed);
  EXPECT_EQ(s.anyKeyed(), anyKeyed);
  for (const char* probe : kProbes) {
    auto first = std::find_if(m.begin(), m.end(), [&](const auto& e) { return e.first == probe; });
    EXPECT_EQ(s.hasKey(probe), first != m.end()) << probe;
    EXPECT_EQ(s.memberForKey(probe), first == m.end() ? Value() : first->second) << probe;
  }
  size_t i = 0;
  for (const Structure::Member& member : s) {
    EXPECT_EQ(member.key(), m[i].first);
    EXPECT_EQ(member.value, m[i].second);
    ++i;
  }
  // Equal to the same members stored one by one, and to itself copied.
  Structure plain;
  for (const auto& [k, v] : m) plain.addMember(v, k);
  EXPECT_EQ(s, plain);
  EXPECT_EQ(plain, s);
  EXPECT_EQ(Structure(s), s);
}

struct Start {
  const char* name;
  std::function<Structure()> make;
  Model model;
};

std::vector<Start> starts() {
  const auto xy = KeyTable::of({"X", "Y"});
  const Model rows = {{"0", row({1.0, 2.0}, xy)}, {"1", row({3.0, -0.0}, xy)}, {"2", row({1.0, 2.0}, xy)}};
  return {
      {"empty", [] { return Structure(); }, {}},
      {"unkeyed", [] { return Structure({Value(1), Value("a"), Value(2.5)}); }, {{{}, 1}, {{}, "a"}, {{}, 2.5}}},
      {"prefix", [] { return Structure({Value(1), Value(2)}, "vertex_"); }, {{"vertex_0", 1}, {"vertex_1", 2}}},
      {"keyed, repeated", [] { return Structure::withMembersAndKeys({{"b", 1}, {"a", 2}, {"b", 3}}); },
       {{"b", 1}, {"a", 2}, {"b", 3}}},
      {"dictionary", [] { return Structure::withDictionary({{"b", 1}, {"a", 2}}); }, {{"a", 2}, {"b", 1}}},
      {"shared keys", [=] { return Structure({Value(5), Value(6)}, xy); }, {{"X", 5}, {"Y", 6}}},
      {"number rows", [=] { return Structure::withNumberRows(2, {1, 2, 3, -0.0, 1, 2, 9}, xy, ""); }, rows},
      {"unkeyed rows", [] { return Structure::withNumberRows(3, {1, 2, 3, 4, 5, 6}); },
       {{{}, Value(std::vector<Value>{1.0, 2.0, 3.0})}, {{}, Value(std::vector<Value>{4.0, 5.0, 6.0})}}},
  };
}

struct Change {
  const char* name;
  std::function<void(Structure&)> onStructure;
  std::function<void(Model&)> onModel;
};

std::vector<Change> changes() {
  auto removeAll = [](Model& m, const std::string& k) { std::erase_if(m, [&](const auto& e) { return e.first == k; }); };
  auto set = [](Model& m, const std::string& k, Value v) {
    for (auto& e : m)
      if (e.first == k) return void(e.second = std::move(v));
    m.emplace_back(k, std::move(v));
  };
  auto insert = [](Model& m, size_t i, std::optional<std::string> k, Value v) {
    m.insert(m.begin() + std::ptrdiff_t(std::min(i, m.size())), {std::move(k), std::move(v)});
  };
  return {
      {"add unkeyed", [](Structure& s) { s.addMember(7); }, [](Model& m) { m.emplace_back(std::nullopt, 7); }},
      {"add keyed", [](Structure& s) { s.addMember(8, "a"); }, [](Model& m) { m.emplace_back("a", 8); }},
      {"add the next position", [](Structure& s) { s.addMember(9, std::to_string(s.count())); },
       [](Model& m) { m.emplace_back(std::to_string(m.size()), 9); }},
      {"set b", [](Structure& s) { s.setMember(10, "b"); }, [=](Model& m) { set(m, "b", 10); }},
      {"set 1", [](Structure& s) { s.setMember(11, "1"); }, [=](Model& m) { set(m, "1", 11); }},
      {"set vertex_0", [](Structure& s) { s.setMember(12, "vertex_0"); }, [=](Model& m) { set(m, "vertex_0", 12); }},
      {"remove b", [](Structure& s) { s.removeMemberForKey("b"); }, [=](Model& m) { removeAll(m, "b"); }},
      {"remove 0", [](Structure& s) { s.removeMemberForKey("0"); }, [=](Model& m) { removeAll(m, "0"); }},
      {"remove absent", [](Structure& s) { s.removeMemberForKey("zz"); }, [](Model&) {}},
      {"insert first", [](Structure& s) { s.insertObject(13, 0, "X"); }, [=](Model& m) { insert(m, 0, "X", 13); }},
      {"insert middle unkeyed", [](Structure& s) { s.insertObject(14, 1); },
       [=](Model& m) { insert(m, 1, std::nullopt, 14); }},
      {"insert past the end", [](Structure& s) { s.insertObject(15, 100, "a"); },
       [=](Model& m) { insert(m, 100, "a", 15); }},
  };
}

}  // namespace

TEST(StructureTest, EveryFormAnswersAsAPlainMemberList) {
  for (const Start& start : starts()) {
    expectSame(start.make(), start.model, start.name);
    // Each change alone, then all of them in turn on one structure.
    Structure all = start.make();
    Model allModel = start.model;
    for (const Change& change : changes()) {
      Structure s = start.make();
      const Structure before = s;  // a copy shares storage with s and must not see its changes
      Model m = start.model;
      change.onStructure(s);
      change.onModel(m);
      expectSame(s, m, std::string(start.name) + " / " + change.name);
      expectSame(before, start.model, std::string(start.name) + " / " + change.name + " / earlier copy");
      change.onStructure(all);
      change.onModel(allModel);
      expectSame(all, allModel, std::string(start.name) + " / up to " + change.name);
    }
  }
}

TEST(StructureTest, LongKeyedStructuresFindTheFirstMemberOfAKey) {
  // Past a few members a look-up uses an index; it must follow appends and removals.
  Structure s;
  for (int i = 0; i < 100; ++i) s.addMember(i, "k" + std::to_string(i % 40));
  EXPECT_EQ(s.memberForKey("k39").integerValue(), 39);
  s.addMember(-1, "new");
  s.setMember(-2, "k5");
  EXPECT_EQ(s.memberForKey("new").integerValue(), -1);
  EXPECT_EQ(s.memberAtIndex(5).integerValue(), -2);
  EXPECT_EQ(s.memberAtIndex(45).integerValue(), 45);
  s.removeMemberForKey("k0");
  EXPECT_EQ(s.count(), 98u);
  EXPECT_EQ(s.memberForKey("k1").integerValue(), 1);
  EXPECT_EQ(s.memberForKey("new").integerValue(), -1);
}

TEST(StructureTest, EqualityComparesKeysAndMembers) {
  const auto xy = KeyTable::of({"X", "Y"});
  const Structure rows = Structure::withNumberRows(2, {1, 2}, xy);
  struct Case {
    Structure a, b;
    bool equal;
  };
  const Case cases[] = {
      {Structure({Value(1)}), Structure({Value(1.0)}), false},  // integer and double differ
      {Structure({Value(1)}), Structure({Value(1)}, "k"), false},
      {Structure::withMembersAndKeys({{"k0", 1}}), Structure({Value(1)}, "k"), true},
      {rows, Structure({row({1.0, 2.0}, xy)}), true},
      {rows, Structure({row({1.0, 2.0})}), false},  // the rows' keys count
      {Structure({row({1, "x", row({2.5})})}), Structure({row({1, "x", row({2.0})})}), false},  // deep down
      {rows, Structure::withNumberRows(2, {1, 3}, xy), false},
      {Structure::withNumberRows(1, {std::nan("")}), Structure::withNumberRows(1, {std::nan("")}), false},
  };
  for (const Case& c : cases) EXPECT_EQ(c.a == c.b, c.equal) << (&c - cases);
}
