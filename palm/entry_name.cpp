#include "entry_name.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "output.h"
#include "text.h"

namespace palm {

using base::hex_digit_value, base::hex_text, base::format;

namespace {

bool read_hex_like_scanf(const char* text, unsigned* id) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (isspace(*p)) ++p;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  bool digits = false;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    digits = true;  // the 0 counts even when no digit follows the x
    p += 2;
  }
  unsigned value = 0;
  for (int digit; (digit = hex_digit_value(static_cast<char>(*p))) >= 0; ++p) {
    value = value * 16 + static_cast<unsigned>(digit);
    digits = true;
  }
  if (!digits) return false;
  *id = (negative ? 0u - value : value) & 0xFFFFu;
  return true;
}

}  // namespace

bool entry_name_id(const char* name, unsigned* id) {
  char id_text[5] = {};
  return strlen(name) >= 4 && read_hex_like_scanf(strncpy(id_text, name + 4, 4), id);
}

std::string resource_file_base(const uint8_t type[4], uint16_t id, bool* escaped) {
  // Where the system takes "NUL.0001.bin" for a device, the dot that ends
  // the device's name is escaped too.
  bool device = reserved_file_name(std::string(reinterpret_cast<const char*>(type), 4) + "0000");
  std::string s;
  *escaped = false;
  for (int i = 0; i < 4; ++i) {
    uint8_t c = type[i];
    if (c >= 0x20 && c < 0x7f && !strchr("/\\:*?\"<>|%", c) && !(device && i == 3)) {
      s += static_cast<char>(c);
    } else {
      s += format("%%%02X", c);
      *escaped = true;
    }
  }
  return s + hex_text(id, 4);
}

std::string record_file_base(size_t index, size_t count) {
  size_t digits = 4;
  for (size_t n = count; n > 10000; n /= 10) ++digits;
  std::string number = std::to_string(index);
  number.insert(0, digits - std::min(digits, number.size()), '0');
  return "record" + number;
}

}  // namespace palm
