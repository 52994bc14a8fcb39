// Single-byte code pages (1250..1258, 874, 437, 10000 for Mac Roman; 28591..
// 28606 for ISO 8859-1..16, 20866 for KOI8-R, 21866 for KOI8-U) as
// Unicode, read from the platform's own tables: iconv, or Windows'.
#pragma once

#include <array>
#include <cstdint>

namespace charsets {

// Entry b is byte b's character; 0 where the page leaves the byte undefined
// or the platform doesn't know the page.
using CodePageTable = std::array<uint32_t, 256>;

CodePageTable code_page_table(int code_page);

}  // namespace charsets
