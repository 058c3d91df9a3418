#include <gtest/gtest.h>

#include "host/Structure.h"

using namespace vellum;

TEST(StructureTest, MembersWithAKeyPrefixAreKeyedByPosition) {
  Structure s({Value(1.0), Value(2.0), Value(3.0)}, "vertex_");
  ASSERT_EQ(s.count(), 3u);
  EXPECT_EQ(*s.list()[2].key, "vertex_2");
  EXPECT_EQ(s.memberForKey("vertex_1").doubleValue(), 2.0);
  EXPECT_TRUE(s.memberForKey("vertex_3").isNothing());
  EXPECT_TRUE(s.isKeyed());
}

TEST(StructureTest, DictionariesAndKeyedListsKeepTheirOrder) {
  auto s = Structure::withMembersAndKeys({{"b", 1}, {"a", 2}});
  EXPECT_EQ(*s.list()[0].key, "b");
  auto d = Structure::withDictionary({{"b", 1}, {"a", 2}});
  EXPECT_EQ(*d.list()[0].key, "a");
  EXPECT_EQ(d.memberForKey("b").integerValue(), 1);
}

TEST(StructureTest, ReadingOutOfRangeAnswersNothing) {
  Structure s(std::vector<Value>{Value("x")});
  EXPECT_TRUE(s.memberAtIndex(1).isNothing());
  EXPECT_TRUE(s.memberAtIndex(size_t(-1)).isNothing());
  EXPECT_TRUE(s.memberForKey("x").isNothing());
  EXPECT_FALSE(s.isKeyed());
  EXPECT_FALSE(Structure().isKeyed());
}

TEST(StructureTest, ChangingMembers) {
  Structure s;
  s.addMember(1, "X");
  s.addMember(2);
  s.setMember(3, "X");  // replaces in place
  s.setMember(4, "Y");  // appends
  ASSERT_EQ(s.count(), 3u);
  EXPECT_EQ(s.memberAtIndex(0).integerValue(), 3);
  EXPECT_EQ(s.memberAtIndex(2).integerValue(), 4);
  s.insertObject(0, 0);
  s.insertObject(9, 100, "Z");  // past the end: appended
  EXPECT_EQ(s.memberAtIndex(0).integerValue(), 0);
  EXPECT_FALSE(s.list()[0].key.has_value());
  EXPECT_EQ(*s.list().back().key, "Z");
  s.removeMemberForKey("X");
  EXPECT_EQ(s.count(), 4u);
  EXPECT_FALSE(s.hasKey("X"));
  std::vector<Value> values = s.arrayRepresentation();
  ASSERT_EQ(values.size(), 4u);
  EXPECT_EQ(values[3].integerValue(), 9);
  int sum = 0;
  for (const auto& m : s) sum += int(m.value.integerValue());
  EXPECT_EQ(sum, 0 + 2 + 4 + 9);
}
