#include "font_spec.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstring>

namespace {

// The longest character-set token kept, as scanf's token area would hold it.
constexpr size_t token_limit = 79;

// scanf's white space, independent of the locale.
bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// What "%d" reads at text[pos]: white space, a sign, then at least one digit.
// Values beyond int wrap modulo 2^32, so the low bits are always those of the
// number as written (and no overflow is undefined). Advances pos on success.
bool scan_int(const std::string& text, size_t& pos, int& value) {
  size_t i = pos;
  while (i < text.size() && is_space(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= text.size() || !is_digit(text[i])) return false;
  uint32_t magnitude = 0;
  for (; i < text.size() && is_digit(text[i]); ++i)
    magnitude = magnitude * 10u + static_cast<uint32_t>(text[i] - '0');
  value = static_cast<int>(negative ? 0u - magnitude : magnitude);
  pos = i;
  return true;
}

// What "%s" reads at text[pos], keeping the first token_limit characters.
bool scan_word(const std::string& text, size_t& pos, std::string& word) {
  size_t i = pos;
  while (i < text.size() && is_space(text[i])) ++i;
  size_t start = i;
  while (i < text.size() && !is_space(text[i])) ++i;
  if (i == start) return false;
  word = text.substr(start, std::min(i - start, token_limit));
  pos = i;
  return true;
}

bool scan_literal(const std::string& text, size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

// The leading integer as atoi reads it, held to int's range instead of
// overflowing.
int leading_int(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && is_space(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && is_digit(text[i]); ++i)
    value = std::min<int64_t>(value * 10 + (text[i] - '0'), int64_t{INT_MAX} + 1);
  if (negative) value = -value;
  return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

// The leading number as "%lf" reads it, in any locale (the desktop toolkit
// may have switched to one with a decimal comma). False when there is none.
bool leading_double(const std::string& text, double& value) {
  size_t i = 0;
  while (i < text.size() && is_space(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const char* first = text.data() + i;
  const char* last = text.data() + text.size();
  // from_chars takes a sign of its own, which "%lf" would not after ours.
  auto signed_at = [last](const char* p) { return p < last && (*p == '+' || *p == '-'); };
  if (signed_at(first)) return false;
  std::from_chars_result read{};
  if (last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X')) {
    read = signed_at(first + 2) ? std::from_chars_result{first + 2, std::errc::invalid_argument}
                                : std::from_chars(first + 2, last, value, std::chars_format::hex);
    if (read.ec != std::errc()) value = 0;  // "0x" alone still reads the 0
  } else {
    read = std::from_chars(first, last, value, std::chars_format::general);
    if (read.ec != std::errc()) return false;  // no number, or one beyond double
  }
  if (negative) value = -value;
  return true;
}

// A size in points ("10.5pt") as a logical height at dpi_y. No number, or one
// whose tenths do not fit an int, gives 0: the dialog's own default size.
int32_t height_from_points(int dpi_y, const std::string& size_spec) {
  double points = 0;
  if (!leading_double(size_spec, points)) return 0;
  double tenths = points * 10.0 + 0.5;
  if (!(tenths > static_cast<double>(INT_MIN) - 1.0 && tenths < static_cast<double>(INT_MAX) + 1.0))
    return 0;
  int scaled = MulDiv(static_cast<int>(tenths), dpi_y, 720);
  // Negated as the platform's 32-bit arithmetic would, INT_MIN included.
  return static_cast<int32_t>(0u - static_cast<uint32_t>(scaled));
}

void copy_face_name(LOGFONTA& font, const std::string& name) {
  size_t length = std::min(name.size(), static_cast<size_t>(LF_FACESIZE - 1));
  std::memcpy(font.lfFaceName, name.data(), length);
  font.lfFaceName[length] = '\0';
}

}  // namespace

void parse_font_spec(int dpi_y, LOGFONTA& font, const std::string& font_spec,
                     const std::string& size_spec) {
  std::memset(&font, 0, sizeof font);

  if (size_spec.find('p') != std::string::npos)
    font.lfHeight = height_from_points(dpi_y, size_spec);
  else
    font.lfHeight = leading_int(size_spec);

  static const char prefix[] = "winfont://";
  std::string rest = font_spec.compare(0, sizeof prefix - 1, prefix) == 0
                         ? font_spec.substr(sizeof prefix - 1)
                         : font_spec;

  size_t colon = rest.find(':');
  if (colon == std::string::npos) {
    copy_face_name(font, rest);
    font.lfWeight = FW_NORMAL;
    return;
  }
  copy_face_name(font, rest.substr(0, colon));

  // "%d:%d:%s": stop at the first mismatch, fields not reached keep defaults.
  int italic = 0, weight = FW_NORMAL;
  std::string token;
  size_t pos = colon + 1;
  if (scan_int(rest, pos, italic) && scan_literal(rest, pos, ':') && scan_int(rest, pos, weight) &&
      scan_literal(rest, pos, ':'))
    scan_word(rest, pos, token);

  font.lfWeight = weight;
  font.lfItalic = static_cast<uint8_t>(italic & 0xFF);
  font.lfCharSet = static_cast<uint8_t>(charset_code(token) & 0xFF);
  font.lfOutPrecision = OUT_OUTLINE_PRECIS;
}

int charset_code(const std::string& token) {
  if (token.empty()) return DEFAULT_CHARSET;
  if (const CharsetEntry* entry = charsets::find_charset_entry(token)) return entry->code;
  size_t pos = 0;
  int code = 0;
  if (scan_int(token, pos, code)) return code;
  // Neither a name nor a number: the default set, which names no script.
  return DEFAULT_CHARSET;
}
