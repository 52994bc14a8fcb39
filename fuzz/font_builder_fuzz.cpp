// The font builder on any glyph metrics and bitmaps: advances, offsets,
// ascents and descents at and past the Int16 and signed-byte limits, empty
// and absent glyphs, ink bytes of any value. Besides the sanitizers, a built
// font must read back, be as high as its ascent and descent, and hold every
// pixel of ink it was given, each character's in its own columns; a refusal
// is one line. Within the budget of fuzz/budget.h.
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "bitmap_font.h"
#include "budget.h"
#include "build_font.h"

using namespace palm;

namespace {

constexpr const char* kTarget = "font_builder";

int metric(FuzzedDataProvider& in) {
  static const int kEdges[] = {0,     1,      -1,     2,      126,   127,     128,    -128,
                               254,   255,    256,    32766,  32767, 32768,   -32767, -32768,
                               -32769, 65534, 65535,  INT_MIN, INT_MAX};
  return in.ConsumeBool() ? in.PickValueInArray(kEdges) : in.ConsumeIntegralInRange(-40, 40);
}

int extent(FuzzedDataProvider& in) {
  static const int kEdges[] = {0, 1, 2, 127, 128, 254, 255, 32767, 32768, 65535};
  return in.ConsumeBool() ? in.PickValueInArray(kEdges) : in.ConsumeIntegralInRange(0, 24);
}

// Pixels all of an input's glyphs may have, so that runs stay quick.
constexpr int64_t kPixelsPerInput = 1 << 16;

GlyphBitmap glyph(FuzzedDataProvider& in, int64_t* pixels_left) {
  GlyphBitmap g;
  g.present = in.ConsumeBool();
  g.advance = metric(in);
  g.left = metric(in);
  g.top = metric(in);
  g.width = extent(in);
  g.height = extent(in);
  if (int64_t{g.width} * g.height > *pixels_left)
    g.height = static_cast<int>(*pixels_left / std::max(g.width, 1));
  *pixels_left -= int64_t{g.width} * g.height;
  // Ink from the input's bits, any nonzero byte value, then a repeating stripe.
  std::vector<uint8_t> bits = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange(0, 16));
  g.ink.resize(static_cast<size_t>(g.width) * g.height);
  for (size_t i = 0; i < g.ink.size(); ++i) {
    uint8_t b = bits.empty() ? 0 : bits[(i / 8) % bits.size()];
    g.ink[i] = (b >> (i % 8) & 1) ? static_cast<uint8_t>(1 + (b & 0xFE)) : 0;
  }
  return g;
}

size_t ink_count(const GlyphBitmap& g) {
  size_t n = 0;
  if (g.present && g.width > 0 && g.height > 0)
    for (uint8_t v : g.ink) n += v != 0;
  return n;
}

// Set pixels in columns [x0, x1) of every row; whole empty bytes skipped, as
// the images of tall fonts are mostly paper.
size_t pixels_in(const FontImage& image, int x0, int x1) {
  size_t n = 0;
  for (int y = 0; y < image.rows; ++y)
    for (int x = x0; x < x1; ++x) {
      if (x % 8 == 0 && x + 8 <= x1 && font_pixel_byte(image, x, y) < image.bits.size() &&
          image.bits[font_pixel_byte(image, x, y)] == 0) {
        x += 7;
        continue;
      }
      n += font_pixel(image, x, y);
    }
  return n;
}

size_t pixels_of(const BitmapFont& font, const FontImage& image, int c) {
  GlyphColumns cols = glyph_columns(font, image, c);
  return pixels_in(image, cols.x, cols.x + cols.width);
}

BitmapFont read_back(const BitmapFont& font, size_t* bytes) {
  std::vector<uint8_t> encoded = encode_font(font);
  *bytes += encoded.size();
  BitmapFont decoded;
  std::string error = decode_font(encoded.data(), encoded.size(), &decoded);
  if (!error.empty()) fuzz_finding(kTarget, "the built font reads back wrong: " + error);
  return decoded;
}

void check_fonts(const std::vector<GlyphPair>& glyphs, int first_code, const BuiltFonts& fonts,
                 size_t* bytes) {
  BitmapFont v1 = read_back(fonts.v1, bytes), v2 = read_back(fonts.v2, bytes);
  if (v1.rect_height != v1.ascent + v1.descent || v1.ascent < 0 || v1.descent < 0)
    fuzz_finding(kTarget, "height " + std::to_string(v1.rect_height) + " is not ascent " +
                              std::to_string(v1.ascent) + " + descent " +
                              std::to_string(v1.descent));
  if (v2.images.size() != 2 || v2.images[0].bits != v1.images.at(0).bits)
    fuzz_finding(kTarget, "the two fonts' 72-dpi images differ");
  // Every character's ink in its own columns, and nothing else outside the
  // missing symbol's: checked one by one where the image is small.
  for (size_t d = 0; d < 2; ++d) {
    const FontImage& image = v2.images[d];
    bool each = image.bits.size() <= 4096;
    size_t ink = 0;
    for (size_t i = 0; i < glyphs.size(); ++i) {
      const GlyphPair& p = glyphs[i];
      if (!p.standard.present || !p.twice.present) continue;
      size_t n = ink_count(d == 0 ? p.standard : p.twice);
      int c = first_code + static_cast<int>(i);
      if (each && pixels_of(v2, image, c) != n)
        fuzz_finding(kTarget, "character " + std::to_string(c) + " lost or gained ink");
      ink += n;
    }
    size_t all = 0;
    for (uint8_t byte : image.bits) all += static_cast<size_t>(__builtin_popcount(byte));
    if (all - pixels_of(v2, image, -1) != ink)
      fuzz_finding(kTarget, "the image's ink is not the characters' ink");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzBudget budget{kTarget, 1.0, 4096, 1 << 20};
  FuzzedDataProvider in(data, size);
  int first_code = in.ConsumeIntegralInRange(0, 0xFF);
  int line = metric(in);
  bool own_missing = in.ConsumeBool();
  std::vector<GlyphPair> glyphs(in.ConsumeIntegralInRange(0, 0x100 - first_code));
  GlyphPair missing;
  int64_t pixels_left = kPixelsPerInput;
  if (own_missing) missing = {glyph(in, &pixels_left), glyph(in, &pixels_left)};
  for (GlyphPair& p : glyphs) {
    if (in.remaining_bytes() == 0) break;
    p.standard = glyph(in, &pixels_left);
    p.twice = glyph(in, &pixels_left);
  }
  BuiltFonts fonts;
  std::string error =
      build_fonts(glyphs, first_code, line, &fonts, own_missing ? &missing : nullptr);
  size_t bytes = 0;
  if (error.empty())
    check_fonts(glyphs, first_code, fonts, &bytes);
  else if (error.find('\n') != std::string::npos)
    fuzz_finding(kTarget, "a refusal of more than one line: " + error);
  check_budget(budget, size, bytes);
  return 0;
}
