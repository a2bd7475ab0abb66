#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/screen.h"
#include "camera/camera.h"
#include "camera/camera_hud.h"
#include "camera/camera_matrices.h"
#include "gpu/gl.h"
#include "support/test_support.h"

namespace {
const char* kUsesEveryCameraUniform = R"(
uniform mat4 proj;
uniform mat4 view;
uniform mat4 viewproj;
uniform vec3 eyePos;
uniform mat3 nview;
uniform mat3 nview2;
uniform mat4 tview;
attribute vec4 pos;
void main() {
  gl_Position = proj * view * pos + viewproj * pos + tview * pos +
                vec4(nview * pos.xyz + nview2 * pos.xyz + eyePos, 0.0);
}
)";
const char* kWhite = "void main() { gl_FragColor = vec4(1.0); }\n";

template <int N>
void readUniform(GLuint program, const char* name, float (&out)[N]) {
  const GLint location = glGetUniformLocation(program, name);
  ASSERT_NE(location, -1) << name;
  glGetUniformfv(program, location, out);
}

class CameraUniforms : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ensureGLContext()) GTEST_SKIP() << "no display";
  }
};
}  // namespace

TEST_F(CameraUniforms, UploadsTheViewOfAnEyeOnTheZAxis) {
  const GLuint program = buildTestProgram(kUsesEveryCameraUniform, kWhite);
  ASSERT_NE(program, 0u);
  glUseProgram(program);
  setScreenMetrics(1600, 800);

  Camera camera;
  camera.eyePos = {0, 0, 10};
  camera.lookAt = {0, 0, 0};
  camera.setUniforms();
  ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  const CameraMatrices expected =
      cameraMatrices(camera.eyePos, camera.lookAt, camera.upVector, camera.fov, 2.0f,
                     camera.near, camera.far);
  float view[16], tview[16], proj[16], viewproj[16], nview[9], nview2[9], eye[3];
  readUniform(program, "view", view);
  readUniform(program, "tview", tview);
  readUniform(program, "proj", proj);
  readUniform(program, "viewproj", viewproj);
  readUniform(program, "nview", nview);
  readUniform(program, "nview2", nview2);
  readUniform(program, "eyePos", eye);
  EXPECT_EQ(view[14], -10.0f);   // [3][2]
  EXPECT_EQ(tview[11], -10.0f);  // [2][3]
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(view[i], expected.view.m[i]);
    EXPECT_EQ(tview[i], expected.transposedView.m[i]);
    EXPECT_EQ(proj[i], expected.projection.m[i]);
    EXPECT_EQ(viewproj[i], expected.viewProjection.m[i]);
  }
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(nview[i], expected.normalView.m[i]);
    EXPECT_EQ(nview2[i], expected.normalMatrix.m[i]);
  }
  EXPECT_EQ(eye[2], 10.0f);
  // Ratio -1 follows the window: aspect 2 above, 1 after a resize.
  setScreenMetrics(800, 800);
  camera.setUniforms();
  readUniform(program, "proj", proj);
  EXPECT_FLOAT_EQ(proj[0], proj[5]);

  // Field of view 0 switches to the orthographic matrix.
  camera.fov = 0.0f;
  camera.setUniforms();
  readUniform(program, "proj", proj);
  EXPECT_EQ(proj[0], 0.01f);
  EXPECT_EQ(proj[10], -0.005f);
  EXPECT_EQ(proj[14], -1.5f);
  EXPECT_EQ(proj[15], 1.0f);
  glUseProgram(0);
}

TEST_F(CameraUniforms, ProgramWithoutCameraUniformsIsLeftAlone) {
  const GLuint program =
      buildTestProgram("attribute vec4 pos;\nvoid main() { gl_Position = pos; }\n", kWhite);
  ASSERT_NE(program, 0u);
  glUseProgram(program);
  Camera camera;
  camera.eyePos = {1, 2, 3};
  camera.setUniforms();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_EQ(camera.view.at(3, 3), 1.0f);  // still built and kept
  glUseProgram(0);
}

TEST_F(CameraUniforms, HudLoadsItsShaderAndImage) {
  // The HUD files are read relative to the working directory, as in a run.
  TempDir dir;
  std::filesystem::create_directories("src/drawables");
  const std::string source = TARVO_SOURCE_DIR "/src/drawables/";
  for (const char* file : {"cameraHUD.glsl", "cameraHUD.png"})
    std::filesystem::copy_file(source + file, std::string("src/drawables/") + file);

  Camera camera;
  EXPECT_EQ(camera.hud, nullptr);
  const std::string log = captureStdout([&] { camera.createHud(); });
  ASSERT_NE(camera.hud, nullptr);
  EXPECT_EQ(camera.hud->quad.name, "None");
  EXPECT_NE(camera.hud->shader.program, 0u) << log;
  EXPECT_NE(camera.hud->texture.texture, 0u) << log;
  EXPECT_EQ(camera.hud->texture.width, 64);
  const CameraHud* first = camera.hud.get();
  camera.createHud();
  EXPECT_EQ(camera.hud.get(), first);
}
