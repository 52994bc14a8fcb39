#include "png_deflate.h"

// A private copy of stb_image_write for its compressor alone.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

unsigned char* png_deflate(unsigned char* data, int size, int* out_size, int quality) {
  return stbi_zlib_compress(data, size, out_size, quality);
}
