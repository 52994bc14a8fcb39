// The one copy of stb_image_write in the programs. It writes to memory only,
// so no file functions are compiled in. Where the build names a compressor
// (STBIW_ZLIB_COMPRESS, the system's zlib through png_deflate) it deflates
// with that, else with its own.
#include "png_deflate.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>
