#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "gpu/render_target.h"
#include "gpu/text_atlas.h"
#include "resources/font_lookup.h"
#include "support/test_support.h"

namespace {
constexpr int kWidth = 256;
constexpr int kHeight = 64;

// The state a draw must leave as it found it.
struct GlState {
  GLint values[16] = {};

  static GlState read() {
    GlState s;
    const GLenum queries[] = {
        GL_CURRENT_PROGRAM,    GL_BLEND_SRC_RGB,        GL_BLEND_DST_RGB,  GL_BLEND_SRC_ALPHA,
        GL_BLEND_DST_ALPHA,    GL_BLEND_EQUATION_RGB,   GL_BLEND_EQUATION_ALPHA,
        GL_ACTIVE_TEXTURE,     GL_TEXTURE_BINDING_2D,   GL_ARRAY_BUFFER_BINDING};
    int i = 0;
    for (const GLenum query : queries) glGetIntegerv(query, &s.values[i++]);
    s.values[i++] = glIsEnabled(GL_BLEND);
    s.values[i++] = glIsEnabled(GL_DEPTH_TEST);
    s.values[i++] = glIsEnabled(GL_CULL_FACE);
    glGetIntegerv(GL_POLYGON_MODE, &s.values[i]);  // front and back
    i += 2;
    // Unit 0's binding, which the draw uses, seen from the caller's unit.
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &s.values[i++]);
    glActiveTexture(static_cast<GLenum>(active));
    return s;
  }
  bool operator==(const GlState& other) const {
    return std::equal(std::begin(values), std::end(values), std::begin(other.values));
  }
};

std::ostream& operator<<(std::ostream& out, const GlState& s) {
  for (const GLint v : s.values) out << v << ' ';
  return out;
}

// RGBA rows of the bound framebuffer, top row first.
std::vector<unsigned char> readTopDown() {
  std::vector<unsigned char> pixels(kWidth * kHeight * 4);
  glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  flipRows(pixels, kWidth * 4, kHeight);
  return pixels;
}

struct Box {
  float x0, y0, x1, y1;
  bool holds(int x, int y) const { return x >= x0 && x < x1 && y >= y0 && y < y1; }
};

class TextAtlasTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(ensureGLContext()); }
  TempDir dir;  // the log file lands here
};
}  // namespace

// Red text, a green replacement glyph and a half-blue box, drawn over state
// that would hide all three if the draw did not set its own; each colour
// must appear inside its box and nowhere else, and the state must return.
TEST_F(TextAtlasTest, DrawsEachLineInsideItsBoxAndPutsTheGlStateBack) {
  std::string error;
  const std::string font = findDejaVuFont("DejaVuSansMono.ttf", &error);
  if (font.empty()) GTEST_SKIP() << error;
  TextAtlas atlas;
  EXPECT_EQ(captureStdout([&] { ASSERT_TRUE(atlas.create(font, 16.0f)); }), "");
  ASSERT_TRUE(atlas.ready());
  EXPECT_GE(atlas.lineHeight(), 16.0f);
  EXPECT_LT(atlas.lineHeight(), 24.0f);
  // Monospaced: outside characters and a UTF-8 sequence take one cell each.
  const float cell = atlas.textWidth("a");
  EXPECT_GT(cell, 5.0f);
  EXPECT_FLOAT_EQ(atlas.textWidth("Hello 1:23.45"), 13 * cell);
  EXPECT_FLOAT_EQ(atlas.textWidth("\x01z\x7f"), 3 * cell);
  EXPECT_FLOAT_EQ(atlas.textWidth("n\xC3\xA5"), 2 * cell);

  RenderTarget2D target(kWidth, kHeight, kFormatRGBA8, "hud");
  ASSERT_TRUE(target.complete());
  target.begin();
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClearDepth(1.0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  const GLuint other = buildTestProgram("void main() { gl_Position = vec4(0.0); }\n",
                                        "void main() { gl_FragColor = vec4(1.0); }\n");
  TextureHandle otherTexture = generateTexture();
  TextureHandle unitZeroTexture = generateTexture();
  GLuint otherBuffer = 0;
  glGenBuffers(1, &otherBuffer);
  glUseProgram(other);
  glEnable(GL_BLEND);
  glBlendFuncSeparate(GL_ZERO, GL_ONE, GL_ONE, GL_ZERO);
  glBlendEquationSeparate(GL_FUNC_REVERSE_SUBTRACT, GL_FUNC_ADD);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_NEVER);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_FRONT_AND_BACK);
  glPolygonMode(GL_FRONT, GL_LINE);
  glPolygonMode(GL_BACK, GL_POINT);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, unitZeroTexture);
  glActiveTexture(GL_TEXTURE3);
  glBindTexture(GL_TEXTURE_2D, otherTexture);
  glBindBuffer(GL_ARRAY_BUFFER, otherBuffer);
  ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  const std::string text = "Hello 1:23.45";
  const GlState before = GlState::read();
  atlas.draw(text, 4.0f, 4.0f, 1.0f, 0.0f, 0.0f, 1.0f, kWidth, kHeight);
  atlas.draw("\x7f", 100.0f, 40.0f, 0.0f, 1.0f, 0.0f, 1.0f, kWidth, kHeight);
  atlas.drawBox(200.0f, 40.0f, 10.0f, 8.0f, 0.0f, 0.0f, 1.0f, 0.5f, kWidth, kHeight);
  EXPECT_EQ(GlState::read(), before);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  glUseProgram(0);
  glDisable(GL_BLEND);
  glBlendFuncSeparate(GL_ONE, GL_ZERO, GL_ONE, GL_ZERO);
  glBlendEquation(GL_FUNC_ADD);
  glDisable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glDisable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glBindTexture(GL_TEXTURE_2D, 0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, 0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glDeleteBuffers(1, &otherBuffer);
  glDeleteProgram(other);

  const std::vector<unsigned char> pixels = readTopDown();
  target.end(false);

  const Box textBox{4.0f, 4.0f, 4.0f + atlas.textWidth(text), 4.0f + atlas.lineHeight()};
  const Box replacementBox{100.0f, 40.0f, 100.0f + cell, 40.0f + atlas.lineHeight()};
  const Box backing{200.0f, 40.0f, 210.0f, 48.0f};
  int firstCellInk = 0, lastCellInk = 0, strongRed = 0, green = 0, blue = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const unsigned char* p = &pixels[(y * kWidth + x) * 4];
      const std::string where = "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
      if (!textBox.holds(x, y)) {
        ASSERT_EQ(p[0], 0) << where;
      }
      if (!replacementBox.holds(x, y)) {
        ASSERT_EQ(p[1], 0) << where;
      }
      if (backing.holds(x, y)) {
        ASSERT_NEAR(p[2], 128, 1) << where;
        ++blue;
      } else {
        ASSERT_EQ(p[2], 0) << where;
      }
      strongRed += p[0] >= 128;
      green += p[1] > 0;
      if (p[0] > 0 && x < 4 + cell) ++firstCellInk;
      if (p[0] > 0 && x >= 4 + 12 * cell) ++lastCellInk;
    }
  }
  EXPECT_GT(strongRed, 100);
  EXPECT_GT(firstCellInk, 10);  // the H
  EXPECT_GT(lastCellInk, 10);   // the final 5
  EXPECT_GT(green, 10);
  EXPECT_EQ(blue, 80);
}

TEST_F(TextAtlasTest, UnreadableFontLeavesAnAtlasThatDrawsNothing) {
  TextAtlas atlas;
  const std::string out =
      captureStdout([&] { EXPECT_FALSE(atlas.create("/no/such/dir/DejaVuSansMono.ttf", 16.0f)); });
  EXPECT_EQ(out, "Text atlas: font /no/such/dir/DejaVuSansMono.ttf could not be read\n");
  writeFile("fake.ttf", std::string(64, 'x'));
  EXPECT_EQ(captureStdout([&] { EXPECT_FALSE(atlas.create("fake.ttf", 16.0f)); }),
            "Text atlas: fake.ttf is not a TrueType font\n");
  EXPECT_FALSE(atlas.ready());

  RenderTarget2D target(kWidth, kHeight, kFormatRGBA8, "hud");
  target.begin();
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  const GlState before = GlState::read();
  atlas.draw("Hello", 4.0f, 4.0f, 1.0f, 1.0f, 1.0f, 1.0f, kWidth, kHeight);
  atlas.drawBox(0.0f, 0.0f, 50.0f, 50.0f, 1.0f, 1.0f, 1.0f, 1.0f, kWidth, kHeight);
  EXPECT_EQ(GlState::read(), before);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  const std::vector<unsigned char> pixels = readTopDown();
  target.end(false);
  for (size_t i = 0; i < pixels.size(); i += 4) {
    ASSERT_EQ(pixels[i] + pixels[i + 1] + pixels[i + 2], 0) << "pixel " << i / 4;
  }
}
