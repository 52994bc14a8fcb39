#include "command.h"

#include <cstring>

#include "font_spec.h"
#include "launch.h"
#include "number_format.h"

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// Keeps the blanks between words as they are, so the interpreter splits the
// name where it always has, and quotes each word on its own.
std::string face_words(const std::string& face) {
  std::string text;
  size_t i = 0;
  while (i < face.size()) {
    size_t end = i;
    if (is_blank(face[i])) {
      while (end < face.size() && is_blank(face[end])) ++end;
      text += face.substr(i, end - i);
    } else {
      while (end < face.size() && !is_blank(face[end])) ++end;
      text += quote_word(face.substr(i, end - i));
    }
    i = end;
  }
  return text;
}

}  // namespace

std::string generator_command(const LOGFONTA& font, int point_size) {
  std::string face(font.lfFaceName, strnlen(font.lfFaceName, sizeof font.lfFaceName));
  return std::string(generator_path) + " " + format_general(point_size * 0.1) + " " +
         format_one_decimal(point_size * 0.13) + " " + quote_word(charset_name(font.lfCharSet)) +
         " " + face_words(face);
}
