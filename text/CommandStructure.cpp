#include "text/CommandStructure.h"

#include <array>

#include "text/Font.h"
#include "text/TextOutlines.h"

namespace vellum {

namespace {

enum class Command {
  MoveTo, MoveToRel, LineTo, LineToRel, RectTo, RectToRel, OvalTo, OvalToRel, RoundedRectTo, RoundedRectToRel,
  CurveTo, CurveToRel, Arc, ArcTo, ArcToRel, Text, Close
};

struct Keyword {
  const char* name;
  Command command;
  size_t members;  // the keyword included; 0: any
};

// In the order they are tried; the first equal keyword decides.
constexpr std::array<Keyword, 17> kKeywords{{
    {"moveto", Command::MoveTo, 3},
    {"movetorel", Command::MoveToRel, 3},
    {"lineto", Command::LineTo, 3},
    {"linetorel", Command::LineToRel, 3},
    {"rectto", Command::RectTo, 3},
    {"recttorel", Command::RectToRel, 3},
    {"ovalto", Command::OvalTo, 3},
    {"ovaltorel", Command::OvalToRel, 3},
    {"roundedrectto", Command::RoundedRectTo, 5},
    {"roundedrecttorel", Command::RoundedRectToRel, 5},
    {"curveto", Command::CurveTo, 7},
    {"curvetorel", Command::CurveToRel, 7},
    {"arc", Command::Arc, 4},
    {"arcto", Command::ArcTo, 6},
    {"arctorel", Command::ArcToRel, 6},
    {"text", Command::Text, 4},
    {"close", Command::Close, 0},
}};

bool equalIgnoringCase(std::string_view a, const char* lower) {
  size_t i = 0;
  for (; lower[i]; ++i) {
    if (i == a.size()) return false;
    char c = a[i];
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != lower[i]) return false;
  }
  return i == a.size();
}

// Numbers and strings answer a number (a string its leading number); other kinds cannot.
double number(const Structure& command, size_t index, std::string_view keyword) {
  const Value& v = command.memberAtIndex(index);
  switch (v.kind()) {
    case Value::Kind::Integer:
    case Value::Kind::Double:
    case Value::Kind::Boolean:
    case Value::Kind::String:
      return v.doubleValue();
    default:
      throw Exception("argument " + std::to_string(index) + " of '" + std::string(keyword) + "' is not a number (" +
                      Value::kindName(v.kind()) + ")");
  }
}

void run(BezierPath& path, const Structure& c, Command command, std::string_view keyword) {
  auto n = [&](size_t i) { return number(c, i, keyword); };
  auto cp = [&] { return path.currentPoint(); };
  switch (command) {
    case Command::MoveTo: path.moveToPoint({n(1), n(2)}); break;
    case Command::MoveToRel: path.relativeMoveToPoint({n(1), n(2)}); break;
    case Command::LineTo: {
      const Point p{n(1), n(2)};
      path.lineToPoint(p);
      break;
    }
    case Command::LineToRel: path.relativeLineToPoint({n(1), n(2)}); break;
    case Command::RectTo: {
      const Size size{n(1), n(2)};
      path.appendBezierPathWithRect({cp(), size});
      break;
    }
    case Command::RectToRel: {
      const double a = n(1), b = n(2);
      const Point o = cp();
      path.appendBezierPathWithRect({o, {o.x + a, o.y + b}});
      break;
    }
    case Command::OvalTo: {
      const Size size{n(1), n(2)};
      path.appendBezierPathWithOvalInRect({cp(), size});
      break;
    }
    case Command::OvalToRel: {
      const double a = n(1), b = n(2);
      const Point o = cp();
      path.appendBezierPathWithOvalInRect({o, {o.x + a, o.y + b}});
      break;
    }
    case Command::RoundedRectTo: {
      const Size size{n(1), n(2)};
      const double rx = n(3), ry = n(4);
      path.appendBezierPathWithRoundedRect({cp(), size}, rx, ry);
      break;
    }
    case Command::RoundedRectToRel: {
      const double a = n(1), b = n(2), rx = n(3), ry = n(4);
      const Point o = cp();
      path.appendBezierPathWithRoundedRect({o, {o.x + a, o.y + b}}, rx, ry);
      break;
    }
    case Command::CurveTo: {
      const Point p{n(1), n(2)}, c1{n(3), n(4)}, c2{n(5), n(6)};
      path.curveToPoint(p, c1, c2);
      break;
    }
    case Command::CurveToRel: {
      const Point p{n(1), n(2)}, c1{n(3), n(4)}, c2{n(5), n(6)};
      path.relativeCurveToPoint(p, c1, c2);
      break;
    }
    case Command::Arc: {
      const double r = n(1), start = n(2), end = n(3);
      path.appendBezierPathWithArcWithCenter(cp(), r, start, end, false);
      break;
    }
    case Command::ArcTo: {
      const Point p1{n(1), n(2)}, p2{n(3), n(4)};
      const double r = n(5);
      path.appendBezierPathWithArcFromPoint(p1, p2, r);
      break;
    }
    case Command::ArcToRel: {
      const double dx1 = n(1), dy1 = n(2), dx2 = n(3), dy2 = n(4), r = n(5);
      const Point o = cp();
      path.appendBezierPathWithArcFromPoint({o.x + dx1, o.y + dy1}, {o.x + dx2, o.y + dy2}, r);
      break;
    }
    case Command::Text: {
      const std::string* string = c.memberAtIndex(1).string();
      if (!string) return;
      const double size = n(2);
      const std::string* fontName = c.memberAtIndex(3).string();
      if (!fontName) return;
      const FontRef font = Font::fontWithName(*fontName, size);
      if (!font) return;
      appendBezierPathWithString(path, *string, *font);
      break;
    }
    case Command::Close: path.closePath(); break;
  }
}

}  // namespace

void appendBezierPathWithStructure(BezierPath& path, const Structure* structure) {
  if (!structure) return;
  for (const Structure::Member& member : *structure) {
    const StructureRef command = member.value.structure();
    // A command without even a keyword is a bad member like any other.
    if (!command || command->empty()) continue;
    const Value& k = command->memberAtIndex(0);
    const std::string* keyword = k.string();
    if (!keyword) throw Exception(std::string("command keyword is not a string (") + Value::kindName(k.kind()) + ")");
    const Keyword* match = nullptr;
    for (const Keyword& candidate : kKeywords)
      if (equalIgnoringCase(*keyword, candidate.name)) {
        match = &candidate;
        break;
      }
    if (!match) continue;
    if (match->members != 0 && command->count() != match->members) continue;
    run(path, *command, match->command, *keyword);
  }
}

}  // namespace vellum
