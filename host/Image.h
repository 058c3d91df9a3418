// An 8-bit RGBA bitmap: premultiplied alpha, rows of exactly 4 x width bytes, first row on top.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vellum {

class Image {
 public:
  Image() = default;
  Image(int width, int height);  // cleared to (0, 0, 0, 0)
  Image(int width, int height, std::vector<uint8_t> rgba);

  int width() const { return width_; }
  int height() const { return height_; }
  size_t bytesPerRow() const { return size_t(width_) * 4; }
  const std::vector<uint8_t>& data() const { return data_; }
  std::vector<uint8_t>& data() { return data_; }
  // Pixel at column x, row y from the top: R, G, B, A (premultiplied).
  const uint8_t* pixel(int x, int y) const { return data_.data() + size_t(y) * bytesPerRow() + size_t(x) * 4; }

  // Writes a PNG (straight alpha, as PNG wants). Throws vellum::Exception on failure.
  void writePNG(const std::string& path) const;
  // Reads a PNG into premultiplied RGBA. Throws vellum::Exception on failure.
  static Image readPNG(const std::string& path);

 private:
  int width_ = 0, height_ = 0;
  std::vector<uint8_t> data_;
};

}  // namespace vellum
