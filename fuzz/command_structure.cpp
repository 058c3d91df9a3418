// The command-structure interpreter on structures built from the fuzz bytes: commands with
// known and unknown keywords, any member kinds and counts, awkward numbers.
#include <cstdint>

#include "fuzz/FuzzSupport.h"
#include "text/CommandStructure.h"

using namespace vellum;

namespace {

const char* const kKeywords[] = {"moveto",  "movetorel", "lineto",    "linetorel",      "rectto",
                                 "recttorel", "ovalto",  "ovaltorel", "roundedrectto",  "roundedrecttorel",
                                 "curveto", "curvetorel", "arc",      "arcto",          "arctorel",
                                 "text",    "close",     "MOVETO",    "Close",          "bogus"};

Value command(FuzzedDataProvider& in) {
  std::vector<Value> members;
  if (in.ConsumeIntegralInRange<int>(0, 15) == 0)
    members.push_back(fuzz::value(in, 1));  // a keyword that may not be a string
  else if (in.ConsumeIntegralInRange<int>(0, 15) == 0)
    members.push_back(Value(fuzz::shortString(in)));
  else
    members.push_back(Value(kKeywords[in.ConsumeIntegralInRange<size_t>(0, std::size(kKeywords) - 1)]));
  const size_t n = in.ConsumeIntegralInRange<size_t>(0, 8);
  for (size_t i = 0; i < n && in.remaining_bytes(); ++i) {
    switch (in.ConsumeIntegralInRange<int>(0, 5)) {
      case 0: members.push_back(fuzz::value(in, 1)); break;
      case 1: members.push_back(Value(in.ConsumeBool() ? "DejaVuSans" : "LiberationSerif-Bold")); break;
      case 2: members.push_back(Value(fuzz::shortString(in, 12))); break;
      default: members.push_back(Value(fuzz::number(in))); break;
    }
  }
  return Value(std::make_shared<const Structure>(Structure(std::move(members))));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::loadFontConfiguration();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  Structure commands;
  const bool startWithMove = in.ConsumeBool();
  const size_t n = in.ConsumeIntegralInRange<size_t>(0, 48);
  for (size_t i = 0; i < n && in.remaining_bytes(); ++i) {
    if (in.ConsumeIntegralInRange<int>(0, 9) == 0)
      commands.addMember(fuzz::value(in), in.ConsumeBool() ? std::optional<std::string>("k") : std::nullopt);
    else
      commands.addMember(command(in));
  }
  BezierPath path;
  if (startWithMove) path.moveToPoint({1, 2});
  try {
    appendBezierPathWithStructure(path, &commands);
  } catch (const vellum::Exception&) {
    // Documented: a command without a current point or an unreadable argument stops here.
  }
  // Whatever was appended must be usable by the rest of the path core.
  (void)path.bounds();
  (void)path.controlPointBounds();
  auto flat = path.bezierPathByFlatteningPath();
  (void)flat->elementCount();
  (void)path.bezierPathByReversingPath();
  (void)path.containsPoint({0, 0});
  return 0;
}
