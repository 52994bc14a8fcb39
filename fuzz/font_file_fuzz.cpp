// glyphsmith's font-file sources on any bytes: BDF, PCF, compressed PCF and
// whatever else FreeType opens, read as a run reads them (both densities,
// the set's characters, the face's own missing symbol) and built into the
// two fonts. The input's first two bytes choose the pixel size and the
// character set; the rest is the file. Besides the sanitizers, a refusal is
// one line, and a run stays within the budget of fuzz/budget.h, its output
// being the glyphs' ink.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "budget.h"
#include "build_font.h"
#include "charsets.h"
#include "sources.h"

namespace {

constexpr const char* kTarget = "font_file";

// One file for every input, in a folder of the run's own, removed at exit.
struct ScratchFile {
  std::string folder, path;
  ScratchFile() {
    char name[] = "/tmp/font_file_fuzz.XXXXXX";
    if (!mkdtemp(name)) fuzz_finding(kTarget, "cannot make a scratch folder");
    folder = name;
    path = folder + "/font";
  }
  ~ScratchFile() {
    std::remove(path.c_str());
    rmdir(folder.c_str());
  }
};

const std::string& font_path() {
  static ScratchFile file;
  return file.path;
}

void write_font(const uint8_t* data, size_t size) {
  FILE* f = std::fopen(font_path().c_str(), "wb");
  if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0)
    fuzz_finding(kTarget, "cannot write " + font_path());
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
  write_font(data + 2, size - 2);
  FaceRequest request;
  request.family = request.file = font_path();
  request.symbol = charset.symbol;
  SourceGlyphs source;
  std::string error = read_glyphs(request, "", pixels, 2 * pixels, charset, &source);
  size_t bytes = ink_bytes(source);
  if (error.empty()) {
    BuiltFonts fonts;
    error = build_fonts(source.glyphs, source.first_code, pixels, &fonts,
                        source.own_missing ? &source.missing : nullptr);
    if (!error.empty()) one_line(error);
  } else {
    one_line(error);
  }
  check_budget(budget, size, bytes);
  return 0;
}
