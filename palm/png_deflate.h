// The zlib stream inside a PNG, made by the system's zlib where it has one
// (png_deflate-zlib.cpp); elsewhere stb_image_write deflates with its own
// compressor. The signature is the one stb_image_write takes as
// STBIW_ZLIB_COMPRESS: the bytes come from malloc and are freed with free;
// null when they can't be made.
#pragma once

namespace palm {

unsigned char* png_deflate(unsigned char* data, int size, int* out_size, int quality);

}  // namespace palm
