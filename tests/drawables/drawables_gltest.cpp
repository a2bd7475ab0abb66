#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "base/screen.h"
#include "drawables/line_batch.h"
#include "drawables/quads.h"
#include "drawables/spectrum_grid.h"
#include "gpu/gl.h"
#include "support/test_support.h"

namespace {
constexpr int kSize = 32;

GLint bufferSize(GLuint buffer) {
  GLint size = 0;
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
  return size;
}

std::vector<float> bufferFloats(GLuint buffer, size_t firstFloat, size_t count) {
  std::vector<float> values(count);
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  glGetBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(firstFloat * sizeof(float)),
                     static_cast<GLsizeiptr>(count * sizeof(float)), values.data());
  return values;
}

bool attributeEnabled(GLuint program, const char* name) {
  GLint enabled = 0;
  glGetVertexAttribiv(static_cast<GLuint>(glGetAttribLocation(program, name)), GL_VERTEX_ATTRIB_ARRAY_ENABLED,
                      &enabled);
  return enabled != 0;
}

class DrawablesGL : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ensureGLContext());
    glGenFramebuffers(1, &framebuffer);
    glGenRenderbuffers(1, &colour);
    glBindRenderbuffer(GL_RENDERBUFFER, colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kSize, kSize);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    ASSERT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
    glViewport(0, 0, kSize, kSize);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }

  void TearDown() override {
    glUseProgram(0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteRenderbuffers(1, &colour);
    glDeleteFramebuffers(1, &framebuffer);
    // Leave no attribute array enabled for the next test.
    for (GLuint i = 0; i < 8; ++i) glDisableVertexAttribArray(i);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  }

  std::array<int, 4> centre() {
    std::array<unsigned char, 4> rgba{};
    glReadPixels(kSize / 2, kSize / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return {rgba[0], rgba[1], rgba[2], rgba[3]};
  }

  GLuint framebuffer = 0;
  GLuint colour = 0;
};
}  // namespace

TEST_F(DrawablesGL, GridUploadsDrawsAndPrintsInitOnce) {
  setScreenMetrics(510, 255);
  SpectrumGrid grid;
  grid.create();
  EXPECT_NE(grid.faceVertexBuffer, 0u);
  EXPECT_NE(grid.faceIndexBuffer, 0u);
  EXPECT_EQ(bufferSize(grid.faceVertexBuffer), 130050 * 96);
  EXPECT_EQ(bufferSize(grid.faceIndexBuffer), 130050 * 12);

  // The unit square before any update: every face normal is (0, 0, −1). Red
  // shows the normal, green the "resolution" uniform, blue "tc".
  const GLuint program = buildTestProgram(
      "attribute vec3 pos; attribute vec2 tc; attribute vec3 normal; varying vec3 c;\n"
      "uniform vec2 resolution;\n"
      "void main() { c = vec3(-normal.z, resolution.x / 1020.0, tc.x); gl_Position = vec4(pos.xy, 0.0, 1.0); "
      "}",
      "varying vec3 c; void main() { gl_FragColor = vec4(c, 1.0); }");
  glUseProgram(program);
  grid.draw();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  const std::array<int, 4> pixel = centre();
  EXPECT_EQ(pixel[0], 255);
  EXPECT_NEAR(pixel[1], 128, 1);
  EXPECT_NEAR(pixel[2], 130, 4);  // tc.x near the middle of the square
  EXPECT_FALSE(attributeEnabled(program, "pos"));
  EXPECT_TRUE(attributeEnabled(program, "normal"));

  // The first successful update prints "init" once per process; a refused
  // one prints its log line and uploads nothing.
  TempDir dir;
  std::vector<vec4> points;
  for (int i = 0; i < 65536; ++i) points.push_back(vec4{(i % 256) * 4.0f, 1.0f, (i / 256) * 12.0f, 9.0f});
  spectrumGridUploaded = false;
  std::vector<vec4> tooFew(points.begin(), points.end() - 1);
  EXPECT_EQ(captureStdout([&] { grid.updateGrid(tooFew, 256, 256); }),
            "updateGrid::Not enough points 65535 65536\n");
  EXPECT_FALSE(spectrumGridUploaded);
  EXPECT_EQ(captureStdout([&] { grid.updateGrid(points, 256, 256); }), "init\n");
  EXPECT_EQ(captureStdout([&] { grid.updateGrid(points, 256, 256); }), "");
  EXPECT_TRUE(spectrumGridUploaded);
  // The buffer holds the first triangle's corners and its downward normal.
  EXPECT_EQ(bufferFloats(grid.faceVertexBuffer, 0, 9), (std::vector<float>{0, 1, 0, 4, 1, 0, 0, 1, 12}));
  EXPECT_EQ(bufferFloats(grid.faceVertexBuffer, grid.faceNormalOffset(), 3), (std::vector<float>{0, -1, 0}));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  glDeleteProgram(program);
}

TEST_F(DrawablesGL, QuadsCreateSetAndDrawWithinTheirCount) {
  Quads quads;
  quads.create("particles", 10);
  EXPECT_EQ(quads.name, "particles");
  EXPECT_EQ(bufferSize(quads.vertexBuffer), 960);
  EXPECT_EQ(bufferSize(quads.indexBuffer), 240);
  EXPECT_EQ(bufferFloats(quads.vertexBuffer, 16 * 3 + 4, 4), (std::vector<float>{1, 0, 3, 0.03125f}));

  // Each quad of the creation layout covers the viewport; the quad index in
  // z sets the colour, so the last quad drawn shows.
  const GLuint program = buildTestProgram(
      "attribute vec4 pos; attribute vec2 tex; varying vec4 c;\n"
      "void main() { c = vec4(pos.z / 10.0, tex, 1.0); gl_Position = vec4(pos.xy * 2.0 - 1.0, 0.0, 1.0); }",
      "varying vec4 c; void main() { gl_FragColor = c; }");
  glUseProgram(program);
  quads.draw(4);
  EXPECT_NEAR(centre()[0], 77, 1);   // quad 3
  quads.draw(1000);                  // cut to 10
  EXPECT_NEAR(centre()[0], 230, 1);  // quad 9
  glClear(GL_COLOR_BUFFER_BIT);
  quads.draw(-1);  // nothing
  EXPECT_EQ(centre()[3], 0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_FALSE(attributeEnabled(program, "pos"));

  std::vector<vec4> many;
  for (int i = 0; i < 25; ++i) many.push_back(vec4{float(i), 2, 3, 4});
  quads.setPositions(many);
  EXPECT_EQ(bufferSize(quads.vertexBuffer), 960);
  EXPECT_EQ(bufferFloats(quads.vertexBuffer, 16 * 9 + 12, 4), (std::vector<float>{9, 2, 3, 4}));
  EXPECT_EQ(bufferFloats(quads.vertexBuffer, quads.texCoordOffset() + 8 * 9, 8),
            (std::vector<float>{0, 0, 1, 0, 0, 1, 1, 1}));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  glDeleteProgram(program);
}

TEST_F(DrawablesGL, LineBatchUploadsAndDraws255Segments) {
  LineBatch lines;
  lines.create();
  EXPECT_EQ(bufferSize(lines.vertexBuffer), 229376);
  EXPECT_EQ(bufferSize(lines.indexBuffer), 24576);

  std::vector<vec3> row;
  for (int c = 0; c < 256; ++c) row.push_back(vec3{c / 255.0f, 0.5f, 0.0f});
  lines.setPoints(row);
  EXPECT_EQ(bufferFloats(lines.vertexBuffer, lines.controlPointOffset(3) + 3 * (4 * 254), 3),
            (std::vector<float>{1, 0.5f, 0}));

  // Each segment spans the viewport through its texture coordinate; the
  // colour shows its far end, so the last segment drawn (254) is seen.
  const GLuint program = buildTestProgram(
      "attribute vec3 p0; attribute vec3 p1; attribute vec3 p2; attribute vec3 p3; attribute vec2 tc;\n"
      "varying vec4 c;\n"
      "void main() { c = vec4(p2.x, p3.y, p0.z + p1.z, 1.0); gl_Position = vec4(tc * 2.0 - 1.0, 0.0, 1.0); }",
      "varying vec4 c; void main() { gl_FragColor = c; }");
  glUseProgram(program);
  lines.draw();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  const std::array<int, 4> pixel = centre();
  EXPECT_EQ(pixel[0], 255);
  EXPECT_NEAR(pixel[1], 128, 1);
  EXPECT_FALSE(attributeEnabled(program, "p0"));

  // Too many points are cut; the buffer keeps its size.
  std::vector<vec3> longLine(5000, vec3{0.25f, 0.25f, 0.0f});
  lines.setPoints(longLine);
  EXPECT_EQ(bufferSize(lines.vertexBuffer), 229376);
  lines.draw();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  glDeleteProgram(program);
}
