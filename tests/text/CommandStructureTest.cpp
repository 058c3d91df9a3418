#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "text/CommandStructure.h"
#include "text/Font.h"
#include "text/TextOutlines.h"
#include "tests/support/PathElements.h"

using namespace vellum;
using namespace vellum::testing;

namespace {

using V = std::vector<Value>;  // a command or point as a list of members

std::shared_ptr<BezierPath> interpret(const Members& commands) {
  auto path = BezierPath::bezierPath();
  Structure s(commands.values);
  appendBezierPathWithStructure(*path, &s);
  return path;
}

// The list raises (saying `message`, when given) and leaves what it appended before.
void expectThrowsLeaving(const Members& commands, size_t elementsLeft, const char* message = nullptr) {
  auto path = BezierPath::bezierPath();
  Structure s(commands.values);
  try {
    appendBezierPathWithStructure(*path, &s);
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), message ? message : e.what());
  }
  EXPECT_EQ(path->elementCount(), elementsLeft);
}

}  // namespace

// Command lists and the elements they append, one behaviour per row.
TEST(CommandStructure, WorkedCommandLists) {
  const std::vector<std::pair<Members, std::vector<El>>> rows = {
      // Keywords ignore letter case.
      {{V{"MoveTo", 0, 0}, V{"LINETO", 10, 0}, V{"close"}}, {M(0, 0), L(10, 0), Z()}},
      {{V{"mOVEtO", 1, 2}, V{"CuRvEtO", 3, 4, 5, 6, 7, 8}, V{"CLOSE"}, V{"LineToRel", 1, 1}},
       {M(1, 2), C({5, 6}, {7, 8}, {3, 4}), Z(), L(2, 3)}},
      // Unknown keywords are skipped.
      {{V{"moveto", 0, 0}, V{"lineto ", 5, 5}, V{"line", 5, 5}, V{"", 1, 1}, V{"quadto", 1, 2, 3, 4},
        V{"lineto", 1, 1}},
       {M(0, 0), L(1, 1)}},
      // So are wrong member counts.
      {{V{"moveto", 1}, V{"moveto", 2, 2}, V{"lineto", 3, 3, 3}, V{"lineto"}, V{"rectto", 1, 2, 3},
        V{"roundedrectto", 1, 2, 3}, V{"curveto", 1, 2, 3, 4, 5}, V{"arc", 1, 2}, V{"arcto", 1, 2, 3, 4},
        V{"text", "a", 12}, V{"lineto", 4, 4}},
       {M(2, 2), L(4, 4)}},
      // A close takes any number of members.
      {{V{"moveto", 0, 0}, V{"lineto", 1, 0}, V{"close", 1, 2, 3, 4, 5, 6, 7, 8}}, {M(0, 0), L(1, 0), Z()}},
      // Members that are not commands are skipped.
      {{Value(5), Value("moveto"), Value(Point{1, 1}), Value(), V{}, V{"moveto", 7, 8}}, {M(7, 8)}},
      {{V{"moveto", 10, 10}, V{"linetorel", 5, -5}, V{"movetorel", 1, 1}, V{"linetorel", 0, 2}},
       {M(10, 10), L(15, 5), M(16, 6), L(16, 8)}},
      // Rectangles at the current point; a relative size is the current point plus the arguments.
      {{V{"moveto", 10, 20}, V{"rectto", 30, 40}}, {M(10, 20), M(10, 20), L(40, 20), L(40, 60), L(10, 60), Z()}},
      {{V{"moveto", 10, 20}, V{"recttorel", 30, 40}}, {M(10, 20), M(10, 20), L(50, 20), L(50, 80), L(10, 80), Z()}},
      // A curve's end point comes first.
      {{V{"moveto", 0, 0}, V{"curveto", 10, 0, 0, 5, 10, 5}}, {M(0, 0), C({0, 5}, {10, 5}, {10, 0})}},
      {{V{"moveto", 1, 1}, V{"curvetorel", 10, 0, 0, 5, 10, 5}}, {M(1, 1), C({1, 6}, {11, 6}, {11, 1})}},
      // Numeric strings and booleans are numbers by leading-number conversion: "10px" is 10,
      // "abc" 0, " -2e1x" -20; true is 1.
      {{V{"moveto", "0", "0"}, V{"lineto", "3.5", "4"}}, {M(0, 0), L(3.5, 4)}},
      {{V{"moveto", "10px", "abc"}, V{"lineto", " -2e1x", true}}, {M(10, 0), L(-20, 1)}},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    expectElements(*interpret(rows[i].first), rows[i].second);
  }
  // ("moveto", 0, 0, 5) has four members: skipped, so the line has no current point.
  expectThrowsLeaving({V{"moveto", 0, 0, 5}, V{"lineto", 1, 1}}, 0);
  // On an empty path a close appends nothing and is no error; no structure, or an empty one,
  // appends nothing.
  EXPECT_TRUE(interpret({V{"close"}})->isEmpty());
  auto path = pathOf({M(3, 4)});
  const Structure empty;
  appendBezierPathWithStructure(*path, nullptr);
  appendBezierPathWithStructure(*path, StructureRef());
  appendBezierPathWithStructure(*path, &empty);
  EXPECT_EQ(elementsOf(*path), std::vector<El>{M(3, 4)});
}

// Ovals, rounded rectangles, arcs centred on the current point (counter-clockwise: 90 to 0 is
// three quarters of a turn) and tangent arcs, drawn as the path draws them. The relative forms
// offset their points by the current point, but not a radius.
TEST(CommandStructure, ShapesAsThePathDrawsThem) {
  const std::vector<std::pair<Members, std::function<void(BezierPath&)>>> rows = {
      {{V{"moveto", 10, 20}, V{"ovalto", 30, 40}, V{"ovaltorel", 3, 4}},
       [](BezierPath& p) {
         p.appendBezierPathWithOvalInRect({{10, 20}, {30, 40}});
         const Point c = p.currentPoint();  // the oval's start
         p.appendBezierPathWithOvalInRect({c, {c.x + 3, c.y + 4}});
       }},
      {{V{"moveto", 10, 20}, V{"roundedrectto", 30, 40, 5, 6}, V{"roundedrecttorel", 30, 40, 2, 3}},
       [](BezierPath& p) {
         p.appendBezierPathWithRoundedRect({{10, 20}, {30, 40}}, 5, 6);
         const Point c = p.currentPoint();
         p.appendBezierPathWithRoundedRect({c, {c.x + 30, c.y + 40}}, 2, 3);
       }},
      {{V{"moveto", 10, 20}, V{"arc", 20, 0, 90}, V{"arc", 20, 90, 0}},
       [](BezierPath& p) {
         p.appendBezierPathWithArcWithCenter({10, 20}, 20, 0, 90);
         p.appendBezierPathWithArcWithCenter({10, 40}, 20, 90, 0);  // centred on where the first ended
       }},
      {{V{"moveto", 10, 20}, V{"arcto", 20, 20, 20, 30, 3}},
       [](BezierPath& p) { p.appendBezierPathWithArcFromPoint({20, 20}, {20, 30}, 3); }},
      {{V{"moveto", 10, 20}, V{"arctorel", 10, 0, 10, 10, 3}},
       [](BezierPath& p) { p.appendBezierPathWithArcFromPoint({20, 20}, {20, 30}, 3); }},
  };
  for (const auto& [commands, draw] : rows) {
    auto expected = pathOf({M(10, 20)});
    draw(*expected);
    expectElements(*interpret(commands), elementsOf(*expected));
  }
}

TEST(CommandStructure, CommandsThatNeedACurrentPointRaiseOnAnEmptyPath) {
  for (const V& c : {V{"movetorel", 1, 1}, V{"lineto", 1, 1}, V{"linetorel", 1, 1}, V{"rectto", 1, 1},
                     V{"recttorel", 1, 1}, V{"ovalto", 1, 1}, V{"ovaltorel", 1, 1}, V{"roundedrectto", 1, 1, 1, 1},
                     V{"roundedrecttorel", 1, 1, 1, 1}, V{"curveto", 1, 1, 1, 1, 1, 1},
                     V{"curvetorel", 1, 1, 1, 1, 1, 1}, V{"arc", 1, 0, 90}, V{"arcto", 1, 0, 1, 1, 1},
                     V{"arctorel", 1, 0, 1, 1, 1}, V{"text", "a", 12, "DejaVuSans"}}) {
    SCOPED_TRACE(c[0].stringValue());
    expectThrowsLeaving({c}, 0);
  }
}

// An error stops the list but keeps what was appended, and says what was wrong.
TEST(CommandStructure, ArgumentsOfOtherKindsAreErrors) {
  const Value structure(V{1, 2});
  for (const Value& bad : {structure, Value(), Value(Point{1, 2}), Value(Color{1, 0, 0, 1})}) {
    SCOPED_TRACE(Value::kindName(bad.kind()));
    expectThrowsLeaving({V{"moveto", 1, 1}, V{"lineto", 2, bad}}, 1);
    expectThrowsLeaving({V{"moveto", bad, 1}}, 0);
  }
  expectThrowsLeaving({V{"moveto", 0, 0}, V{"lineto", 1, 1}, V{5, 1, 2}, V{"lineto", 9, 9}}, 2,
                      "command keyword is not a string (integer)");
  expectThrowsLeaving({V{"moveto", 0, 0}, V{"lineto", 1, 1}, V{"moveto", 1, structure}}, 2,
                      "argument 2 of 'moveto' is not a number (structure)");
}

// Text at the current point as the font draws it; the size may be a numeric string and the name
// ignores case (sizes out of range are the font's to settle: FontLookup).
TEST(CommandStructure, TextAtTheCurrentPoint) {
  const std::tuple<V, const char*, double> rows[] = {
      {V{"text", "Hi fi", 20, "DejaVuSerif-Bold"}, "DejaVuSerif-Bold", 20},
      {V{"TEXT", "Hi fi", "20", "dejavuserif-bold"}, "DejaVuSerif-Bold", 20},
  };
  for (const auto& [command, name, size] : rows) {
    FontRef font = Font::fontWithName(name, size);
    ASSERT_TRUE(font);
    auto expected = pathOf({M(5, 6)});
    appendBezierPathWithString(*expected, *command[1].string(), *font);
    expectElements(*interpret({V{"moveto", 5, 6}, command}), elementsOf(*expected));
  }
  // A size that is no number at all.
  expectThrowsLeaving({V{"moveto", 0, 0}, V{"text", "a", Value(), "DejaVuSans"}}, 1);
}

TEST(CommandStructure, TextThatCannotBeDrawnIsSkipped) {
  const std::vector<El> justTheMove{M(0, 0), L(1, 1)};
  for (const V& text : {V{"text", "abc", 12, "NoSuchFont-Bold"}, V{"text", 42, 12, "DejaVuSans"},
                        V{"text", V{"a"}, 12, "DejaVuSans"}, V{"text", "abc", 12, 7}, V{"text", "abc", 12, V{}}}) {
    SCOPED_TRACE(text[3].stringValue());
    expectElements(*interpret({V{"moveto", 0, 0}, text, V{"lineto", 1, 1}}), justTheMove);
  }
}

TEST(CommandStructure, RoundTripWithTheStructureRepresentation) {
  FontRef font = Font::fontWithName("LiberationSerif-Italic", 33);
  ASSERT_TRUE(font);
  auto original = pathOf({M(1, 2), C({3, 4}, {5, 6}, {7, 8}), Z(), M(0, 0), M(10, 20), L(-1.25, 1e-300)});
  original->appendBezierPathWithOvalInRect({{0, 0}, {3, 7}});
  original->appendBezierPathWithRoundedRect({{1, 1}, {5, 5}}, 1, 2);
  original->lineToPoint({0.1, 0.2});
  original->moveToPoint({-4, 9});
  appendBezierPathWithString(*original, "Quartz & fjord", *font);
  // Flattened, the structure holds lines only, and rebuilds the flattened path.
  for (double flatness : {0.0, 0.01}) {
    const Structure s = original->structureRepresentationFlattened(flatness > 0, flatness);
    BezierPath rebuilt;
    appendBezierPathWithStructure(rebuilt, &s);
    EXPECT_TRUE(rebuilt.isEqualToBezierPath(flatness > 0 ? *original->bezierPathByFlatteningPathWithFlatness(flatness)
                                                         : *original));
    EXPECT_EQ(rebuilt.elementCount() > original->elementCount(), flatness > 0);
  }
}
