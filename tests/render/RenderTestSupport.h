// Building path entries and reading rendered pixels in drawing coordinates (y up).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "patches/render/V2DImageWithBezierPathStructurePatch.h"
#include "path/BezierPath.h"

namespace vellum::test {

// R, G, B, A as stored (premultiplied).
struct Px {
  int r = 0, g = 0, b = 0, a = 0;
  friend bool operator==(const Px&, const Px&) = default;
  friend std::ostream& operator<<(std::ostream& os, const Px& p) {
    return os << "(" << p.r << ", " << p.g << ", " << p.b << ", " << p.a << ")";
  }
};

inline const Color kRed = Color::colorWithRed(1, 0, 0, 1);
inline const Color kBlue = Color::colorWithRed(0, 0, 1, 1);
inline const Color kBlack = Color::colorWithRed(0, 0, 0, 1);
inline constexpr Px kClear{0, 0, 0, 0};
inline constexpr Px kOpaqueRed{255, 0, 0, 255};
inline constexpr Px kOpaqueBlue{0, 0, 255, 255};
inline constexpr Px kOpaqueBlack{0, 0, 0, 255};

inline std::shared_ptr<BezierPath> rectPath(double x, double y, double w, double h) {
  return BezierPath::bezierPathWithRect({{x, y}, {w, h}});
}

inline std::shared_ptr<BezierPath> linePath(Point from, Point to) {
  auto p = BezierPath::bezierPath();
  p->moveToPoint(from);
  p->lineToPoint(to);
  return p;
}

// A path entry; colours left out when not given.
inline Structure entry(std::shared_ptr<const BezierPath> path, int strokefill, std::optional<Color> stroke,
                       std::optional<Color> fill) {
  Structure e;
  if (path) e.addMember(Value(ObjectRef(std::move(path))), "path");
  e.addMember(strokefill, "strokefill");
  if (stroke) e.addMember(*stroke, "stroke");
  if (fill) e.addMember(*fill, "fill");
  return e;
}

inline void addShadow(Structure& e, Size offset, double blur, Value color) {
  e.addMember(true, "shadow");
  e.addMember(offset, "shadow-offset");
  e.addMember(blur, "shadow-blur");
  e.addMember(std::move(color), "shadow-color");
}

inline Structure structureOf(std::initializer_list<Structure> entries) {
  Structure s;
  for (const Structure& e : entries) s.addMember(Value(std::make_shared<const Structure>(e)));
  return s;
}

// Renders with a buffer of its own.
struct Renderer {
  BitmapBuffer bitmap;
  uint64_t capacity = 0;
  std::shared_ptr<Image> operator()(const Structure* s, double w, double h, Value background = Color::colorWithRed(0, 0, 0, 0),
                                    bool antialias = true, double flatness = 0.01) {
    return V2DImageWithBezierPathStructurePatch::_newImageWithBezierPathStructure(s, flatness, w, h, antialias,
                                                                                  background, bitmap, capacity);
  }
};

// The pixel whose lower-left corner is (x, y) in drawing coordinates.
inline Px at(const Image& image, int x, int y) {
  const uint8_t* p = image.pixel(x, image.height() - 1 - y);
  return {p[0], p[1], p[2], p[3]};
}

inline int alphaAt(const Image& image, int x, int y) { return at(image, x, y).a; }

// A pixel and what it should hold, each channel to within `tolerance`.
struct Probe {
  int x, y;
  Px px;
  int tolerance = 0;
};

// A structure rendered at a size (not positive: automatic), the image size it should give
// (0: no image at all) and what its pixels should hold.
struct Drawing {
  std::string what;
  Structure s;
  double width = 0, height = 0;
  int imageWidth = 0, imageHeight = 0;
  std::vector<Probe> probes;
  std::function<Px(int, int)> every;  // when given, the whole image
  Value background = Color::colorWithRed(0, 0, 0, 0);
  double flatness = 0.01;
  bool antialias = true;
};

inline void expectDrawing(const Drawing& d) {
  SCOPED_TRACE(d.what);
  Renderer render;
  ASSERT_TRUE(render(nullptr, 2, 2));  // a buffer, which answering nothing must free
  auto image = render(&d.s, d.width, d.height, d.background, d.antialias, d.flatness);
  if (d.imageWidth == 0) {
    EXPECT_FALSE(image);
    EXPECT_FALSE(render.bitmap);
    return;
  }
  ASSERT_TRUE(image);
  ASSERT_EQ(image->width(), d.imageWidth);
  ASSERT_EQ(image->height(), d.imageHeight);
  ASSERT_EQ(image->data().size(), 4u * unsigned(d.imageWidth) * unsigned(d.imageHeight));
  for (const Probe& p : d.probes) {
    const Px got = at(*image, p.x, p.y);
    const bool near = std::abs(got.r - p.px.r) <= p.tolerance && std::abs(got.g - p.px.g) <= p.tolerance &&
                      std::abs(got.b - p.px.b) <= p.tolerance && std::abs(got.a - p.px.a) <= p.tolerance;
    EXPECT_TRUE(near) << "at " << p.x << ", " << p.y << ": " << got << " where " << p.px << " was expected";
  }
  for (int y = 0; d.every && y < d.imageHeight; ++y)
    for (int x = 0; x < d.imageWidth; ++x)
      ASSERT_EQ(at(*image, x, y), d.every(x, y)) << "at " << x << ", " << y;
}

}  // namespace vellum::test

