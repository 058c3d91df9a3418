#include "host/Image.h"

#include <png.h>

#include <cstdio>
#include <memory>

#include "host/Exception.h"

namespace vellum {

Image::Image(int width, int height) : width_(width), height_(height) {
  if (width < 0 || height < 0) throw Exception("Image: negative size");
  data_.assign(size_t(width) * size_t(height) * 4, 0);
}

Image::Image(int width, int height, std::vector<uint8_t> rgba) : width_(width), height_(height), data_(std::move(rgba)) {
  if (width < 0 || height < 0 || data_.size() != size_t(width) * size_t(height) * 4)
    throw Exception("Image: pixel data does not match the size");
}

namespace {
struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
}  // namespace

void Image::writePNG(const std::string& path) const {
  if (width_ == 0 || height_ == 0) throw Exception("cannot write an empty image to " + path);
  // PNG stores straight alpha: undo the premultiplication, rounding to nearest.
  std::vector<uint8_t> straight(data_.size());
  for (size_t i = 0; i < data_.size(); i += 4) {
    unsigned a = data_[i + 3];
    straight[i + 3] = uint8_t(a);
    for (int c = 0; c < 3; ++c) {
      unsigned v = a ? (data_[i + c] * 255u + a / 2) / a : 0;
      straight[i + c] = uint8_t(v > 255 ? 255 : v);
    }
  }
  std::unique_ptr<FILE, FileCloser> f(std::fopen(path.c_str(), "wb"));
  if (!f) throw Exception("cannot open " + path + " for writing");
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  img.width = png_uint_32(width_);
  img.height = png_uint_32(height_);
  img.format = PNG_FORMAT_RGBA;
  if (!png_image_write_to_stdio(&img, f.get(), 0, straight.data(), png_int_32(bytesPerRow()), nullptr)) {
    std::string why = img.message;
    png_image_free(&img);
    throw Exception("cannot write PNG " + path + ": " + why);
  }
}

Image Image::readPNG(const std::string& path) {
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&img, path.c_str())) throw Exception("cannot read PNG " + path + ": " + img.message);
  img.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(img));
  if (!png_image_finish_read(&img, nullptr, rgba.data(), 0, nullptr)) {
    std::string why = img.message;
    png_image_free(&img);
    throw Exception("cannot read PNG " + path + ": " + why);
  }
  for (size_t i = 0; i < rgba.size(); i += 4) {
    unsigned a = rgba[i + 3];
    for (int c = 0; c < 3; ++c) rgba[i + c] = uint8_t((rgba[i + c] * a + 127) / 255);
  }
  return Image(int(img.width), int(img.height), std::move(rgba));
}

}  // namespace vellum
