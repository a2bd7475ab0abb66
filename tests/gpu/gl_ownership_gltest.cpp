// Every GL object has one owner that deletes it: each resource kind is
// created and destroyed (or loaded again in place, as a reload does) many
// times in one context. Every name it held is no object afterwards, and the
// process does not grow. (Mesa hands out names in rising order whether or not
// old ones were deleted, so the names themselves cannot show a leak; with the
// software renderer every object lives in process memory, which can.)
#include <gtest/gtest.h>

#include <stb_image_write.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "drawables/line_batch.h"
#include "drawables/quads.h"
#include "drawables/spectrum_grid.h"
#include "gpu/mesh.h"
#include "gpu/mesh_bytes.h"
#include "gpu/offscreen_image.h"
#include "gpu/quad.h"
#include "gpu/render_target.h"
#include "gpu/shader.h"
#include "gpu/texture.h"
#include "gpu/texture_1d.h"
#include "support/test_support.h"

namespace {
constexpr int kRounds = 200;
constexpr int kWarmUpRounds = 5;
constexpr long kAllowedGrowthBytes = 32L << 20;

struct Names {
  std::vector<GLuint> textures, buffers, framebuffers, renderbuffers, programs, shaders;
};

class GlOwnershipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ensureGLContext());
    std::filesystem::create_directory("data");
    writeFile("data/p.glsl",
              "attribute vec4 pos;\nvoid main() { gl_Position = pos; }\n//FRAGMENT\n"
              "void main() { gl_FragColor = vec4(1.0); }\n");
    const std::vector<unsigned char> pixels(512 * 512 * 4, 200);
    ASSERT_NE(stbi_write_png("data/i.png", 512, 512, 4, pixels.data(), 512 * 4), 0);
    writeBytes("data/m.ig", indexedQuadBytes());
  }

  // Runs round `rounds` times; each round reports the names it created, and
  // every one of them must be deleted once the round is over. After a few
  // warm-up rounds the process must not grow.
  void expectOwned(const char* kind, int rounds, const std::function<void(Names&)>& round) {
    long settled = 0;
    for (int i = 0; i < rounds; ++i) {
      if (i == kWarmUpRounds) settled = residentBytes();
      Names names;
      captureStdout([&] { round(names); });
      for (GLuint t : names.textures) EXPECT_FALSE(glIsTexture(t)) << kind << " texture " << t;
      for (GLuint b : names.buffers) EXPECT_FALSE(glIsBuffer(b)) << kind << " buffer " << b;
      for (GLuint f : names.framebuffers) EXPECT_FALSE(glIsFramebuffer(f)) << kind << " framebuffer " << f;
      for (GLuint r : names.renderbuffers) EXPECT_FALSE(glIsRenderbuffer(r)) << kind << " renderbuffer " << r;
      for (GLuint p : names.programs) EXPECT_FALSE(glIsProgram(p)) << kind << " program " << p;
      for (GLuint s : names.shaders) EXPECT_FALSE(glIsShader(s)) << kind << " shader " << s;
      if (::testing::Test::HasFailure()) return;
    }
    const long growth = residentBytes() - settled;
    EXPECT_LT(growth, kAllowedGrowthBytes) << kind << ": the process grew by " << (growth >> 20) << " MiB over "
                                           << rounds - kWarmUpRounds << " rounds";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << kind;
  }
};
}  // namespace

TEST_F(GlOwnershipTest, EveryResourceKindFreesItsObjects) {
  expectOwned("Shader", kRounds, [](Names& n) {
    Shader shader;
    ASSERT_TRUE(shader.load("data\\p.glsl"));
    n.programs.push_back(shader.program);
    n.shaders = {shader.vertexShader, shader.fragmentShader};
  });
  expectOwned("Texture", kRounds, [](Names& n) {
    Texture texture;
    ASSERT_TRUE(texture.load("data\\i.png"));
    n.textures.push_back(texture.texture);
  });
  expectOwned("IndexedGeometry", kRounds, [](Names& n) {
    IndexedGeometry mesh;
    ASSERT_TRUE(mesh.load("data\\m.ig"));
    n.buffers = {mesh.vertexBuffer, mesh.indexBuffer};
  });
  expectOwned("Quad", kRounds, [](Names& n) {
    Quad quad("q");
    n.buffers = {quad.vertexBuffer, quad.indexBuffer};
  });
  expectOwned("RenderTarget2D", kRounds, [](Names& n) {
    RenderTarget2D target(1024, 1024, kFormatRGBA16F, "t");
    ASSERT_TRUE(target.complete());
    n.textures.push_back(target.colorTexture);
    n.framebuffers.push_back(target.framebuffer);
    n.renderbuffers.push_back(target.depthBuffer);
  });
  expectOwned("OffscreenImage", kRounds, [](Names& n) {
    OffscreenImage image(1024, 1024);
    ASSERT_TRUE(image.complete());
    n.framebuffers.push_back(image.framebuffer());
  });
  expectOwned("Texture1D", kRounds, [](Names& n) {
    Texture1D peaks;
    peaks.create(256);
    n.textures.push_back(peaks.name());
  });
  expectOwned("Quads", kRounds, [](Names& n) {
    Quads quads;
    quads.create("quads", 10000);
    n.buffers = {quads.vertexBuffer, quads.indexBuffer};
  });
  expectOwned("LineBatch", 50, [](Names& n) {
    LineBatch lines;
    lines.create();
    n.buffers = {lines.vertexBuffer, lines.indexBuffer};
  });
  expectOwned("SpectrumGrid", 10, [](Names& n) {
    SpectrumGrid grid;
    grid.create();
    n.buffers = {grid.faceVertexBuffer, grid.faceIndexBuffer};
  });
}

TEST_F(GlOwnershipTest, LoadingAgainInPlaceFreesWhatTheLastLoadMade) {
  Shader shader;
  Texture texture;
  IndexedGeometry mesh;
  std::vector<GLuint> programs;
  std::vector<GLuint> textures;
  std::vector<GLuint> buffers;
  captureStdout([&] {
    for (int i = 0; i < kRounds; ++i) {
      ASSERT_TRUE(shader.load("data\\p.glsl"));
      ASSERT_TRUE(texture.load("data\\i.png"));
      ASSERT_TRUE(mesh.load("data\\m.ig"));
      programs.push_back(shader.program);
      textures.push_back(texture.texture);
      buffers.push_back(mesh.vertexBuffer);
    }
  });
  // Only the last load's objects are alive.
  for (int i = 0; i + 1 < kRounds; ++i) {
    EXPECT_FALSE(glIsProgram(programs[i]));
    EXPECT_FALSE(glIsTexture(textures[i]));
    EXPECT_FALSE(glIsBuffer(buffers[i]));
  }
  EXPECT_TRUE(glIsProgram(shader.program));
  EXPECT_TRUE(glIsTexture(texture.texture));
  EXPECT_TRUE(glIsBuffer(mesh.vertexBuffer));
}
