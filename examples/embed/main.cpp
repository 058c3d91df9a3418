// A host of its own around the installed package: loads the Vellum2D plug-in, feeds a
// rectangle into "Vellum Image With Vector" and writes the image as a PNG.
//   embed OUTPUT.png [PLUGIN]
#include <cstdio>
#include <exception>

#include "host/Bundle.h"
#include "host/Exception.h"
#include "host/Image.h"
#include "host/NodeManager.h"

using namespace vellum;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: embed OUTPUT.png [PLUGIN]\n");
    return 2;
  }
  try {
    NodeManager manager;
    Bundle::load(argc > 2 ? argv[2] : VELLUM2D_PLUGIN).registerNodesWithManager(manager);

    auto rectangle = manager.createPatch("Vellum Vector With Rectangle", "rectangle");
    auto image = manager.createPatch("Vellum Image With Vector", "image");
    if (!rectangle || !image) throw Exception("the plug-in lacks a patch this example uses");
    rectangle->portForKey("inputWidth")->setValue(120.0);
    rectangle->portForKey("inputHeight")->setValue(80.0);
    image->portForKey("inputMode")->setValue(2);  // fill, then stroke
    image->portForKey("inputStrokeWidth")->setValue(4.0);

    ExecutionContext context;
    rectangle->execute(&context, 0, {});
    image->portForKey("inputBezierPath")->setValue(rectangle->portForKey("outputBezierPath")->value());
    image->execute(&context, 0, {});

    const ImageRef picture = image->portForKey("outputImage")->value().image();
    if (!picture) throw Exception("no image was drawn");
    picture->writePNG(argv[1]);
    std::printf("%s: %dx%d\n", argv[1], int(picture->width()), int(picture->height()));
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "embed: %s\n", e.what());
    return 1;
  }
}
