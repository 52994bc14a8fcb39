// glyphsmith's font-file sources on any bytes: BDF, PCF, compressed PCF and
// whatever else FreeType opens, read as a run reads them (both densities,
// the set's characters, the face's own missing symbol) and built into the
// two fonts. The input's first two bytes choose the pixel size and the
// character set; the rest is the file. Besides the sanitizers, a refusal is
// one line, and a run stays within the budget of fuzz/budget.h, its output
// being the glyphs' ink.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "budget.h"
#include "build_font.h"
#include "charsets.h"
#include "sources.h"

using charsets::Charset;

namespace {

constexpr const char* kTarget = "font_file";

// One file for every input, in memory, so that nothing is left behind
// however the run ends; FreeType opens it by its /proc name.
int font_fd() {
  static const int fd = memfd_create("font_file_fuzz", 0);
  if (fd < 0) fuzz_finding(kTarget, "cannot make a file in memory");
  return fd;
}

std::string write_font(const uint8_t* data, size_t size) {
  int fd = font_fd();
  if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
    fuzz_finding(kTarget, "cannot write the font file");
  return "/proc/self/fd/" + std::to_string(fd);
}

size_t ink_bytes(const SourceGlyphs& source) {
  size_t n = source.missing.standard.ink.size() + source.missing.twice.ink.size();
  for (const GlyphPair& p : source.glyphs) n += p.standard.ink.size() + p.twice.ink.size();
  return n;
}

void one_line(const std::string& error) {
  if (error.empty() || error.find('\n') != std::string::npos)
    fuzz_finding(kTarget, "a refusal not of one line: '" + error + "'");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static const char* kSets[] = {"Western", "Symbol", "Greek", "Cyrillic", "OEM", "Mac"};
  FuzzBudget budget{kTarget, 5.0, 4096, 16 << 20};
  int pixels = 1 + data[0] % 64;
  Charset charset;
  if (!find_charset(kSets[data[1] % 6], &charset).empty()) fuzz_finding(kTarget, "no charset");
  FaceRequest request;
  request.family = request.file = write_font(data + 2, size - 2);
  request.symbol = charset.symbol;
  SourceGlyphs source;
  std::string error = read_glyphs(request, "", pixels, 2 * pixels, charset, &source);
  size_t bytes = ink_bytes(source);
  if (error.empty()) {
    BuiltFonts fonts;
    error = build_fonts(source.glyphs, source.first_code, pixels, &fonts,
                        source.own_missing ? &source.missing : nullptr, source.line);
    if (!error.empty()) one_line(error);
  } else {
    one_line(error);
  }
  check_budget(budget, size, bytes);
  return 0;
}
