#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <filesystem>

#include "gpu/image_prefetch.h"
#include "gpu/mesh.h"
#include "gpu/mesh_bytes.h"
#include "gpu/quad.h"
#include "gpu/render_target.h"
#include "gpu/resource_registry.h"
#include "gpu/shader.h"
#include "gpu/texture.h"
#include "support/test_support.h"

namespace {
const char* const kGoodShader =
    "attribute vec4 pos;\nvoid main() { gl_Position = pos; }\n//FRAGMENT\n"
    "void main() { gl_FragColor = vec4(1.0); }\n";

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(ensureGLContext()); }

  static std::vector<std::string> names(const ResourceRegistry& registry) {
    std::vector<std::string> result;
    for (const auto& object : registry.objects) result.push_back(object->name);
    return result;
  }

  TempDir dir;
};

void writeSmallPng(const std::string& file) {
  const unsigned char pixels[4 * 4] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 9, 9, 9, 9};
  ASSERT_NE(stbi_write_png(file.c_str(), 2, 2, 4, pixels, 8), 0);
}
}  // namespace

TEST_F(RegistryTest, StartsWithTheScreenQuad) {
  ResourceRegistry registry;
  ASSERT_EQ(registry.objects.size(), 1u);
  DataObject* found = nullptr;
  EXPECT_EQ(captureStdout([&] { found = registry.find("screenSpace"); }), "");
  EXPECT_EQ(found, registry.objects[0].get());
  EXPECT_NE(registry.findAs<Quad>("screenSpace"), nullptr);
  EXPECT_EQ(registry.elapsed, 0.0);
  EXPECT_GT(registry.secondsPerCount, 0.0);
}

TEST_F(RegistryTest, LoadsADirectoryInClassOrderAndLeavesFailuresOut) {
  std::filesystem::create_directory("data");
  writeFile("data/a.glsl", kGoodShader);
  writeFile("data/b.glsl", "void main() { gl_Position = vec4(0.0); }\n");  // no fragment part
  writeFile("data/bg.glsl", kGoodShader);
  writeFile("data/lib.glsl", "#NOCOMPILE\nfloat f() { return 1.0; }\n");
  writeSmallPng("data/c.png");
  writeSmallPng("data/A.PNG");           // matches no extension
  writeSmallPng("data/photo.png.hdr");   // ".png" and ".hdr": loaded twice
  writeFile("data/broken.jpg", "not an image");
  writeBytes("data/empty.rg", {});
  writeBytes("data/bad.ig", {1, 0, 0});  // too short for a vertex count
  // One good file of every other extension the table names.
  writeSmallPng("data/d.jpeg");
  writeSmallPng("data/e.jpg");
  writeBytes("data/quad.ig", indexedQuadBytes());

  ResourceRegistry registry;
  const std::string out = captureStdout([&] { registry.loadDirectory("data"); });
  EXPECT_EQ(out.rfind("loading from data\n", 0), 0u) << out;
  // Shaders, then textures extension by extension (.png, .jpeg, .jpg, .hdr),
  // then raw and indexed meshes.
  EXPECT_EQ(names(registry),
            (std::vector<std::string>{"screenSpace", "a.glsl", "bg.glsl", "c.png", "d.jpeg", "e.jpg",
                                      "photo.png.hdr", "photo.png.hdr", "empty.rg", "quad.ig"}));
  EXPECT_NE(registry.findAs<IndexedGeometry>("quad.ig"), nullptr);
  EXPECT_NE(registry.findAs<Shader>("a.glsl"), nullptr);
  EXPECT_NE(registry.findAs<Texture>("c.png"), nullptr);
  EXPECT_NE(registry.findAs<rawGeometry>("empty.rg"), nullptr);
  EXPECT_EQ(registry.find("a.glsl")->path, "data\\a.glsl");

  DataObject* found = registry.objects[1].get();
  EXPECT_EQ(captureStdout([&] { found = registry.find("BG.glsl"); }), "Sorry bud, couldn't find: BG.glsl");
  EXPECT_EQ(found, nullptr);
  EXPECT_EQ(captureStdout([&] { found = registry.find("b.glsl"); }), "Sorry bud, couldn't find: b.glsl");
  EXPECT_EQ(found, nullptr);

  // A missing directory registers nothing.
  const size_t before = registry.objects.size();
  EXPECT_EQ(captureStdout([&] { registry.loadDirectory("nowhere"); }), "loading from nowhere\n");
  EXPECT_EQ(registry.objects.size(), before);
}

TEST_F(RegistryTest, ImagesDecodedAheadLoadAsTheLoaderWouldHaveDecodedThem) {
  std::filesystem::create_directory("data");
  writeFile("data/a.glsl", kGoodShader);
  writeSmallPng("data/c.png");
  writeSmallPng("data/photo.png.hdr");  // listed twice, loaded twice
  writeFile("data/broken.jpg", "not an image");
  writeSmallPng("data/e.jpg");

  ResourceRegistry plain;
  const std::string plainOut = captureStdout([&] { plain.loadDirectory("data"); });
  ResourceRegistry ahead;
  std::string aheadOut;
  {
    ImagePrefetch images("data", 2);
    EXPECT_FALSE(images.take("data\\nothing.png").has_value());
    aheadOut = captureStdout([&] { ahead.loadDirectory("data", &images); });
    // Each decode is handed over once.
    EXPECT_FALSE(images.take("data\\c.png").has_value());
  }
  EXPECT_EQ(aheadOut, plainOut);
  EXPECT_NE(aheadOut.find("Texture data\\broken.jpg failed to load\n"), std::string::npos) << aheadOut;
  ASSERT_EQ(names(ahead), names(plain));
  for (size_t i = 0; i < ahead.objects.size(); ++i) {
    auto* texture = dynamic_cast<Texture*>(ahead.objects[i].get());
    if (!texture) continue;
    auto* expected = dynamic_cast<Texture*>(plain.objects[i].get());
    EXPECT_EQ(texture->width, expected->width);
    EXPECT_EQ(texture->channels, expected->channels);
    EXPECT_EQ(texture->internalFormat, expected->internalFormat);
    EXPECT_NE(texture->texture, 0u);
  }
}

TEST_F(RegistryTest, RenderTargetsByNameAndEndingActiveOnes) {
  ResourceRegistry registry;
  const std::string out = captureStdout([&] {
    registry.addRenderTarget(kFormatRGBA16F, true, 0.25f, "bg");
    registry.addRenderTarget(32, 16, kFormatRGBA8, "other");
    registry.addRenderTarget(16, 16, kFormatRGBA8, "bg");
    registry.addRenderTarget(16, 16, 9, "broken");
  });
  EXPECT_EQ(out.rfind("created RT: [bg] 480x270\ncreated RT: [other] 32x16\ncreated RT: [bg] 16x16\n", 0), 0u)
      << out;
  EXPECT_EQ(registry.objects.size(), 5u);  // the incomplete target is registered too
  auto* bg = registry.findAs<RenderTarget2D>("bg");
  ASSERT_NE(bg, nullptr);
  EXPECT_EQ(bg->width, 480.0f);  // the first of the two "bg" targets
  auto* other = registry.findAs<RenderTarget2D>("other");

  bg->begin();
  const std::string ended = captureStdout([&] { registry.endActiveRenderTargets(0); });
  EXPECT_EQ(ended, "");  // the quad is not asked whether it is active
  EXPECT_FALSE(bg->active());
  EXPECT_FALSE(other->active());
  // Only "bg" was ended (with mipmaps): its texture is the one left on unit 0.
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), bg->colorTexture);
  GLint framebuffer = -1;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer);
  EXPECT_EQ(framebuffer, 0);
}
