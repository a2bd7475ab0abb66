// The production's own shaders (demosrc/norde/data/*.glsl), loaded through
// the engine's Shader exactly as the demo loads them: every program links,
// the include library does not register, every program reads the uniforms
// and attributes that the frame drives, and the full-screen passes behave as
// the sync values expect (flash to white, invisible overlays at zero, a
// faithful blit and blur, a dark blue sky).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/screen.h"
#include "gpu/quad.h"
#include "gpu/render_target.h"
#include "gpu/shader.h"
#include "gpu/uniforms.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

const char* const kDataDirectory = "demosrc\\norde\\data\\";

const std::set<std::string> kProductionShaders = {
    "bg.glsl",            "blit.glsl",         "noiseGaussBlur.glsl", "postProc-1.glsl",
    "overlay.glsl",       "subdividedGrid.glsl", "whiteLines.glsl",   "particleSun.glsl",
    "flyingParticles.glsl", "quads-binary.glsl", "high.glsl",         "line3Drenderer.glsl",
};

struct Inputs {
  std::vector<const char*> uniforms;
  std::vector<const char*> attributes;
};

// What each program must actually read (an input the compiler optimised
// away would leave its sync track without effect).
const std::map<std::string, Inputs> kRequiredInputs = {
    {"bg.glsl", {{"time", "ratio"}, {"pos"}}},
    {"blit.glsl", {{"Texture0"}, {"pos"}}},
    {"noiseGaussBlur.glsl", {{"Texture0", "weights", "taps", "texelSize", "time"}, {"pos"}}},
    {"postProc-1.glsl", {{"Texture0", "Texture1", "white", "fade", "time"}, {"pos"}}},
    {"overlay.glsl", {{"Texture0", "Texture1", "transparencyA", "transparencyB", "time"}, {"pos"}}},
    {"subdividedGrid.glsl",
     {{"world", "viewproj", "eyePos", "lightPos", "gridAmplitude", "bgColor", "shapeValue",
       "spectrumMultiplier", "drumFFT", "drumMultiplier", "Texture0", "Texture2"},
      {"pos", "normal"}}},
    {"whiteLines.glsl",
     {{"world", "viewproj", "eyePos", "lightPos", "time", "wireAmplitude", "bgColor", "drumFFT",
       "drumMultiplier", "Texture0"},
      {"pos"}}},
    {"particleSun.glsl",
     {{"world", "view", "proj", "dynLightPos", "sunMultiplier", "time"}, {"pos", "tex"}}},
    {"flyingParticles.glsl",
     {{"world", "view", "proj", "time", "amplifier", "Texture0", "Texture2"}, {"pos", "tex"}}},
    {"quads-binary.glsl",
     {{"world", "view", "proj", "time", "binaryValue", "inverse", "Texture0", "Texture1"},
      {"pos", "tex"}}},
    {"high.glsl",
     {{"world", "view", "proj", "time", "highValue", "highThreshold", "Texture0"}, {"pos", "tex"}}},
    {"line3Drenderer.glsl",
     {{"world", "viewproj", "proj", "lineWidth", "lineColor"}, {"p0", "p1", "p2", "p3", "tc"}}},
};

constexpr int kTargetWidth = 64;
constexpr int kTargetHeight = 36;

class ProductionShaders : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ensureGLContext());
    const fs::path source = fs::path(TARVO_SOURCE_DIR) / "demosrc" / "norde" / "data";
    fs::create_directories("demosrc/norde/data");
    for (const auto& entry : fs::directory_iterator(source)) {
      if (entry.path().extension() == ".glsl")
        fs::copy_file(entry.path(), fs::path("demosrc/norde/data") / entry.path().filename());
    }
  }

  // Loads a shader as the registry would; the console report goes into *out.
  std::unique_ptr<Shader> load(const std::string& name, std::string* out = nullptr) {
    auto shader = std::make_unique<Shader>();
    bool linked = false;
    const std::string printed = captureStdout([&] { linked = shader->load(kDataDirectory + name); });
    if (out) *out = printed + readFile("output2.txt");
    return linked ? std::move(shader) : nullptr;
  }

  TempDir dir;
};

std::vector<std::string> shaderFilesInData() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator("demosrc/norde/data"))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A small colour texture without mipmaps, so plain linear filtering samples it.
GLuint solidTexture(float r, float g, float b, float a) {
  std::vector<float> texels(4 * 4 * 4);
  for (size_t i = 0; i < texels.size(); i += 4) {
    texels[i] = r;
    texels[i + 1] = g;
    texels[i + 2] = b;
    texels[i + 3] = a;
  }
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA16F, 4, 4, 0, GL_RGBA, GL_FLOAT, texels.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  return texture;
}

void bindOnUnit(GLuint texture, int unit) {
  glActiveTexture(GL_TEXTURE0 + unit);
  glBindTexture(GL_TEXTURE_2D, texture);
  const std::string sampler = "Texture" + std::to_string(unit);
  setUniform1i(sampler.c_str(), unit);
  glActiveTexture(GL_TEXTURE0);
}

struct Picture {
  std::vector<float> rgba;
  float mean(int channel) const {
    double sum = 0.0;
    for (size_t i = channel; i < rgba.size(); i += 4) sum += rgba[i];
    return static_cast<float>(sum / (rgba.size() / 4));
  }
  float spread(int channel) const {
    float low = 1e9f, high = -1e9f;
    for (size_t i = channel; i < rgba.size(); i += 4) {
      low = std::min(low, rgba[i]);
      high = std::max(high, rgba[i]);
    }
    return high - low;
  }
};

// Draws the full-screen quad with the current program into a float target
// and reads the result back.
Picture drawFullScreen(RenderTarget2D& target, Quad& quad) {
  target.begin();
  glDisable(GL_BLEND);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  quad.drawQuad(0);
  Picture picture;
  picture.rgba.resize(kTargetWidth * kTargetHeight * 4);
  glReadPixels(0, 0, kTargetWidth, kTargetHeight, GL_RGBA, GL_FLOAT, picture.rgba.data());
  target.end(false);
  return picture;
}

}  // namespace

TEST_F(ProductionShaders, EveryProgramLinksAndTheIncludeLibraryDoesNot) {
  std::set<std::string> linked;
  bool sawLibrary = false;
  for (const std::string& name : shaderFilesInData()) {
    std::string report;
    std::unique_ptr<Shader> shader = load(name, &report);
    if (name == "common.glsl") {
      sawLibrary = true;
      EXPECT_EQ(shader, nullptr) << "the include library must not register";
      continue;
    }
    ASSERT_NE(shader, nullptr) << name << " failed:\n" << report;
    EXPECT_TRUE(glIsProgram(shader->program)) << name;
    linked.insert(name);
  }
  EXPECT_TRUE(sawLibrary);
  EXPECT_EQ(linked, kProductionShaders);

  // The sky pulls the library in where its include line stands.
  std::string report;
  ASSERT_NE(load("bg.glsl", &report), nullptr);
  EXPECT_NE(report.find("from demosrc\\norde\\data\\common.glsl\n"), std::string::npos) << report;
  EXPECT_EQ(report.find("injected 0 lines"), std::string::npos) << report;
}

TEST_F(ProductionShaders, EveryProgramReadsTheInputsTheFrameDrives) {
  for (const auto& [name, inputs] : kRequiredInputs) {
    std::unique_ptr<Shader> shader = load(name);
    ASSERT_NE(shader, nullptr) << name;
    for (const char* uniform : inputs.uniforms)
      EXPECT_NE(glGetUniformLocation(shader->program, uniform), -1) << name << " ignores " << uniform;
    for (const char* attribute : inputs.attributes)
      EXPECT_NE(glGetAttribLocation(shader->program, attribute), -1) << name << " lacks " << attribute;
  }
}

TEST_F(ProductionShaders, FullScreenPassesBehaveAsTheSyncValuesExpect) {
  screenWidth = 1280.0f;
  screenHeight = 720.0f;
  screenAspect = 1280.0f / 720.0f;
  Quad quad("screenSpace");
  RenderTarget2D target(kTargetWidth, kTargetHeight, kFormatRGBA16F, "check");
  const GLuint black = solidTexture(0.0f, 0.0f, 0.0f, 1.0f);
  const GLuint white = solidTexture(1.0f, 1.0f, 1.0f, 1.0f);
  const GLuint teal = solidTexture(0.1f, 0.5f, 0.4f, 1.0f);

  {  // Blit copies its texture.
    std::unique_ptr<Shader> blit = load("blit.glsl");
    ASSERT_NE(blit, nullptr);
    blit->bind();
    bindOnUnit(teal, 0);
    const Picture p = drawFullScreen(target, quad);
    EXPECT_NEAR(p.mean(0), 0.1f, 0.01f);
    EXPECT_NEAR(p.mean(1), 0.5f, 0.01f);
    EXPECT_NEAR(p.mean(2), 0.4f, 0.01f);
  }
  {  // The blur of a flat colour is that colour (weights sum to one).
    std::unique_ptr<Shader> blur = load("noiseGaussBlur.glsl");
    ASSERT_NE(blur, nullptr);
    blur->bind();
    bindOnUnit(teal, 0);
    std::vector<float> weights(25);
    double sum = 0.0;
    for (int i = 0; i < 25; ++i) sum += weights[i] = std::exp(-(i - 12) * (i - 12) / 34.72f);
    for (float& w : weights) w = static_cast<float>(w / sum);
    setUniform1i("taps", 25);
    setUniform1fv("weights", 25, weights.data());
    setUniform2f("texelSize", 3.75f / 1920.0f, 0.0f);
    setUniform1f("time", 12.5f);
    const Picture p = drawFullScreen(target, quad);
    EXPECT_NEAR(p.mean(1), 0.5f, 0.01f);
    EXPECT_NEAR(p.mean(2), 0.4f, 0.01f);
  }
  {  // The white flash saturates the picture; without it black stays dark.
    std::unique_ptr<Shader> post = load("postProc-1.glsl");
    ASSERT_NE(post, nullptr);
    post->bind();
    bindOnUnit(black, 0);
    bindOnUnit(black, 1);
    setUniform1f("time", 3.0f);
    setUniform1f("fade", 1.0f);
    setUniform1f("white", 0.0f);
    const Picture dark = drawFullScreen(target, quad);
    for (int c = 0; c < 3; ++c) EXPECT_LT(dark.mean(c), 0.12f);
    setUniform1f("white", 1.0f);
    const Picture flash = drawFullScreen(target, quad);
    for (int c = 0; c < 3; ++c) EXPECT_GT(flash.mean(c), 0.97f);
    // A bright scene stays bright and the bloom adds to it.
    setUniform1f("white", 0.0f);
    bindOnUnit(teal, 0);
    const Picture scene = drawFullScreen(target, quad);
    bindOnUnit(teal, 1);
    const Picture bloomed = drawFullScreen(target, quad);
    EXPECT_GT(scene.mean(1), 0.3f);
    EXPECT_GT(bloomed.mean(1), scene.mean(1));
  }
  {  // Overlays add nothing at transparency 0 and their image at 1.
    std::unique_ptr<Shader> overlay = load("overlay.glsl");
    ASSERT_NE(overlay, nullptr);
    overlay->bind();
    bindOnUnit(white, 0);
    bindOnUnit(white, 1);
    setUniform1f("time", 1.0f);
    setUniform1f("transparencyA", 0.0f);
    setUniform1f("transparencyB", 0.0f);
    const Picture none = drawFullScreen(target, quad);
    for (int c = 0; c < 3; ++c) EXPECT_LT(none.mean(c), 0.001f);
    setUniform1f("transparencyA", 1.0f);
    const Picture full = drawFullScreen(target, quad);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(full.mean(c), 1.0f, 0.01f);
    setUniform1f("transparencyA", 0.25f);
    const Picture quarter = drawFullScreen(target, quad);
    // Additive blending squares the output: a quarter of the light.
    EXPECT_NEAR(quarter.mean(1) * quarter.mean(1), 0.25f, 0.02f);
  }
  {  // The sky is a dark, blue night with detail in it.
    std::unique_ptr<Shader> sky = load("bg.glsl");
    ASSERT_NE(sky, nullptr);
    sky->bind();
    setUniform1f("time", 20.0f);
    const Picture p = drawFullScreen(target, quad);
    EXPECT_GT(p.mean(2), p.mean(0));
    EXPECT_LT(p.mean(0) + p.mean(1) + p.mean(2), 0.6f);
    EXPECT_GT(p.spread(1), 0.02f);
  }
  glUseProgram(0);
  glDeleteTextures(1, &black);
  glDeleteTextures(1, &white);
  glDeleteTextures(1, &teal);
}
