// Shared helpers for the harnesses: numbers and values drawn from the fuzz bytes, with the
// awkward numbers (NaN, infinities, extremes, -0) as likely as ordinary ones.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "host/Structure.h"
#include "host/Value.h"
#include "text/Font.h"

namespace vellum::fuzz {

// fontconfig reads its configuration on the first font look-up and keeps it (losing a few
// hundred bytes of its own); done before the first input, that is not taken for a leak of one.
inline void loadFontConfiguration() { (void)Font::fontWithName("DejaVuSans", 12); }

inline double number(FuzzedDataProvider& in) {
  static const double special[] = {0.0,
                                   -0.0,
                                   1.0,
                                   -1.0,
                                   0.5,
                                   10.0,
                                   100.0,
                                   1e6,
                                   -1e6,
                                   1e308,
                                   -1e308,
                                   std::numeric_limits<double>::infinity(),
                                   -std::numeric_limits<double>::infinity(),
                                   std::numeric_limits<double>::quiet_NaN(),
                                   std::numeric_limits<double>::denorm_min(),
                                   std::numeric_limits<double>::epsilon()};
  switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: return special[in.ConsumeIntegralInRange<size_t>(0, std::size(special) - 1)];
    case 1: return in.ConsumeIntegralInRange<int>(-100, 100);
    case 2: return in.ConsumeIntegralInRange<int>(-1000, 1000) / 8.0;
    default: return in.ConsumeFloatingPoint<double>();
  }
}

// Only finite numbers, mostly small, so that geometry stays interesting.
inline double finiteNumber(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 2)) {
    case 0: return in.ConsumeIntegralInRange<int>(-20, 20);
    case 1: return in.ConsumeIntegralInRange<int>(-4000, 4000) / 16.0;
    default: {
      double d = in.ConsumeFloatingPoint<double>();
      return std::isfinite(d) ? d : 0.0;
    }
  }
}

inline std::string shortString(FuzzedDataProvider& in, size_t max = 16) { return in.ConsumeRandomLengthString(max); }

// A value of any plain kind; structures nest up to `depth` levels.
inline Value value(FuzzedDataProvider& in, int depth = 2) {
  switch (in.ConsumeIntegralInRange<int>(0, 9)) {
    case 0: return Value();
    case 1: return Value(int64_t(in.ConsumeIntegral<int32_t>()));
    case 2: return Value(number(in));
    case 3: return Value(in.ConsumeBool());
    case 4: return Value(shortString(in));
    case 5: return Value(std::to_string(in.ConsumeIntegralInRange<int>(-50, 50)));
    case 6: return Value(Point{number(in), number(in)});
    case 7: return Value(Color::colorWithRed(number(in), number(in), number(in), number(in)));
    default: {
      if (depth <= 0) return Value(number(in));
      std::vector<Value> members;
      const size_t n = in.ConsumeIntegralInRange<size_t>(0, 6);
      for (size_t i = 0; i < n && in.remaining_bytes(); ++i) members.push_back(value(in, depth - 1));
      return Value(std::make_shared<const Structure>(Structure(std::move(members))));
    }
  }
}

}  // namespace vellum::fuzz
