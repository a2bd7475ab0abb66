#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <filesystem>
#include <vector>

#include "gpu/shader.h"
#include "gpu/texture.h"
#include "support/test_support.h"

namespace {
class TextureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ensureGLContext());
    std::filesystem::create_directory("data");
  }

  // Writes a w x h PNG of n channels whose byte i is (i * 37 + 11) & 255.
  static std::vector<unsigned char> writePng(const std::string& file, int w, int h, int n) {
    std::vector<unsigned char> pixels(static_cast<size_t>(w * h * n));
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<unsigned char>((i * 37 + 11) & 255);
    EXPECT_NE(stbi_write_png(file.c_str(), w, h, n, pixels.data(), w * n), 0);
    return pixels;
  }

  static std::vector<unsigned char> levelZero(const Texture& texture) {
    std::vector<unsigned char> rgba(static_cast<size_t>(texture.width * texture.height * 4));
    glBindTexture(GL_TEXTURE_2D, texture.texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return rgba;
  }

  static GLint storedFormat(const Texture& texture) {
    GLint format = 0;
    glBindTexture(GL_TEXTURE_2D, texture.texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    return format;
  }

  TempDir dir;
};
}  // namespace

TEST_F(TextureTest, UnderscoreNamesHoldDataOtherNamesAreSRGB) {
  const std::vector<unsigned char> data = writePng("data/_noise.png", 4, 2, 4);
  writePng("data/noise.png", 5, 3, 3);  // odd width: rows are not 4-byte aligned

  Texture linear;
  std::string out = captureStdout([&] { EXPECT_TRUE(linear.load("data\\_noise.png")); });
  EXPECT_EQ(out, "\tLoaded Texture: data\\_noise.png\n\t\t4x2  isHDR=0  isSRGB=0\n");
  EXPECT_EQ(linear.name, "_noise.png");
  EXPECT_EQ(linear.internalFormat, static_cast<GLenum>(GL_RGBA));
  EXPECT_EQ(linear.pixelFormat, static_cast<GLenum>(GL_RGBA));
  EXPECT_TRUE(storedFormat(linear) == GL_RGBA || storedFormat(linear) == GL_RGBA8);
  EXPECT_EQ(levelZero(linear), data);

  Texture srgb;
  out = captureStdout([&] { EXPECT_TRUE(srgb.load("data\\noise.png")); });
  EXPECT_EQ(out, "\tLoaded Texture: data\\noise.png\n\t\t5x3  isHDR=0  isSRGB=1\n");
  EXPECT_EQ(srgb.channels, 3);
  EXPECT_EQ(srgb.internalFormat, static_cast<GLenum>(GL_SRGB_ALPHA));
  EXPECT_EQ(srgb.pixelFormat, static_cast<GLenum>(GL_RGB));
  EXPECT_TRUE(storedFormat(srgb) == GL_SRGB_ALPHA || storedFormat(srgb) == GL_SRGB8_ALPHA8);
  // The name's first character counts, not the path's.
  Texture underscoredDirectory;
  std::filesystem::create_directory("_dir");
  writePng("_dir/plain.png", 2, 2, 4);
  captureStdout([&] { underscoredDirectory.load("_dir\\plain.png"); });
  EXPECT_TRUE(underscoredDirectory.isSRGB);
}

TEST_F(TextureTest, GreyImagesAreExpandedToFourChannels) {
  const std::vector<unsigned char> grey = writePng("data/_grey.png", 3, 3, 1);
  const std::vector<unsigned char> greyAlpha = writePng("data/_ga.png", 3, 1, 2);
  Texture g, ga;
  captureStdout([&] {
    EXPECT_TRUE(g.load("data\\_grey.png"));
    EXPECT_TRUE(ga.load("data\\_ga.png"));
  });
  EXPECT_EQ(g.channels, 1);
  EXPECT_EQ(ga.channels, 2);
  const std::vector<unsigned char> gPixels = levelZero(g);
  for (size_t i = 0; i < grey.size(); ++i) {
    EXPECT_EQ(gPixels[i * 4 + 0], grey[i]);
    EXPECT_EQ(gPixels[i * 4 + 2], grey[i]);
    EXPECT_EQ(gPixels[i * 4 + 3], 255);
  }
  const std::vector<unsigned char> gaPixels = levelZero(ga);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(gaPixels[i * 4 + 1], greyAlpha[i * 2]);
    EXPECT_EQ(gaPixels[i * 4 + 3], greyAlpha[i * 2 + 1]);
  }
}

TEST_F(TextureTest, RadianceFileLoadsAsFloats) {
  // Two flat RGBE pixels: exponent 129 scales the mantissa by 2^-7.
  std::string hdr = "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 1 +X 2\n";
  for (const unsigned char byte : {128, 64, 32, 129, 64, 64, 64, 130}) hdr += static_cast<char>(byte);
  writeFile("data/sky.png.hdr", hdr);
  Texture sky;
  const std::string out = captureStdout([&] { EXPECT_TRUE(sky.load("data\\sky.png.hdr")); });
  EXPECT_EQ(out, "\tLoaded Texture: data\\sky.png.hdr\n\t\t2x1  isHDR=1  isSRGB=1\n");
  EXPECT_EQ(sky.internalFormat, static_cast<GLenum>(GL_RGB32F));
  EXPECT_EQ(sky.pixelType, static_cast<GLenum>(GL_FLOAT));
  EXPECT_EQ(storedFormat(sky), GL_RGB32F);
  float rgb[6] = {};
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_FLOAT, rgb);
  const float expected[6] = {1.0f, 0.5f, 0.25f, 1.0f, 1.0f, 1.0f};
  for (int i = 0; i < 6; ++i) EXPECT_FLOAT_EQ(rgb[i], expected[i]) << i;
}

TEST_F(TextureTest, CorruptAndMissingFilesFailWithoutATexture) {
  writeFile("data/bad.png", std::string("\x89PNG\r\n\x1a\n garbage", 17));
  Texture bad;
  std::string out = captureStdout([&] { EXPECT_FALSE(bad.load("data\\bad.png")); });
  EXPECT_EQ(out, "Texture data\\bad.png failed to load\n");
  EXPECT_EQ(bad.texture, 0u);
  EXPECT_EQ(bad.name, "bad.png");

  Texture missing;
  out = captureStdout([&] { EXPECT_FALSE(missing.load("data\\none.jpg")); });
  EXPECT_NE(out.find("File data\\none.jpg not found.\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Texture data\\none.jpg failed to load\n"), std::string::npos) << out;
}

TEST_F(TextureTest, BindTexturePublishesTheImagesTexelSize) {
  writePng("data/wide.png", 512, 256, 4);
  Texture wide;
  captureStdout([&] { EXPECT_TRUE(wide.load("data\\wide.png")); });
  writeFile("data/s.glsl",
            "attribute vec4 pos;\nvoid main() { gl_Position = pos; }\n//FRAGMENT\n"
            "uniform sampler2D Texture1;\nuniform vec2 texel1;\n"
            "void main() { gl_FragColor = texture2D(Texture1, texel1); }\n");
  Shader shader;
  captureStdout([&] { EXPECT_TRUE(shader.load("data\\s.glsl")); });
  shader.bind();
  wide.bindTexture(1, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, GL_CLAMP_TO_EDGE);
  GLint unit = -1;
  glGetUniformiv(shader.program, glGetUniformLocation(shader.program, "Texture1"), &unit);
  EXPECT_EQ(unit, 1);
  float texel[2] = {};
  glGetUniformfv(shader.program, glGetUniformLocation(shader.program, "texel1"), texel);
  EXPECT_EQ(texel[0], 1.0f / 512.0f);
  EXPECT_EQ(texel[1], 1.0f / 256.0f);
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), wide.texture);
  glActiveTexture(GL_TEXTURE0);
  glUseProgram(0);
}
