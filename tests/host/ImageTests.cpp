#include <gtest/gtest.h>

#include <filesystem>

#include "host/Exception.h"
#include "host/Image.h"

using namespace vellum;

TEST(ImageTest, PngRoundTripKeepsPremultipliedPixels) {
  // Opaque, half-transparent (premultiplied) and clear pixels.
  Image img(3, 2, {255, 0, 0, 255, 64, 32, 0, 128, 0, 0, 0, 0,  //
                   0, 0, 255, 255, 10, 20, 30, 255, 100, 100, 100, 100});
  auto path = (std::filesystem::temp_directory_path() / "vellum-image-test.png").string();
  img.writePNG(path);
  Image back = Image::readPNG(path);
  std::filesystem::remove(path);
  ASSERT_EQ(back.width(), 3);
  ASSERT_EQ(back.height(), 2);
  EXPECT_EQ(back.data(), img.data());
  EXPECT_EQ(back.pixel(1, 1)[2], 30);
}

TEST(ImageTest, BadSizesAndFilesAreErrors) {
  EXPECT_THROW(Image(2, 2, std::vector<uint8_t>(3)), Exception);
  EXPECT_THROW(Image(-1, 2), Exception);
  EXPECT_THROW(Image(0, 0).writePNG("/tmp/x.png"), Exception);
  EXPECT_THROW(Image(1, 1).writePNG("/nonexistent-dir/x.png"), Exception);
  EXPECT_THROW(Image::readPNG("/nonexistent-dir/x.png"), Exception);
  Image blank(2, 1);
  EXPECT_EQ(blank.data(), std::vector<uint8_t>(8, 0));
}
