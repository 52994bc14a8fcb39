#include "charsets.h"

#include <cstddef>
#include <cstdint>

#include "code_pages.h"
#include "text.h"

namespace charsets {
namespace {

constexpr const char* kEnglish = "The quick brown fox jumps over the lazy dog. 0123456789";

// fontpick's named sets first, in the order their names are searched, then
// the one it can only pass as a number. The XLFD names are those FontForge
// and iconv know, so that an editor keeps each glyph's byte when it saves
// a BDF file; X's own names for the two pages they don't cover.
const CharsetEntry kCharsets[14] = {
    {"Western", 0, 1252, "windows-1252", kEnglish},
    {"Default", 1, 1252, "windows-1252", kEnglish},
    {"EasternEurope", 238, 1250, "windows-1250",
     "P\u0159\u00edli\u0161 \u017elu\u0165ou\u010dk\u00fd k\u016f\u0148 "
     "\u00fap\u011bl \u010f\u00e1belsk\u00e9 \u00f3dy."},
    {"Greek", 161, 1253, "windows-1253",
     "\u039e\u03b5\u03c3\u03ba\u03b5\u03c0\u03ac\u03b6\u03c9 \u03c4\u03b7\u03bd "
     "\u03c8\u03c5\u03c7\u03bf\u03c6\u03b8\u03cc\u03c1\u03b1 "
     "\u03b2\u03b4\u03b5\u03bb\u03c5\u03b3\u03bc\u03af\u03b1."},
    {"Mac", 77, 10000, "mac-roman", kEnglish},
    {"OEM", 255, 437, "ibm-cp437", kEnglish},
    {"Cyrillic", 204, 1251, "windows-1251",
     "\u0421\u044a\u0435\u0448\u044c \u0436\u0435 \u0435\u0449\u0451 "
     "\u044d\u0442\u0438\u0445 \u043c\u044f\u0433\u043a\u0438\u0445 "
     "\u0444\u0440\u0430\u043d\u0446\u0443\u0437\u0441\u043a\u0438\u0445 "
     "\u0431\u0443\u043b\u043e\u043a."},
    {"Symbol", 2, 0, "microsoft-symbol", ""},
    {"Turkish", 162, 1254, "windows-1254",
     "Pijamal\u0131 hasta ya\u011f\u0131z \u015fof\u00f6re \u00e7abucak "
     "g\u00fcvendi."},
    {"Vietnamese", 163, 1258, "windows-1258", "Ti\u00ea\u0301ng Vi\u00ea\u0323t."},
    {"Arabic", 178, 1256, "windows-1256",
     "\u0646\u0635 \u062d\u0643\u064a\u0645 \u0644\u0647 \u0633\u0631 "
     "\u0642\u0627\u0637\u0639."},
    {"Hebrew", 177, 1255, "windows-1255",
     "\u05d3\u05d2 \u05e1\u05e7\u05e8\u05df \u05e9\u05d8 \u05d1\u05d9\u05dd."},
    {"Thai", 222, 874, "windows-874", "\u0e20\u0e32\u0e29\u0e32\u0e44\u0e17\u0e22"},
    {nullptr, 186, 1257, "windows-1257",
     "\u012elinkdama fechtuotojo \u0161paga sublyk\u010diojusi "
     "pragr\u0119\u017e\u0117 apval\u0173 arb\u016bz\u0105."},
};

// Sets of two-byte characters, which a Palm font's 8-bit codes cannot hold.
const int kDoubleByte[] = {128, 129, 130, 134, 136};

}  // namespace

constinit const std::span<const CharsetEntry, 13> CharsetTable(kCharsets, 13);

const CharsetEntry* find_charset_entry(const std::string& token) {
  for (const CharsetEntry& entry : CharsetTable)
    if (base::equal_ignoring_ascii_case(entry.name, token)) return &entry;
  return nullptr;
}

int xlfd_code_page(const std::string& xlfd) {
  std::string name = base::lower_ascii(xlfd);
  for (const CharsetEntry& entry : kCharsets)
    if (name == entry.xlfd) return entry.code_page;
  int n = 0;
  if (name.starts_with("iso8859-") && base::read_digits(name.substr(8), 10, 2, &n) && n >= 1 &&
      n <= 16)
    return 28590 + n;
  return name == "koi8-r" ? 20866 : name == "koi8-u" ? 21866 : 0;
}

std::string charset_name(int code) {
  for (const CharsetEntry& entry : CharsetTable)
    if (entry.code == code) return entry.name;
  return std::to_string(code);
}

std::string find_charset(const std::string& token, Charset* charset) {
  int code = -1;
  if (const CharsetEntry* entry = find_charset_entry(token)) {
    code = entry->code;
  } else if (base::read_digits(token, 10, 3, &code)) {
    for (int d : kDoubleByte)
      if (code == d)
        return "character set " + token +
               " has two-byte characters; a Palm font holds single bytes";
  }
  const CharsetEntry* found = nullptr;
  for (const CharsetEntry& entry : kCharsets)
    if (entry.code == code) found = found ? found : &entry;
  if (!found) {
    std::string known;
    for (const CharsetEntry& entry : CharsetTable) known += std::string(entry.name) + ", ";
    return "unknown character set '" + token + "' (known: " + known +
           "or a Windows number such as 186)";
  }
  charset->name = charset_name(found->code);
  charset->code = found->code;
  charset->code_page = found->code_page;
  charset->symbol = found->code_page == 0;
  charset->xlfd = found->xlfd;
  charset->sample = found->sample;
  return "";
}

namespace {

// The code point at text[*at], moving *at past it; 0 for bytes that are no
// UTF-8 (a stray, overlong or cut-short sequence), each of which is taken
// as one character.
uint32_t next_code_point(std::string_view text, size_t* at) {
  const unsigned char lead = static_cast<unsigned char>(text[(*at)++]);
  const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
  if (lead < 0x80) return lead;
  if (lead < 0xC0 || lead > 0xF4) return 0;
  uint32_t u = lead & (0x3F >> extra);
  for (int i = 0; i < extra; ++i, ++*at) {
    if (*at >= text.size() || (static_cast<unsigned char>(text[*at]) & 0xC0) != 0x80) return 0;
    u = u << 6 | (static_cast<unsigned char>(text[*at]) & 0x3F);
  }
  constexpr uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
  return u >= kLeast[extra] ? u : 0;
}

}  // namespace

constexpr PalmExtra kPalmWestern[] = {
    {0x09, '\t', ' '},    {0x18, 0x2026, 0}, {0x19, 0x2007, '0'},
    {0x8D, 0x2666, 0}, {0x8F, 0x2665, 0}, {0x90, 0x2660, 0},
};

std::span<const PalmExtra> palm_extras(const Charset& charset) {
  if (charset.symbol || charset.code_page != 1252) return {};
  return kPalmWestern;
}

int palm_first_byte(const Charset& charset) {
  return palm_extras(charset).empty() ? 0x20 : kPalmWestern[0].byte;
}

std::string code_page_bytes(const Charset& charset, std::string_view utf8) {
  CodePageTable table = code_page_table(charset.code_page);
  std::span<const PalmExtra> extras = palm_extras(charset);
  std::string bytes;
  for (size_t at = 0; at < utf8.size();) {
    uint32_t u = next_code_point(utf8, &at);
    char byte = u == '\n' ? '\n' : 0;
    for (int b = 0x20; b <= 0xFF && !byte && !charset.symbol; ++b)
      if (table[size_t(b)] == u && u != 0) byte = static_cast<char>(b);
    for (const PalmExtra& e : extras)
      if (!byte && e.meaning == u) byte = static_cast<char>(e.byte);
    bytes += byte;
  }
  return bytes;
}

std::string sample_bytes(const Charset& charset) {
  if (charset.symbol) return "";
  std::string bytes = code_page_bytes(charset, charset.sample);
  std::erase(bytes, '\0');
  return bytes;
}

}  // namespace charsets
