// parse_font_spec, charset_code and charset_name over any text. Besides the
// sanitizers, each result is checked against the C library's own reading of
// the same grammar (sscanf "%d:%d:%79s", strtol, strtod), and charset_name
// and charset_code must undo each other.
#include <fuzzer/FuzzedDataProvider.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "font_spec.h"

namespace {

[[noreturn]] void finding(const std::string& what, const std::string& font_spec,
                          const std::string& size_spec, int dpi_y) {
  fprintf(stderr, "\n==== font_spec finding: %s\nfont_spec %zu bytes, size_spec %zu bytes, dpi %d\n",
          what.c_str(), font_spec.size(), size_spec.size(), dpi_y);
  abort();
}

bool has_nul(const std::string& text) { return text.find('\0') != std::string::npos; }

// True when every run of digits is short enough that no "%d" overflows.
bool short_numbers(const std::string& text) {
  size_t run = 0;
  for (char c : text) {
    run = c >= '0' && c <= '9' ? run + 1 : 0;
    if (run > 9) return false;
  }
  return true;
}

int model_charset(const std::string& token) {
  if (token.empty()) return 1;
  for (const CharsetEntry& entry : CharsetTable)
    if (strcasecmp(entry.name, token.c_str()) == 0) return entry.code;
  int code;
  if (sscanf(token.c_str(), "%d", &code) == 1) return code;
  return 1;
}

int model_muldiv(int64_t number, int64_t numerator, int64_t denominator) {
  int64_t product = number * numerator;
  int64_t q = product / denominator, r = product % denominator;
  if (2 * (r < 0 ? -r : r) >= (denominator < 0 ? -denominator : denominator))
    q += (product < 0) != (denominator < 0) ? -1 : 1;
  return q < INT_MIN || q > INT_MAX ? -1 : static_cast<int>(q);
}

// The height the size text gives, read with strtod and strtol.
bool model_height(const std::string& size_spec, int dpi_y, int32_t* height) {
  if (size_spec.find('p') == std::string::npos) {
    errno = 0;
    long value = strtol(size_spec.c_str(), nullptr, 10);
    *height = static_cast<int32_t>(value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : value);
    return true;
  }
  const char* text = size_spec.c_str();
  char* end;
  double points = strtod(text, &end);
  if (end == text) {
    *height = 0;  // no number: the dialog's own size
    return true;
  }
  double tenths = points * 10.0 + 0.5;
  if (!(tenths > static_cast<double>(INT_MIN) - 1.0 && tenths < static_cast<double>(INT_MAX) + 1.0)) {
    *height = 0;
    return true;
  }
  int scaled = model_muldiv(static_cast<int>(tenths), dpi_y, 720);
  *height = static_cast<int32_t>(0u - static_cast<uint32_t>(scaled));
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  int dpi_y = in.ConsumeBool() ? in.ConsumeIntegralInRange(1, 600) : in.ConsumeIntegral<int>();
  int code = in.ConsumeIntegral<int>();
  std::string size_spec = in.ConsumeRandomLengthString(40);
  std::string font_spec = in.ConsumeRemainingBytesAsString();

  LOGFONTA font;
  memset(&font, 0x5A, sizeof font);
  parse_font_spec(dpi_y, font, font_spec, size_spec);

  if (font.lfWidth || font.lfEscapement || font.lfOrientation || font.lfUnderline ||
      font.lfStrikeOut || font.lfClipPrecision || font.lfQuality || font.lfPitchAndFamily)
    finding("a field that is never set is not 0", font_spec, size_spec, dpi_y);

  // The face: what stands before the first colon, after the prefix, cut to
  // 31 bytes; the rest of the field is zero.
  std::string rest = font_spec.compare(0, 10, "winfont://") == 0 ? font_spec.substr(10) : font_spec;
  size_t colon = rest.find(':');
  std::string face = rest.substr(0, std::min<size_t>(colon, 31));
  char want_face[LF_FACESIZE] = {};
  memcpy(want_face, face.data(), face.size());
  if (memcmp(font.lfFaceName, want_face, sizeof want_face) != 0)
    finding("face name", font_spec, size_spec, dpi_y);

  if (colon == std::string::npos) {
    if (font.lfWeight != 400 || font.lfItalic || font.lfCharSet || font.lfOutPrecision)
      finding("a face alone must give weight 400 and nothing else", font_spec, size_spec, dpi_y);
  } else {
    if (font.lfOutPrecision != 8) finding("output precision", font_spec, size_spec, dpi_y);
    std::string fields = rest.substr(colon + 1);
    if (!has_nul(fields) && short_numbers(fields)) {
      int italic = 0, weight = 400;
      char token[80] = "";
      sscanf(fields.c_str(), "%d:%d:%79s", &italic, &weight, token);
      if (font.lfItalic != (italic & 0xFF) || font.lfWeight != weight)
        finding("italic or weight", font_spec, size_spec, dpi_y);
      if (font.lfCharSet != (model_charset(token) & 0xFF)) finding("character set", font_spec, size_spec, dpi_y);
    }
  }

  int32_t height;
  if (!has_nul(size_spec) && model_height(size_spec, dpi_y, &height) &&
      font.lfHeight != height)
    finding("height " + std::to_string(font.lfHeight) + ", expected " + std::to_string(height),
            font_spec, size_spec, dpi_y);

  // Names and codes go both ways, for any code and any token.
  for (int c : {code, dpi_y, static_cast<int>(font.lfCharSet), font.lfWeight})
    if (charset_code(charset_name(c)) != c) finding("charset_name/charset_code round trip", font_spec, size_spec, c);
  if (!has_nul(font_spec) && short_numbers(font_spec) && charset_code(font_spec) != model_charset(font_spec))
    finding("charset_code of the whole text", font_spec, size_spec, dpi_y);
  return 0;
}
