// The zlib stream inside a PNG, made by the platform's best compressor:
// zlib where the system has it (png_deflate-zlib.cpp), stb_image_write's own
// otherwise (png_deflate-stb.cpp). The signature is the one stb_image_write
// takes as STBIW_ZLIB_COMPRESS: the bytes come from malloc and are freed
// with free; null when they can't be made.
#pragma once

unsigned char* png_deflate(unsigned char* data, int size, int* out_size, int quality);
