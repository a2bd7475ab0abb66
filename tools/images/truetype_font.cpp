#include "truetype_font.h"

#include <stb_truetype.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

#include "utf8.h"

namespace images {

namespace {

uint32_t bigEndian(const std::vector<unsigned char>& data, size_t at, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value = (value << 8) | data[at + i];
  return value;
}

// stb_truetype trusts the file's table directory; check that the directory
// and every table it lists lie inside the data before handing it over.
bool tableDirectoryFits(const std::vector<unsigned char>& data, size_t offset) {
  const uint64_t size = data.size();
  if (uint64_t(offset) + 12 > size) return false;
  const uint32_t tables = bigEndian(data, offset + 4, 2);
  if (uint64_t(offset) + 12 + 16 * uint64_t(tables) > size) return false;
  for (uint32_t t = 0; t < tables; ++t) {
    const size_t record = offset + 12 + 16 * size_t(t);
    const uint64_t start = bigEndian(data, record + 8, 4);
    const uint64_t length = bigEndian(data, record + 12, 4);
    if (start + length > size) return false;
  }
  return true;
}

}  // namespace

TrueTypeFont::~TrueTypeFont() = default;

std::unique_ptr<TrueTypeFont> TrueTypeFont::load(const std::string& path, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    *error = "cannot open font file " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  std::unique_ptr<TrueTypeFont> font(new TrueTypeFont());
  font->data_.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  if (file.bad()) {
    *error = "cannot read font file " + path;
    return nullptr;
  }
  const std::vector<unsigned char>& data = font->data_;
  // 16 bytes covers everything stbtt_GetFontOffsetForIndex reads, for a
  // plain font and for a collection's first entry.
  const int offset = data.size() >= 16 ? stbtt_GetFontOffsetForIndex(data.data(), 0) : -1;
  font->info_ = std::make_unique<stbtt_fontinfo>();
  if (offset < 0 || !tableDirectoryFits(data, size_t(offset)) ||
      !stbtt_InitFont(font->info_.get(), data.data(), offset)) {
    *error = path + " is not a TrueType font";
    return nullptr;
  }
  return font;
}

std::vector<TrueTypeFont::PlacedGlyph> TrueTypeFont::layout(const std::string& text, float scale,
                                                            float tracking, float* width) const {
  std::vector<PlacedGlyph> glyphs;
  float pen = 0.0f;
  int previous = -1;
  for (char32_t codepoint : decodeUtf8(text)) {
    const int glyph = stbtt_FindGlyphIndex(info_.get(), int(codepoint));
    if (previous >= 0) pen += tracking + stbtt_GetGlyphKernAdvance(info_.get(), previous, glyph) * scale;
    glyphs.push_back({glyph, pen});
    int advance, leftBearing;
    stbtt_GetGlyphHMetrics(info_.get(), glyph, &advance, &leftBearing);
    pen += advance * scale;
    previous = glyph;
  }
  *width = pen;
  return glyphs;
}

float TrueTypeFont::lineWidth(const std::string& text, float size, float tracking) const {
  float width;
  layout(text, stbtt_ScaleForMappingEmToPixels(info_.get(), size), tracking, &width);
  return width;
}

float TrueTypeFont::capHeight(float size) const {
  int x0, y0, x1, y1;
  if (!stbtt_GetCodepointBox(info_.get(), 'H', &x0, &y0, &x1, &y1)) {
    int ascent, descent, gap;  // no "H": take most of the ascent instead
    stbtt_GetFontVMetrics(info_.get(), &ascent, &descent, &gap);
    y1 = int(ascent * 0.75f);
  }
  return y1 * stbtt_ScaleForMappingEmToPixels(info_.get(), size);
}

void TrueTypeFont::drawLine(Canvas& canvas, const std::string& text, float centreX, float centreY,
                            float size, Colour colour, float tracking) const {
  const float scale = stbtt_ScaleForMappingEmToPixels(info_.get(), size);
  float width;
  const std::vector<PlacedGlyph> glyphs = layout(text, scale, tracking, &width);
  const float left = centreX - width * 0.5f;
  const float baseline = centreY + capHeight(size) * 0.5f;
  const int baselineRow = int(std::floor(baseline));
  const float shiftY = baseline - baselineRow;
  std::vector<unsigned char> coverage;
  for (const PlacedGlyph& placed : glyphs) {
    // Whole pixels move the bitmap; the fraction goes to the rasteriser so
    // spacing stays even at any size.
    const float x = left + placed.x;
    const int column = int(std::floor(x));
    const float shiftX = x - column;
    int x0, y0, x1, y1;
    stbtt_GetGlyphBitmapBoxSubpixel(info_.get(), placed.glyph, scale, scale, shiftX, shiftY, &x0, &y0,
                                    &x1, &y1);
    const int w = x1 - x0, h = y1 - y0;
    if (w <= 0 || h <= 0) continue;  // blank glyph, e.g. a space
    coverage.assign(size_t(w) * h, 0);
    stbtt_MakeGlyphBitmapSubpixel(info_.get(), coverage.data(), w, h, w, scale, scale, shiftX, shiftY,
                                  placed.glyph);
    for (int row = 0; row < h; ++row)
      for (int col = 0; col < w; ++col)
        canvas.blendOver(column + x0 + col, baselineRow + y0 + row, colour,
                         coverage[size_t(row) * w + col] / 255.0f);
  }
}

}  // namespace images
