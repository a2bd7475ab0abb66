#include "gpu/text_atlas.h"

#include <cmath>
#include <cstdint>

#include "base/log.h"
#include "gpu/uniforms.h"
#include "resources/file_utils.h"

// stb_truetype's only definition in the engine. STBTT_STATIC keeps every
// symbol local to this file, so a tool with its own copy can link with it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#define STBTT_STATIC
#define STB_TRUETYPE_IMPLEMENTATION
#include <stb_truetype.h>
#pragma GCC diagnostic pop

namespace {
constexpr int kFirstCharacter = 32;
constexpr int kPrintableCount = 95;  // 32..126
constexpr int kReplacementCodepoint = 0xFFFD;
constexpr int kSmallestAtlas = 128;
constexpr int kLargestAtlas = 2048;
constexpr float kLargestPixelHeight = 512.0f;
// Rows kept free of glyphs at the atlas bottom; a fully covered 3 x 3 block
// sits there, so boxes draw with the text program and its texture.
constexpr int kSolidRows = 4;
constexpr int kSolidBlock = 3;
constexpr int kGlyphPadding = 1;
constexpr int kVerticesPerQuad = 6;

const char* const kVertexSource =
    "attribute vec2 pos;\n"
    "attribute vec2 uv;\n"
    "uniform vec2 targetSize;\n"
    "varying vec2 texCoord;\n"
    "void main() {\n"
    "  texCoord = uv;\n"
    "  vec2 clip = vec2(pos.x / targetSize.x * 2.0 - 1.0, 1.0 - pos.y / targetSize.y * 2.0);\n"
    "  gl_Position = vec4(clip, 0.0, 1.0);\n"
    "}\n";
const char* const kFragmentSource =
    "uniform sampler2D glyphs;\n"
    "uniform vec4 color;\n"
    "varying vec2 texCoord;\n"
    "void main() {\n"
    "  gl_FragColor = vec4(color.rgb, color.a * texture2D(glyphs, texCoord).r);\n"
    "}\n";

uint32_t bigEndian(const std::vector<uint8_t>& data, size_t at, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value = (value << 8) | data[at + static_cast<size_t>(i)];
  return value;
}

// stb_truetype trusts the table directory; a file whose directory or tables
// reach past its end is refused before stb reads it.
bool isTrueTypeFont(const std::vector<uint8_t>& data) {
  // 16 bytes cover what stbtt_GetFontOffsetForIndex reads.
  const int offset = data.size() >= 16 ? stbtt_GetFontOffsetForIndex(data.data(), 0) : -1;
  if (offset < 0) return false;
  const uint64_t size = data.size();
  const size_t start = static_cast<size_t>(offset);
  if (start + 12 > size) return false;
  const uint64_t tables = bigEndian(data, start + 4, 2);
  if (start + 12 + 16 * tables > size) return false;
  for (uint64_t t = 0; t < tables; ++t) {
    const size_t record = start + 12 + 16 * static_cast<size_t>(t);
    const uint64_t tableStart = bigEndian(data, record + 8, 4);
    if (tableStart + bigEndian(data, record + 12, 4) > size) return false;
  }
  return true;
}

bool compileStage(GLenum stage, const char* source, ShaderHandle& shader) {
  shader.reset(glCreateShader(stage));
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint compiled = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
  if (compiled == GL_TRUE) return true;
  char log[2048] = {};
  glGetShaderInfoLog(shader, sizeof(log), nullptr, log);
  Log("Text atlas: %s shader failed to compile:\n%s\n",
      stage == GL_VERTEX_SHADER ? "vertex" : "fragment", log);
  return false;
}

// The GL state a draw changes, read before and put back after.
struct SavedState {
  GLint program = 0;
  GLboolean blend = GL_FALSE;
  GLint blendSrcRgb = 0, blendDstRgb = 0, blendSrcAlpha = 0, blendDstAlpha = 0;
  GLint blendEquationRgb = 0, blendEquationAlpha = 0;
  GLboolean depthTest = GL_FALSE;
  GLboolean cullFace = GL_FALSE;
  GLint activeTexture = 0;
  GLint texture2D = 0;  // on unit 0
  GLint arrayBuffer = 0;
  GLint polygonMode[2] = {0, 0};  // front, back

  void capture() {
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    blend = glIsEnabled(GL_BLEND);
    glGetIntegerv(GL_BLEND_SRC_RGB, &blendSrcRgb);
    glGetIntegerv(GL_BLEND_DST_RGB, &blendDstRgb);
    glGetIntegerv(GL_BLEND_SRC_ALPHA, &blendSrcAlpha);
    glGetIntegerv(GL_BLEND_DST_ALPHA, &blendDstAlpha);
    glGetIntegerv(GL_BLEND_EQUATION_RGB, &blendEquationRgb);
    glGetIntegerv(GL_BLEND_EQUATION_ALPHA, &blendEquationAlpha);
    depthTest = glIsEnabled(GL_DEPTH_TEST);
    cullFace = glIsEnabled(GL_CULL_FACE);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture);
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture2D);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBuffer);
    glGetIntegerv(GL_POLYGON_MODE, polygonMode);
  }

  void restore() const {
    glUseProgram(static_cast<GLuint>(program));
    setEnabled(GL_BLEND, blend);
    glBlendFuncSeparate(static_cast<GLenum>(blendSrcRgb), static_cast<GLenum>(blendDstRgb),
                        static_cast<GLenum>(blendSrcAlpha), static_cast<GLenum>(blendDstAlpha));
    glBlendEquationSeparate(static_cast<GLenum>(blendEquationRgb),
                            static_cast<GLenum>(blendEquationAlpha));
    setEnabled(GL_DEPTH_TEST, depthTest);
    setEnabled(GL_CULL_FACE, cullFace);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture2D));
    glActiveTexture(static_cast<GLenum>(activeTexture));
    glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(arrayBuffer));
    glPolygonMode(GL_FRONT, static_cast<GLenum>(polygonMode[0]));
    glPolygonMode(GL_BACK, static_cast<GLenum>(polygonMode[1]));
  }

  static void setEnabled(GLenum capability, GLboolean enabled) {
    if (enabled) glEnable(capability);
    else glDisable(capability);
  }
};
}  // namespace

bool TextAtlas::create(const std::string& fontPath, float pixelHeight) {
  *this = TextAtlas();
  std::vector<uint8_t> font;
  if (!readFileBytes(fontPath, font)) {
    Log("Text atlas: font %s could not be read\n", fontPath.c_str());
    return false;
  }
  if (!isTrueTypeFont(font)) {
    Log("Text atlas: %s is not a TrueType font\n", fontPath.c_str());
    return false;
  }
  stbtt_fontinfo info;
  if (!(pixelHeight >= 1.0f && pixelHeight <= kLargestPixelHeight) ||
      !stbtt_InitFont(&info, font.data(), stbtt_GetFontOffsetForIndex(font.data(), 0))) {
    Log("Text atlas: %s cannot be baked at %g pixels\n", fontPath.c_str(), pixelHeight);
    return false;
  }

  // The smallest square atlas that holds every glyph.
  stbtt_packedchar packed[kPrintableCount + 1];
  int replacement = kReplacementCodepoint;
  stbtt_pack_range ranges[2] = {};
  ranges[0].font_size = pixelHeight;
  ranges[0].first_unicode_codepoint_in_range = kFirstCharacter;
  ranges[0].num_chars = kPrintableCount;
  ranges[0].chardata_for_range = packed;
  ranges[1].font_size = pixelHeight;
  ranges[1].array_of_unicode_codepoints = &replacement;
  ranges[1].num_chars = 1;
  ranges[1].chardata_for_range = packed + kPrintableCount;
  std::vector<uint8_t> pixels;
  int side = kSmallestAtlas;
  for (;; side *= 2) {
    if (side > kLargestAtlas) {
      Log("Text atlas: %s at %g pixels does not fit a %d x %d atlas\n", fontPath.c_str(),
          pixelHeight, kLargestAtlas, kLargestAtlas);
      return false;
    }
    pixels.assign(static_cast<size_t>(side) * static_cast<size_t>(side), 0);
    stbtt_pack_context context;
    if (!stbtt_PackBegin(&context, pixels.data(), side, side - kSolidRows, side, kGlyphPadding,
                         nullptr)) {
      continue;
    }
    const int fitted = stbtt_PackFontRanges(&context, font.data(), 0, ranges, 2);
    stbtt_PackEnd(&context);
    if (fitted) break;
  }
  for (int row = side - kSolidBlock; row < side; ++row) {
    for (int column = 0; column < kSolidBlock; ++column) {
      pixels[static_cast<size_t>(row * side + column)] = 255;
    }
  }
  solidS_ = 1.5f / static_cast<float>(side);
  solidT_ = (static_cast<float>(side) - 1.5f) / static_cast<float>(side);

  // Vertical offsets are whole pixels, so glyphs land texel for pixel on a
  // whole-pixel baseline; the line is made tall enough for every glyph.
  int ascent = 0, descent = 0, lineGap = 0;
  stbtt_GetFontVMetrics(&info, &ascent, &descent, &lineGap);
  const float scale = stbtt_ScaleForPixelHeight(&info, pixelHeight);
  float above = std::ceil(static_cast<float>(ascent) * scale);
  float below = std::ceil(static_cast<float>(-descent) * scale);
  const float inverseSide = 1.0f / static_cast<float>(side);
  glyphs_.resize(kPrintableCount + 1);
  for (int i = 0; i <= kPrintableCount; ++i) {
    const stbtt_packedchar& p = packed[i];
    Glyph& glyph = glyphs_[static_cast<size_t>(i)];
    glyph.offsetX = p.xoff;
    glyph.offsetY = std::floor(p.yoff + 0.5f);
    glyph.width = p.xoff2 - p.xoff;
    glyph.height = p.yoff2 - p.yoff;
    glyph.s0 = p.x0 * inverseSide;
    glyph.t0 = p.y0 * inverseSide;
    glyph.s1 = p.x1 * inverseSide;
    glyph.t1 = p.y1 * inverseSide;
    glyph.advance = p.xadvance;
    if (glyph.width > 0.0f && glyph.height > 0.0f) {
      above = std::fmax(above, -glyph.offsetY);
      below = std::fmax(below, glyph.offsetY + glyph.height);
    }
  }
  baseline_ = above;
  lineHeight_ = above + below + std::round(static_cast<float>(lineGap) * scale);

  GLint previousTexture = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &previousTexture);
  texture_ = generateTexture();
  glBindTexture(GL_TEXTURE_2D, texture_);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, side, side, 0, GL_RED, GL_UNSIGNED_BYTE, pixels.data());
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previousTexture));

  GLuint buffer = 0;
  glGenBuffers(1, &buffer);
  vertexBuffer_.reset(buffer);

  if (!buildProgram()) {
    *this = TextAtlas();
    return false;
  }
  ready_ = true;
  return true;
}

bool TextAtlas::buildProgram() {
  if (!compileStage(GL_VERTEX_SHADER, kVertexSource, vertexShader_) ||
      !compileStage(GL_FRAGMENT_SHADER, kFragmentSource, fragmentShader_)) {
    return false;
  }
  program_.reset(glCreateProgram());
  glAttachShader(program_, vertexShader_);
  glAttachShader(program_, fragmentShader_);
  glLinkProgram(program_);
  GLint linked = GL_FALSE;
  glGetProgramiv(program_, GL_LINK_STATUS, &linked);
  if (linked != GL_TRUE) {
    char log[2048] = {};
    glGetProgramInfoLog(program_, sizeof(log), nullptr, log);
    Log("Text atlas: program failed to link:\n%s\n", log);
    return false;
  }
  const GLuint previous = currentProgram();
  glUseProgram(program_);
  setUniform1i("glyphs", 0);
  glUseProgram(previous);
  return true;
}

const TextAtlas::Glyph& TextAtlas::glyphFor(unsigned char character) const {
  if (character >= kFirstCharacter && character < kFirstCharacter + kPrintableCount) {
    return glyphs_[character - kFirstCharacter];
  }
  return glyphs_[kPrintableCount];
}

namespace {
// A UTF-8 continuation byte belongs to the character before it.
bool continuesCharacter(unsigned char byte) { return (byte & 0xC0) == 0x80; }
}  // namespace

float TextAtlas::textWidth(const std::string& text) const {
  if (!ready_) return 0.0f;
  float width = 0.0f;
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (!continuesCharacter(byte)) width += glyphFor(byte).advance;
  }
  return width;
}

void TextAtlas::addQuad(float x0, float y0, float x1, float y1, float s0, float t0, float s1,
                        float t1) {
  const float corners[kVerticesPerQuad][4] = {
      {x0, y0, s0, t0}, {x0, y1, s0, t1}, {x1, y0, s1, t0},
      {x1, y0, s1, t0}, {x0, y1, s0, t1}, {x1, y1, s1, t1},
  };
  for (const auto& corner : corners) {
    vertices_.push_back(corner[0]);
    vertices_.push_back(corner[1]);
    texCoords_.push_back(corner[2]);
    texCoords_.push_back(corner[3]);
  }
}

void TextAtlas::draw(const std::string& text, float x, float y, float r, float g, float b,
                     float a, int targetWidth, int targetHeight) {
  if (!ready_) return;
  vertices_.clear();
  texCoords_.clear();
  // Whole-pixel origin and glyph corners keep the text sharp; the pen itself
  // advances by the font's fractional widths.
  float pen = std::floor(x + 0.5f);
  const float baseline = std::floor(y + 0.5f) + baseline_;
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (continuesCharacter(byte)) continue;
    const Glyph& glyph = glyphFor(byte);
    if (glyph.width > 0.0f && glyph.height > 0.0f) {
      const float left = std::floor(pen + glyph.offsetX + 0.5f);
      const float top = baseline + glyph.offsetY;
      addQuad(left, top, left + glyph.width, top + glyph.height, glyph.s0, glyph.t0, glyph.s1,
              glyph.t1);
    }
    pen += glyph.advance;
  }
  drawQuads(r, g, b, a, targetWidth, targetHeight);
}

void TextAtlas::drawBox(float x, float y, float w, float h, float r, float g, float b, float a,
                        int targetWidth, int targetHeight) {
  if (!ready_) return;
  vertices_.clear();
  texCoords_.clear();
  addQuad(x, y, x + w, y + h, solidS_, solidT_, solidS_, solidT_);
  drawQuads(r, g, b, a, targetWidth, targetHeight);
}

void TextAtlas::drawQuads(float r, float g, float b, float a, int targetWidth, int targetHeight) {
  if (vertices_.empty() || targetWidth <= 0 || targetHeight <= 0) return;
  SavedState saved;
  saved.capture();

  glUseProgram(program_);
  glEnable(GL_BLEND);
  glBlendEquation(GL_FUNC_ADD);
  glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture_);
  setUniform2f("targetSize", static_cast<float>(targetWidth), static_cast<float>(targetHeight));
  setUniform4f("color", r, g, b, a);

  // Positions, then texture coordinates, in one buffer refilled on every draw.
  const size_t halfBytes = vertices_.size() * sizeof(float);
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(2 * halfBytes), nullptr, GL_STREAM_DRAW);
  glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(halfBytes), vertices_.data());
  glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(halfBytes),
                  static_cast<GLsizeiptr>(halfBytes), texCoords_.data());
  const GLint pos = enableAttribute("pos", 2, 0);
  const GLint uv = enableAttribute("uv", 2, halfBytes);
  glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices_.size() / 2));
  disableAttribute(uv);
  disableAttribute(pos);

  saved.restore();
}
