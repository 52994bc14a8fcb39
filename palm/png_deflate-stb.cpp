#include "png_deflate.h"

// stb_image_write's own compressor, from its one copy (stb_image_write.cpp);
// its header declares no prototype for it.
extern "C" unsigned char* stbi_zlib_compress(unsigned char* data, int data_len, int* out_len,
                                             int quality);

unsigned char* png_deflate(unsigned char* data, int size, int* out_size, int quality) {
  return stbi_zlib_compress(data, size, out_size, quality);
}
