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
// Value -> text -> value.
Value roundTrip(const Value& v) { return in(out(v)); }

Value structure(Structure s) { return Value(std::make_shared<const Structure>(std::move(s))); }

class RepresentedObject : public Object {
 public:
  std::string className() const override { return "Represented"; }
  Value representation() const override {
    return structure(Structure::withMembersAndKeys(
        {{"$path", Value(std::vector<Value>{Value(std::vector<Value>{"moveto", 1, 2.5}), Value(std::vector<Value>{"close"})})},
         {"windingRule", 1},
         {"lineWidth", 0.5}}));
  }
};

}  // namespace

TEST(JsonNumbers, IntegersAndDoublesStayApart) {
  EXPECT_EQ(out(Value(3)), "3");
  EXPECT_EQ(out(Value(3.0)), "3.0");
  EXPECT_EQ(out(Value(-12.0)), "-12.0");
  EXPECT_EQ(in("3").kind(), Value::Kind::Integer);
  EXPECT_EQ(in("3.0").kind(), Value::Kind::Double);
  EXPECT_EQ(in("3e0").kind(), Value::Kind::Double);
  EXPECT_EQ(roundTrip(Value(7)), Value(7));
  EXPECT_EQ(roundTrip(Value(7.0)), Value(7.0));
  EXPECT_EQ(roundTrip(Value(int64_t(-9007199254740993))), Value(int64_t(-9007199254740993)));
}

TEST(JsonNumbers, DoublesPrintShortestAndReadBackExactly) {
  EXPECT_EQ(out(Value(0.1)), "0.1");
  EXPECT_EQ(out(Value(0.1 + 0.2)), "0.30000000000000004");
  EXPECT_EQ(out(Value(1e300)), "1e+300");
  EXPECT_EQ(out(Value(5e-324)), "5e-324");
  EXPECT_EQ(out(Value(-0.0)), "-0.0");
  for (double d : {0.1, 1.0 / 3, 123456.789, 1e-7, 2.5e19, std::numeric_limits<double>::max()}) {
    Value back = roundTrip(Value(d));
    ASSERT_EQ(back.kind(), Value::Kind::Double) << d;
    EXPECT_EQ(back.doubleValue(), d);
  }
  EXPECT_TRUE(std::signbit(roundTrip(Value(-0.0)).doubleValue()));
}

TEST(JsonNumbers, NonFiniteNumbersAreStrings) {
  EXPECT_EQ(out(Value(std::numeric_limits<double>::quiet_NaN())), "\"nan\"");
  EXPECT_EQ(out(Value(std::numeric_limits<double>::infinity())), "\"inf\"");
  EXPECT_EQ(out(Value(-std::numeric_limits<double>::infinity())), "\"-inf\"");
  Value nan = in("\"nan\"");
  ASSERT_EQ(nan.kind(), Value::Kind::Double);
  EXPECT_TRUE(std::isnan(nan.doubleValue()));
  EXPECT_EQ(in("\"inf\""), Value(std::numeric_limits<double>::infinity()));
  EXPECT_EQ(in("\"-inf\""), Value(-std::numeric_limits<double>::infinity()));
  // Any other string stays a string.
  EXPECT_EQ(in("\"infinity\""), Value("infinity"));
  EXPECT_EQ(out(Value(Point{std::numeric_limits<double>::infinity(), 1})), R"({"$point":["inf",1.0]})");
}

TEST(JsonPlainValues, BooleansStringsAndNothing) {
  EXPECT_EQ(out(Value(true)), "true");
  EXPECT_EQ(out(Value(false)), "false");
  EXPECT_EQ(out(Value("a \"quoted\" line\n")), R"("a \"quoted\" line\n")");
  EXPECT_EQ(out(Value()), "null");
  EXPECT_EQ(in("true"), Value(true));
  EXPECT_EQ(in("\"x\""), Value("x"));
  EXPECT_TRUE(in("null").isNothing());
  EXPECT_EQ(roundTrip(Value("é ∑")), Value("é ∑"));
}

TEST(JsonStructures, UnkeyedStructureIsAnArray) {
  Value s = Value(std::vector<Value>{1, 2.5, "x", Value(std::vector<Value>{true})});
  EXPECT_EQ(out(s), R"([1,2.5,"x",[true]])");
  EXPECT_EQ(roundTrip(s), s);
  EXPECT_EQ(out(structure(Structure())), "[]");
}

TEST(JsonStructures, KeyedStructureIsAnObjectInMemberOrder) {
  Value s = structure(Structure::withMembersAndKeys({{"zeta", 1}, {"alpha", 2.0}, {"mid", Value()}}));
  EXPECT_EQ(out(s), R"({"zeta":1,"alpha":2.0,"mid":null})");
  Value back = roundTrip(s);
  EXPECT_EQ(back, s);
  EXPECT_EQ(back.structure()->keyAtIndex(0), std::optional<std::string>("zeta"));
}

TEST(JsonStructures, MixedStructureKeysUnkeyedMembersByPosition) {
  Structure mixed;
  mixed.addMember(10, "a");
  mixed.addMember(20);
  mixed.addMember(30, "c");
  mixed.addMember(40);
  EXPECT_EQ(out(structure(mixed)), R"({"a":10,"#1":20,"c":30,"#3":40})");
  Value back = roundTrip(structure(mixed));
  EXPECT_EQ(back, structure(mixed));
  EXPECT_FALSE(back.structure()->keyAtIndex(1).has_value());
  // "#N" away from position N is an ordinary key.
  Value literal = in(R"({"#5": 1})");
  EXPECT_EQ(literal.structure()->keyAtIndex(0), std::optional<std::string>("#5"));
}

TEST(JsonStructures, RepeatedKeyKeepsItsFirstMember) {
  // As memberForKey answers; also when an unkeyed member's position name is already a key.
  Structure s;
  s.addMember(1, "a");
  s.addMember(2, "#2");
  s.addMember(3);
  s.addMember(4, "a");
  EXPECT_EQ(out(structure(s)), R"({"a":1,"#2":2})");
  // Read: a repeated key keeps its first place and takes its last value.
  Value read = in(R"({"a": 1, "b": [2, {"c": 3, "c": 4}], "a": 5})");
  EXPECT_EQ(out(read), R"({"a":5,"b":[2,{"c":4}]})");
}

TEST(JsonGeometry, ColourPointSizeRectVector3) {
  EXPECT_EQ(out(Value(Color{1, 0.5, 0, 0.25})), R"({"$color":[1.0,0.5,0.0,0.25]})");
  EXPECT_EQ(out(Value(Point{1, -2})), R"({"$point":[1.0,-2.0]})");
  EXPECT_EQ(out(Value(Size{3, 4.5})), R"({"$size":[3.0,4.5]})");
  EXPECT_EQ(out(Value(Rect{{1, 2}, {3, 4}})), R"({"$rect":[1.0,2.0,3.0,4.0]})");
  // Single-precision components print by their own shortest form.
  EXPECT_EQ(out(Value(Vector3{0.1f, -2.5f, 1e-3f})), R"({"$vector3":[0.1,-2.5,0.001]})");
  for (Value v : {Value(Color{1, 0.5, 0, 0.25}), Value(Point{1, -2}), Value(Size{3, 4.5}), Value(Rect{{1, 2}, {3, 4}}),
                  Value(Vector3{0.1f, -2.5f, 1e-3f})})
    EXPECT_EQ(roundTrip(v), v) << out(v);
  // Integers are accepted where numbers are wanted; a colour may omit alpha.
  EXPECT_EQ(in(R"({"$point": [1, 2]})"), Value(Point{1, 2}));
  EXPECT_EQ(in(R"({"$color": [1, 0, 0]})"), Value(Color{1, 0, 0, 1}));
}

TEST(JsonGeometry, TaggedObjectWithMoreKeysIsAStructure) {
  Value v = in(R"({"$point": [1, 2], "other": 3})");
  ASSERT_EQ(v.kind(), Value::Kind::Structure);
  EXPECT_EQ(v.structure()->count(), 2u);
}

TEST(JsonGeometry, MalformedTaggedValuesAreRefused) {
  EXPECT_THROW(in(R"({"$color": [1]})"), UsageError);
  EXPECT_THROW(in(R"({"$point": [1, "a"]})"), UsageError);
  EXPECT_THROW(in(R"({"$rect": 4})"), UsageError);
  EXPECT_THROW(in(R"({"$image": 4})"), UsageError);
}

TEST(JsonObjects, ObjectsPrintAsTheirRepresentation) {
  Value v(ObjectRef(std::make_shared<RepresentedObject>()));
  EXPECT_EQ(out(v), R"({"$path":[["moveto",1,2.5],["close"]],"windingRule":1,"lineWidth":0.5})");
}

TEST(JsonImages, ImageWritesAPngAndReadsBack) {
  test::ScratchFolder folder;
  auto image = std::make_shared<const Image>(2, 1, std::vector<uint8_t>{255, 0, 0, 255, 0, 0, 128, 128});
  ImageSink sink(folder.path(), "picture");
  Json j = toJson(Value(image), &sink);
  EXPECT_EQ(dumpJson(j), R"({"$image":{"width":2,"height":1,"file":"picture.png"}})");
  // A second image of the same output gets its own file.
  EXPECT_EQ(dumpJson(toJson(Value(image), &sink)), R"({"$image":{"width":2,"height":1,"file":"picture-2.png"}})");
  EXPECT_EQ(dumpJson(toJson(Value(image))), R"({"$image":{"width":2,"height":1}})");

  Value back = fromJson(parseJson(R"({"$image": "picture.png"})", "test"), folder.path());
  ASSERT_TRUE(back.image());
  EXPECT_EQ(back.image()->width(), 2);
  EXPECT_EQ(back.image()->data(), image->data());
  EXPECT_THROW(fromJson(parseJson(R"({"$image": "missing.png"})", "test"), folder.path()), UsageError);
}

TEST(JsonText, SyntaxErrorsNameLineAndColumn) {
  try {
    parseJson("{\n  \"a\": 1,\n  \"b\": }\n", "comp.json");
    FAIL() << "no error";
  } catch (const UsageError& e) {
    std::string what = e.what();
    EXPECT_EQ(what.rfind("comp.json:3:8: malformed JSON: ", 0), 0u) << what;
    EXPECT_NE(what.find("unexpected '}'"), std::string::npos) << what;
  }
}

TEST(JsonText, PrettyPrintingKeepsSmallThingsOnOneLine) {
  Json j = parseJson(R"({"outputs": {"n": 1.5, "c": {"$color": [1, 0, 0, 1]}, "list": [[1, 2], [3, 4]]}})", "t");
  EXPECT_EQ(dumpJson(j, true),
            "{\n"
            "  \"outputs\": {\"n\": 1.5, \"c\": {\"$color\": [1, 0, 0, 1]}, \"list\": [[1, 2], [3, 4]]}\n"
            "}");
  // A path element stays one row however long its numbers are.
  Json element = Json::array({"curveto", 57.071067811865476, 34.14213562373095, 60.97631072937818, 13.668350211294449,
                              60.97631072937818, 26.33164978870555});
  EXPECT_EQ(dumpJson(Json{{"e", element}}, true),
            "{\n  \"e\": [\"curveto\", 57.071067811865476, 34.14213562373095, 60.97631072937818, "
            "13.668350211294449, 60.97631072937818, 26.33164978870555]\n}");
  Json big = Json::array();
  for (int i = 0; i < 17; ++i) big.push_back(i % 2);
  EXPECT_EQ(dumpJson(big, true), "[\n  0,\n  1,\n  0,\n  1,\n  0,\n  1,\n  0,\n  1,\n  0,\n  1,\n  0,\n  1,\n  0,\n  "
                                 "1,\n  0,\n  1,\n  0\n]");
}

// Found by fuzz_composition: a number beyond the double range made the parser throw an
// exception other than its parse error, which ended vellum instead of answering exit status 2.
TEST(JsonText, NumbersBeyondTheDoubleRangeAreUnusableNotFatal) {
  try {
    parseJson("{\"patches\": {\"r\": {\"inputs\": {\"inputX\": 2555555555e555555555}}}}", "comp.json");
    FAIL() << "no error";
  } catch (const UsageError& e) {
    std::string what = e.what();
    EXPECT_EQ(what.rfind("comp.json: malformed JSON: ", 0), 0u) << what;
    EXPECT_NE(what.find("number overflow"), std::string::npos) << what;
  }
}
