// A single-byte code page read by glibc's iconv: tables of its own to check
// ours, and Windows', against.
#pragma once

#include <cstdint>

// The Unicode character of byte in page (an iconv name, "CP1252"), or 0
// where iconv reads none. A page iconv doesn't know ends the test run.
uint32_t iconv_unicode(const char* page, uint8_t byte);
