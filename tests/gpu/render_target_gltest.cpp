#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "base/screen.h"
#include "gpu/quad.h"
#include "gpu/render_target.h"
#include "gpu/shader.h"
#include "support/e2e_support.h"
#include "support/fake_input.h"
#include "support/test_support.h"

namespace {
// A program that writes one fixed colour, and one that reports the quad's
// screen uniforms as a colour.
const char* const kSolid =
    "attribute vec4 pos;\nvoid main() { gl_Position = pos; }\n//FRAGMENT\n"
    "void main() { gl_FragColor = vec4(0.25, 0.5, 0.75, 1.0); }\n";
const char* const kScreenUniforms =
    "attribute vec4 pos;\nvoid main() { gl_Position = pos; }\n//FRAGMENT\n"
    "uniform vec2 resolution;\nuniform float ratio;\n"
    "void main() { gl_FragColor = vec4(resolution / 4096.0, ratio / 4.0, 1.0); }\n";
const char* const kSampler =
    "attribute vec4 pos;\nvarying vec2 uv;\nvoid main() { uv = pos.xy; gl_Position = pos; }\n"
    "//FRAGMENT\nuniform sampler2D Texture3;\nuniform vec2 texel3;\n"
    "void main() { gl_FragColor = texture2D(Texture3, uv) + vec4(texel3, 0.0, 0.0); }\n";
const char* const kTexelOnly =
    "attribute vec4 pos;\nvoid main() { gl_Position = pos; }\n//FRAGMENT\n"
    "uniform vec2 texel3;\nvoid main() { gl_FragColor = vec4(texel3, 0.0, 1.0); }\n";

class RenderTargetTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(ensureGLContext()); }

  std::unique_ptr<Shader> loadShader(const std::string& fileName, const char* text) {
    writeFile(fileName, text);
    auto shader = std::make_unique<Shader>();
    captureStdout([&] { EXPECT_TRUE(shader->load(fileName)); });
    return shader;
  }

  // RGBA of pixel (x, y) of the current read framebuffer.
  static std::array<float, 4> pixel(int x, int y) {
    std::array<float, 4> rgba{};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_FLOAT, rgba.data());
    return rgba;
  }

  TempDir dir;
};
}  // namespace

TEST_F(RenderTargetTest, QuadDrawnIntoEachFormatReadsBackTheShadersColour) {
  const auto solid = loadShader("solid.glsl", kSolid);
  Quad quad("screenSpace");
  struct Expectation {
    int format;
    std::array<float, 4> rgba;
    float tolerance;
  };
  const Expectation formats[] = {
      {kFormatRGBA8, {0.25f, 0.5f, 0.75f, 1.0f}, 1.0f / 255.0f},
      {kFormatR32F, {0.25f, 0.0f, 0.0f, 1.0f}, 0.0f},
      {kFormatRGBA16F, {0.25f, 0.5f, 0.75f, 1.0f}, 0.0f},
      {kFormatR16F, {0.25f, 0.0f, 0.0f, 1.0f}, 0.0f},
  };
  glViewport(0, 0, 256, 256);
  for (const Expectation& e : formats) {
    SCOPED_TRACE(e.format);
    std::unique_ptr<RenderTarget2D> target;
    const std::string out = captureStdout([&] { target = std::make_unique<RenderTarget2D>(64, 32, e.format, "t"); });
    EXPECT_EQ(out, "created RT: [t] 64x32\n");
    EXPECT_TRUE(target->complete());
    EXPECT_EQ(target->kind, "RenderTarget2D");
    EXPECT_EQ(target->fileTime, -666);
    EXPECT_TRUE(target->path.empty());

    target->begin();
    EXPECT_TRUE(target->active());
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 64);
    EXPECT_EQ(viewport[3], 32);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    solid->bind();
    quad.drawQuad(0);
    for (const auto& xy : {std::pair<int, int>{0, 0}, {63, 31}, {20, 10}}) {
      const std::array<float, 4> got = pixel(xy.first, xy.second);
      for (int c = 0; c < 4; ++c) EXPECT_NEAR(got[c], e.rgba[c], e.tolerance) << c;
    }
    target->end(true);
    EXPECT_FALSE(target->active());

    // Back on the window with its viewport, unit 0 holding the mipmapped texture.
    GLint binding = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &binding);
    EXPECT_EQ(binding, 0);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 256);
    GLint activeUnit = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &activeUnit);
    EXPECT_EQ(activeUnit, GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &binding);
    EXPECT_EQ(static_cast<GLuint>(binding), target->colorTexture);
    GLint minFilter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_LINEAR);
    float smallest[4] = {};
    glGetTexImage(GL_TEXTURE_2D, 6, GL_RGBA, GL_FLOAT, smallest);  // the 1 x 1 level
    EXPECT_NEAR(smallest[0], 0.25f, 1.0f / 255.0f);
  }
  glUseProgram(0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(RenderTargetTest, QuadHandsTheScreenMetricsToTheProgram) {
  const auto shader = loadShader("screen.glsl", kScreenUniforms);
  Quad quad;
  EXPECT_EQ(quad.name, "None");
  std::unique_ptr<RenderTarget2D> target;
  captureStdout([&] { target = std::make_unique<RenderTarget2D>(8, 8, kFormatRGBA16F, "m"); });
  const float saved[2] = {screenWidth, screenHeight};
  setScreenMetrics(1920, 1080);
  target->begin();
  shader->bind();
  quad.drawQuad(0);
  const std::array<float, 4> got = pixel(4, 4);
  target->end(false);
  setScreenMetrics(static_cast<int>(saved[0]), static_cast<int>(saved[1]));
  EXPECT_FLOAT_EQ(got[0], 1920.0f / 4096.0f);
  EXPECT_FLOAT_EQ(got[1], 1080.0f / 4096.0f);
  EXPECT_NEAR(got[2], (1920.0f / 1080.0f) / 4.0f, 1e-3f);
  glUseProgram(0);
}

TEST_F(RenderTargetTest, SizesAndFramebufferProblems) {
  std::string out;
  std::unique_ptr<RenderTarget2D> half, quarter, square, broken;
  out = captureStdout([&] {
    half = std::make_unique<RenderTarget2D>(kFormatRGBA16F, true, 0.5f, "gaussA");
    quarter = std::make_unique<RenderTarget2D>(kFormatRGBA16F, true, 0.25f, "q");
    square = std::make_unique<RenderTarget2D>(kFormatRGBA8, false, 256.7f, "s");
  });
  EXPECT_EQ(out, "created RT: [gaussA] 960x540\ncreated RT: [q] 480x270\ncreated RT: [s] 256x256\n");
  EXPECT_EQ(square->width, 256.0f);

  out = captureStdout([&] { broken = std::make_unique<RenderTarget2D>(16, 16, 7, "broken"); });
  EXPECT_EQ(out.rfind("FBO ", 0), 0u) << out;
  EXPECT_EQ(out.find("created RT"), std::string::npos);
  EXPECT_FALSE(broken->complete());
  GLint binding = -1;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &binding);
  EXPECT_EQ(binding, 0);  // the window stays the drawing target
}

TEST_F(RenderTargetTest, BindTexturePublishesSamplerAndTexelSize) {
  const auto sampler = loadShader("sampler.glsl", kSampler);
  const auto texelOnly = loadShader("texel.glsl", kTexelOnly);
  std::unique_ptr<RenderTarget2D> target;
  captureStdout([&] { target = std::make_unique<RenderTarget2D>(1920, 1080, kFormatRGBA8, "full"); });
  const std::pair<float, float> texel = target->getTexelSize();
  EXPECT_EQ(texel.first, static_cast<float>(1.0 / 1920.0));
  EXPECT_EQ(texel.second, static_cast<float>(1.0 / 1080.0));

  sampler->bind();
  target->bindTexture(3, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, GL_CLAMP_TO_EDGE);
  GLint unit = -1;
  glGetUniformiv(sampler->program, glGetUniformLocation(sampler->program, "Texture3"), &unit);
  EXPECT_EQ(unit, 3);
  float got[2] = {};
  glGetUniformfv(sampler->program, glGetUniformLocation(sampler->program, "texel3"), got);
  EXPECT_EQ(got[0], texel.first);
  EXPECT_EQ(got[1], texel.second);
  GLint active = 0, bound = 0, wrap = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap);
  EXPECT_EQ(active, GL_TEXTURE3);
  EXPECT_EQ(static_cast<GLuint>(bound), target->colorTexture);
  EXPECT_EQ(wrap, GL_CLAMP_TO_EDGE);

  // Without the sampler nothing is bound, but the texel size is still set.
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, 0);
  texelOnly->bind();
  target->bindTexture(3, GL_LINEAR, GL_LINEAR, GL_REPEAT);
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  EXPECT_EQ(active, GL_TEXTURE0);
  glGetUniformfv(texelOnly->program, glGetUniformLocation(texelOnly->program, "texel3"), got);
  EXPECT_EQ(got[0], texel.first);

  // Units outside 0..8 are refused.
  const std::string out = captureStdout([&] { target->bindTexture(9, GL_LINEAR, GL_LINEAR, GL_REPEAT); });
  EXPECT_EQ(out, "bindTexture: unit 9 is outside 0..8, nothing bound\n");
  GLint boundBefore = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundBefore);
  EXPECT_EQ(captureStdout([&] { target->bindTexture(-1, GL_LINEAR, GL_LINEAR, GL_REPEAT); }),
            "bindTexture: unit -1 is outside 0..8, nothing bound\n");
  GLint boundAfter = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundAfter);
  EXPECT_EQ(boundAfter, boundBefore);
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  EXPECT_EQ(active, GL_TEXTURE0);
  glUseProgram(0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

class CaptureTest : public RenderTargetTest {
 protected:
  // An 8 x 4 target: bottom row red, the rest blue.
  std::unique_ptr<RenderTarget2D> paintedTarget() {
    std::unique_ptr<RenderTarget2D> target;
    captureStdout([&] { target = std::make_unique<RenderTarget2D>(8, 4, kFormatRGBA8, "cap"); });
    target->begin();
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 8, 1);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    target->end(false);
    return target;
  }

  // Checks the file is the painted target, upright: its last row is red.
  static void expectUpright(const std::string& file) {
    Image image;
    ASSERT_TRUE(loadImage(file, image)) << file;
    ASSERT_EQ(image.width, 8);
    ASSERT_EQ(image.height, 4);
    for (int y = 0; y < 4; ++y) {
      const unsigned char* p = &image.rgba[(y * 8 + 5) * 4];
      const bool red = y == 3;
      EXPECT_EQ(p[0], red ? 255 : 0) << y;
      EXPECT_EQ(p[2], red ? 0 : 255) << y;
    }
  }
  FakeInput input;
};

TEST_F(CaptureTest, WritesTheNextNumberUprightOnlyOnAKeyPress) {
  std::filesystem::create_directory("output");
  for (const char* name : {"a", "b", "c"}) writeFile(std::string("output/") + name, "x");
  const auto target = paintedTarget();

  EXPECT_EQ(captureStdout([&] { target->save(); }), "");  // no key, no capture
  input.tap('1');
  EXPECT_EQ(captureStdout([&] { target->save(); }), "writing: output\\00003.png\n");
  expectUpright("output/00003.png");
  EXPECT_FALSE(target->active());
  input.nextFrame();
  EXPECT_EQ(captureStdout([&] { target->save(); }), "");  // one capture per press
}

TEST_F(CaptureTest, NeverOverwritesAndCreatesTheDirectory) {
  const auto target = paintedTarget();
  input.tap('1');
  EXPECT_EQ(captureStdout([&] { target->save(); }), "writing: output\\00000.png\n");
  expectUpright("output/00000.png");

  // Three entries, one of which already holds the number 3.
  std::filesystem::remove("output/00000.png");
  writeFile("output/a", "x");
  writeFile("output/b", "x");
  writeFile("output/00003.png", "keep");
  input.nextFrame();
  input.tap('1');
  EXPECT_EQ(captureStdout([&] { target->save(); }), "writing: output\\00004.png\n");
  EXPECT_EQ(readFile("output/00003.png"), "keep");
  expectUpright("output/00004.png");

  // A target without pixels reports that nothing could be written.
  std::unique_ptr<RenderTarget2D> empty;
  captureStdout([&] { empty = std::make_unique<RenderTarget2D>(0, 0, kFormatRGBA8, "empty"); });
  input.nextFrame();
  input.tap('1');
  EXPECT_EQ(captureStdout([&] { empty->save(); }),
            "writing: output\\00005.png\n\tcould not write output\\00005.png: the target has no pixels\n");
  EXPECT_FALSE(std::filesystem::exists("output/00005.png"));
}
