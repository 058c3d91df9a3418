// The core libraries on their own, with no plug-in and no patch: a star is triangulated and
// drawn with a shadow, and the drawing written as a PNG.
//   core OUTPUT.png
#include <cmath>
#include <cstdio>
#include <exception>
#include <numbers>

#include "host/Image.h"
#include "mesh/Mesh.h"
#include "path/Path.h"
#include "render/Render.h"

using namespace vellum;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: core OUTPUT.png\n");
    return 2;
  }
  try {
    auto star = BezierPath::bezierPath();
    for (int i = 0; i < 10; ++i) {
      const double r = i % 2 ? 40 : 90, angle = i * std::numbers::pi / 5 + std::numbers::pi / 2;
      const Point p{120 + r * std::cos(angle), 110 + r * std::sin(angle)};
      i ? star->lineToPoint(p) : star->moveToPoint(p);
    }
    star->closePath();
    star->setLineWidth(4);
    const V2DTriangulation mesh = triangulateBezierPath(*star, 0.1, false);

    Structure entry;
    entry.addMember(Value(ObjectRef(star)), paint::kPath);
    entry.addMember(paint::kFillThenStroke, paint::kStrokeFill);
    entry.addMember(Color::colorWithRed(0.95, 0.75, 0.2, 1), paint::kFill);
    entry.addMember(Color::colorWithRed(0.5, 0.3, 0, 1), paint::kStroke);
    entry.addMember(true, paint::kShadow);
    entry.addMember(Size{6, -6}, paint::kShadowOffset);
    entry.addMember(10.0, paint::kShadowBlur);
    entry.addMember(Color::colorWithRed(0, 0, 0, 0.5), paint::kShadowColor);
    Structure drawing;
    drawing.addMember(Value(std::make_shared<const Structure>(std::move(entry))));

    BitmapBuffer buffer;
    uint64_t capacity = 0;
    const auto image = renderBezierPathStructure(&drawing, 0.1, 240, 220, true, Color::colorWithRed(1, 1, 1, 1),
                                                 buffer, capacity);
    if (!image) throw Exception("nothing was drawn");
    image->writePNG(argv[1]);
    std::printf("%s: %dx%d, %zu triangles\n", argv[1], int(image->width()), int(image->height()),
                mesh.triangles.size() / 3);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "core: %s\n", e.what());
    return 1;
  }
}
