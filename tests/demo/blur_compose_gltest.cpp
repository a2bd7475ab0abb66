// The demo's own Blur and Compose, run on the test production with a known
// picture in the backbuffer: the blur steps 3.75 texels of the 1920 x 1080
// backbuffer in both passes (so its reach is the same across and down), the
// second pass clears its target to yellow first, and the composition is sent
// "fade" 1 and shows the picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <vector>

#include "audio/manual_clock_stream.h"
#include "demo/demo.h"
#include "gpu/render_target.h"
#include "gpu/shader.h"
#include "support/e2e_support.h"
#include "support/test_support.h"

namespace {
// The radius the frame blurs with: 45 / 12 = 3.75 texels per tap.
constexpr float kFrameBlurRadius = 45.0f;

struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<float> rgba;
  float at(int x, int y, int channel) const { return rgba[(static_cast<size_t>(y) * width + x) * 4 + channel]; }
};

Pixels readTarget(RenderTarget2D& target) {
  Pixels p;
  p.width = target.width;
  p.height = target.height;
  p.rgba.resize(static_cast<size_t>(p.width) * p.height * 4);
  target.begin();
  glReadPixels(0, 0, p.width, p.height, GL_RGBA, GL_FLOAT, p.rgba.data());
  target.end(false);
  return p;
}

// Black with a white vertical line at x 960..961 and a white horizontal line
// at y 540..541 of the 1920 x 1080 backbuffer.
void paintCross(RenderTarget2D& backbuffer) {
  backbuffer.begin();
  glDisable(GL_SCISSOR_TEST);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_SCISSOR_TEST);
  glClearColor(1, 1, 1, 1);
  glScissor(960, 0, 2, 1080);
  glClear(GL_COLOR_BUFFER_BIT);
  glScissor(0, 540, 1920, 2);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
  backbuffer.end(true);
}

float largest(const std::vector<float>& values) { return *std::max_element(values.begin(), values.end()); }

std::vector<float> uniformValues(GLuint program, const char* name, int count) {
  std::vector<float> values(count);
  glGetUniformfv(program, glGetUniformLocation(program, name), values.data());
  return values;
}
}  // namespace

TEST(BlurAndCompose, TheDemosPassesStepClearAndFadeAsTheFrameAsks) {
  ASSERT_TRUE(ensureGLContext(640, 360));
  TempDir dir;
  makeTestProduction(dir.path());
  std::unique_ptr<Demo> made;
  captureStdout([&] { made = std::make_unique<Demo>(std::make_unique<ManualClockStream>()); });
  ASSERT_NE(made, nullptr);
  Demo& demo = *made;
  {
    RenderTarget2D* backbuffer = demo.findAs<RenderTarget2D>("backbuffer");
    RenderTarget2D* gaussA = demo.findAs<RenderTarget2D>("gaussA");
    RenderTarget2D* gaussB = demo.findAs<RenderTarget2D>("gaussB");
    Shader* blur = demo.findAs<Shader>("noiseGaussBlur.glsl");
    Shader* compose = demo.findAs<Shader>("postProc-1.glsl");
    ASSERT_TRUE(backbuffer && gaussA && gaussB && blur && compose);
    ASSERT_EQ(gaussA->width, 960);
    ASSERT_EQ(gaussB->width, 480);

    paintCross(*backbuffer);
    demo.Blur(0.0f, kFrameBlurRadius);
    // What the last (vertical) pass was sent: 3.75 of the backbuffer's texels.
    const std::vector<float> step = uniformValues(blur->program, "texelSize", 2);
    EXPECT_EQ(step[0], 0.0f);
    EXPECT_NEAR(step[1], 3.75f / 1080.0f, 1e-7f);

    // Across: the line at backbuffer x 961 is gaussA x 480. Taps 3.75 texels
    // apart reach 12 * 3.75 = 45 backbuffer pixels; 30 away (tap 8) is lit,
    // 50 and more away nothing is (the shader's noise is below 0.001).
    const Pixels a = readTarget(*gaussA);
    const int row = 100;  // far from the horizontal line
    EXPECT_GT(a.at(480, row, 1), 0.05f);
    EXPECT_GT(std::max(a.at(465, row, 1), a.at(495, row, 1)), 0.005f);
    std::vector<float> beyond;
    for (int d = 25; d <= 40; ++d) beyond.insert(beyond.end(), {a.at(480 - d, row, 1), a.at(480 + d, row, 1)});
    EXPECT_LT(largest(beyond), 0.003f) << "the horizontal pass reaches too far";

    // Down: the line at backbuffer y 540 is gaussB row 135 (a quarter of the
    // size); the same 45 backbuffer pixels are 11.25 of its rows. Stepping by
    // gaussA's own texel would reach twice as far.
    const Pixels b = readTarget(*gaussB);
    const int column = 100;  // far from the vertical line
    EXPECT_GT(b.at(column, 135, 1), 0.05f);
    std::vector<float> near;
    std::vector<float> far;
    for (int d = 5; d <= 10; ++d) near.insert(near.end(), {b.at(column, 135 - d, 1), b.at(column, 135 + d, 1)});
    for (int d = 14; d <= 22; ++d) far.insert(far.end(), {b.at(column, 135 - d, 1), b.at(column, 135 + d, 1)});
    EXPECT_GT(largest(near), 0.005f);
    EXPECT_LT(largest(far), 0.003f) << "the vertical pass reaches too far";

    // The composition is sent fade 1 and shows the cross over black.
    FrameValues frame;
    frame.time = 1.25f;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, 640, 360);
    demo.Compose(frame);
    EXPECT_EQ(uniformValues(compose->program, "fade", 1)[0], 1.0f);
    EXPECT_EQ(uniformValues(compose->program, "time", 1)[0], 1.25f);
    std::vector<unsigned char> screen(640 * 360 * 4);
    glReadPixels(0, 0, 640, 360, GL_RGBA, GL_UNSIGNED_BYTE, screen.data());
    const auto green = [&](int x, int y) { return screen[(static_cast<size_t>(y) * 640 + x) * 4 + 1]; };
    EXPECT_GT(green(320, 100), 150) << "the vertical line";
    EXPECT_LT(green(100, 60), 40) << "black stays dark";

    // A blur program that draws only the right half: the left half of gaussB
    // is what the second pass cleared it to, yellow; gaussA is not cleared.
    writeFile("demosrc/norde/data/noiseGaussBlur.glsl",
              "attribute vec4 pos;\nvarying vec2 uv;\nvoid main() { uv = pos.xy * 0.5 + 0.5; gl_Position = pos; }\n"
              "//FRAGMENT\n"  // the vertex part's varyings are copied here
              "void main() { if (uv.x < 0.5) discard; gl_FragColor = vec4(0.0, 1.0, 0.0, 1.0); }\n");
    bool loaded = false;
    captureStdout([&] {
      demo.replace(ResourceRegistry::loadFile("demosrc\\norde\\data\\noiseGaussBlur.glsl", loaded));
    });
    ASSERT_TRUE(loaded);
    gaussA->begin();
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    gaussA->end(false);
    demo.Blur(0.0f, kFrameBlurRadius);
    const Pixels clearedB = readTarget(*gaussB);
    const Pixels keptA = readTarget(*gaussA);
    for (int c = 0; c < 4; ++c) {
      EXPECT_EQ(clearedB.at(100, 100, c), (c == 2 ? 0.0f : 1.0f)) << "gaussB channel " << c;
      EXPECT_EQ(keptA.at(100, 100, c), (c == 0 || c == 1 ? 0.0f : 1.0f)) << "gaussA channel " << c;
    }
    EXPECT_EQ(clearedB.at(400, 100, 1), 1.0f);
    EXPECT_EQ(clearedB.at(400, 100, 0), 0.0f);
  }
  captureStdout([&] { made.reset(); });
}
