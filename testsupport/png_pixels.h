// A PNG file's pixels as libpng reads them, for comparing pictures whose
// bytes may differ (each build deflates with its own compressor).
#pragma once

#include <string>

// "WxH:" and the RGB bytes in hex, or "unreadable: why".
std::string png_pixels(const std::string& png);
