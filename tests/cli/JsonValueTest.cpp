// The JSON form of values: exact text out, the same value back in.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "cli/JsonValue.h"
#include "host/Image.h"
#include "host/Structure.h"
#include "tests/cli/TestSupport.h"

using namespace vellum;
using namespace vellum::cli;

namespace {

std::string out(const Value& v) { return dumpJson(toJson(v)); }
Value in(const std::string& text) { return fromJson(parseJson(text, "test")); }
Value structure(Structure s) { return Value(std::make_shared<const Structure>(std::move(s))); }

constexpr double kInf = std::numeric_limits<double>::infinity();

Structure mixed() {
  Structure s;
  s.addMember(10, "a");
  s.addMember(20);
  s.addMember(30, "c");
  s.addMember(40);
  return s;
}

// A key repeated, and an unkeyed member whose position name is already a key.
Structure repeated() {
  Structure s;
  s.addMember(1, "a");
  s.addMember(2, "#2");
  s.addMember(3);
  s.addMember(4, "a");
  return s;
}

}  // namespace

// Each value's exact text, and (unless marked) the same value read back from it.
TEST(Json, ValuesWriteTheirTextAndReadBack) {
  const struct {
    Value value;
    std::string text;
    bool readsBack = true;
  } cases[] = {
      // Integers and doubles stay apart; doubles print shortest and read back exactly.
      {Value(3), "3"},
      {Value(3.0), "3.0"},
      {Value(-12.0), "-12.0"},
      {Value(int64_t(-9007199254740993)), "-9007199254740993"},
      {Value(0.1), "0.1"},
      {Value(0.1 + 0.2), "0.30000000000000004"},
      {Value(1.0 / 3), "0.3333333333333333"},
      {Value(1e300), "1e+300"},
      {Value(5e-324), "5e-324"},
      {Value(std::numeric_limits<double>::max()), "1.7976931348623157e+308"},
      {Value(kInf), "\"inf\""},
      {Value(-kInf), "\"-inf\""},
      {Value(true), "true"},
      {Value(false), "false"},
      {Value("a \"quoted\" line\n"), R"("a \"quoted\" line\n")"},
      {Value("é ∑"), "\"é ∑\""},
      {Value(), "null"},
      {Value(Color{1, 0.5, 0, 0.25}), R"({"$color":[1.0,0.5,0.0,0.25]})"},
      {Value(Point{1, -2}), R"({"$point":[1.0,-2.0]})"},
      {Value(Point{kInf, 1}), R"({"$point":["inf",1.0]})"},
      {Value(Size{3, 4.5}), R"({"$size":[3.0,4.5]})"},
      {Value(Rect{{1, 2}, {3, 4}}), R"({"$rect":[1.0,2.0,3.0,4.0]})"},
      // Single-precision components print by their own shortest form.
      {Value(Vector3{0.1f, -2.5f, 1e-3f}), R"({"$vector3":[0.1,-2.5,0.001]})"},
      {Value(std::vector<Value>{1, 2.5, "x", Value(std::vector<Value>{true})}), R"([1,2.5,"x",[true]])"},
      {structure(Structure()), "[]"},
      // Keyed structures keep their member order; unkeyed members are named by position.
      {structure(Structure::withMembersAndKeys({{"zeta", 1}, {"alpha", 2.0}, {"mid", Value()}})),
       R"({"zeta":1,"alpha":2.0,"mid":null})"},
      {structure(mixed()), R"({"a":10,"#1":20,"c":30,"#3":40})"},
      // Of a repeated key the first member is written, as memberForKey answers.
      {structure(repeated()), R"({"a":1,"#2":2})", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(out(c.value), c.text);
    if (!c.readsBack) continue;
    const Value back = in(c.text);
    EXPECT_EQ(back, c.value) << c.text;
    EXPECT_EQ(back.kind(), c.value.kind()) << c.text;
  }
  EXPECT_TRUE(std::signbit(in(out(Value(-0.0))).doubleValue()));
  EXPECT_EQ(out(Value(-0.0)), "-0.0");
  EXPECT_FALSE(in(out(structure(mixed()))).structure()->keyAtIndex(1).has_value());
  EXPECT_EQ(out(Value(std::numeric_limits<double>::quiet_NaN())), "\"nan\"");
  EXPECT_TRUE(std::isnan(in("\"nan\"").doubleValue()));
}

TEST(Json, TextReadsAsValues) {
  const std::pair<std::string, Value> cases[] = {
      {"3e0", Value(3.0)},
      // Any other string stays a string.
      {"\"infinity\"", Value("infinity")},
      // Integers are accepted where numbers are wanted; a colour may omit alpha.
      {R"({"$point": [1, 2]})", Value(Point{1, 2})},
      {R"({"$color": [1, 0, 0]})", Value(Color{1, 0, 0, 1})},
      // A tagged object with more keys is a structure; "#N" away from position N a key.
      {R"({"$point": [1, 2], "other": 3})",
       structure(Structure::withMembersAndKeys({{"$point", Value(std::vector<Value>{1, 2})}, {"other", 3}}))},
      {R"({"#5": 1})", structure(Structure::withMembersAndKeys({{"#5", 1}}))},
      // A repeated key keeps its first place and takes its last value.
      {R"({"a": 1, "b": [2, {"c": 3, "c": 4}], "a": 5})",
       structure(Structure::withMembersAndKeys(
           {{"a", 5}, {"b", Value(std::vector<Value>{2, structure(Structure::withMembersAndKeys({{"c", 4}}))})}}))},
  };
  for (const auto& [text, value] : cases) {
    EXPECT_EQ(in(text), value) << text;
    EXPECT_EQ(in(text).kind(), value.kind()) << text;
  }
  for (const char* bad : {R"({"$color": [1]})", R"({"$point": [1, "a"]})", R"({"$rect": 4})", R"({"$image": 4})"})
    EXPECT_THROW(in(bad), UsageError) << bad;
}

TEST(Json, ImageWritesAPngAndReadsBack) {
  test::ScratchFolder folder;
  auto image = std::make_shared<const Image>(2, 1, std::vector<uint8_t>{255, 0, 0, 255, 0, 0, 128, 128});
  ImageSink sink(folder.path(), "picture");
  EXPECT_EQ(dumpJson(toJson(Value(image), &sink)), R"({"$image":{"width":2,"height":1,"file":"picture.png"}})");
  // A second image of the same output gets its own file.
  EXPECT_EQ(dumpJson(toJson(Value(image), &sink)), R"({"$image":{"width":2,"height":1,"file":"picture-2.png"}})");
  EXPECT_EQ(dumpJson(toJson(Value(image))), R"({"$image":{"width":2,"height":1}})");

  Value back = fromJson(parseJson(R"({"$image": "picture.png"})", "test"), folder.path());
  ASSERT_TRUE(back.image());
  EXPECT_EQ(back.image()->width(), 2);
  EXPECT_EQ(back.image()->data(), image->data());
  EXPECT_THROW(fromJson(parseJson(R"({"$image": "missing.png"})", "test"), folder.path()), UsageError);
}

// The second case was found by fuzz_composition: a number beyond the double range made the
// parser throw an exception other than its parse error, which ended vellum instead of
// answering exit status 2.
TEST(Json, MalformedTextNamesWhereAndIsAUsageError) {
  const struct {
    std::string text, prefix, reason;
  } cases[] = {
      {"{\n  \"a\": 1,\n  \"b\": }\n", "comp.json:3:8: malformed JSON: ", "unexpected '}'"},
      {"{\"patches\": {\"r\": {\"inputs\": {\"inputX\": 2555555555e555555555}}}}", "comp.json: malformed JSON: ",
       "number overflow"},
  };
  for (const auto& c : cases) {
    try {
      parseJson(c.text, "comp.json");
      ADD_FAILURE() << "no error: " << c.text;
    } catch (const UsageError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.prefix, 0), 0u) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
  }
}
