// The one copy of stb_image_write in the programs. It writes to memory only,
// so no file functions are compiled in, and compresses through png_deflate.
#include "png_deflate.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#define STBIW_ZLIB_COMPRESS png_deflate
#include <stb_image_write.h>
