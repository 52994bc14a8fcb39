#include "png_pixels.h"

#include <png.h>

#include <vector>

#include "run.h"

std::string png_pixels(const std::string& png) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, png.data(), png.size()))
    return std::string("unreadable: ") + image.message;
  image.format = PNG_FORMAT_RGB;
  std::string pixels(PNG_IMAGE_SIZE(image), '\0');
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
    return std::string("unreadable: ") + image.message;
  return std::to_string(image.width) + "x" + std::to_string(image.height) + ":" + hex(pixels);
}
