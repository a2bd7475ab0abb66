#include <gtest/gtest.h>

#include <cmath>

#include "camera/camera.h"
#include "camera_test_keys.h"
#include "support/fake_input.h"
#include "support/test_support.h"

namespace {
bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

float distance(const vec3& a, const vec3& b) {
  const vec3 d = a - b;
  return std::sqrt(dot(d, d));
}

class CameraControl : public ::testing::Test {
 protected:
  // One frame of the camera step; the given keys are tapped before it.
  bool frame(std::initializer_list<int> taps = {}) {
    input.nextFrame();
    for (int key : taps) input.tap(key);
    return camera.control();
  }
  std::string loggedFrame(std::initializer_list<int> taps = {}) {
    return captureStdout([&] { frame(taps); });
  }
  void switchOn() {
    camera.eyePos = {0, 0, 10};
    camera.lookAt = {0, 0, 0};
    captureStdout([&] { ASSERT_TRUE(frame({'C'})); });
  }

  TempDir dir;
  FakeInput input;
  Camera camera;
};
}  // namespace

TEST_F(CameraControl, CTogglesFreeCameraMode) {
  EXPECT_FALSE(frame());
  camera.currentKey = 0;
  input.setCursor(300, 200, false);
  std::string log = captureStdout([&] { EXPECT_TRUE(frame({'C'})); });
  EXPECT_EQ(log, "Camera Mode: On\nactive camera: 0\n");
  EXPECT_EQ(camera.cursor.x, 300);
  EXPECT_EQ(camera.cursor.y, 200);
  EXPECT_TRUE(frame());
  log = captureStdout([&] { EXPECT_FALSE(frame({'C'})); });
  EXPECT_EQ(log, "Camera Mode: Off\n");
  EXPECT_FALSE(camera.freeCamera);

  // Without keyboard focus no key counts.
  input.setFocus(false);
  EXPECT_FALSE(frame({'C'}));
}

TEST_F(CameraControl, StepKeysMoveThirteenUnitsPerPress) {
  switchOn();
  EXPECT_EQ(camera.lookAt.z, 9.0f);  // the look-at point sits one unit ahead

  frame({'W'});
  EXPECT_EQ(camera.eyePos.z, -3.0f);
  EXPECT_EQ(camera.lookAt.z, -4.0f);
  input.nextFrame();
  input.keyDown('W');  // held: fires once, then never again while held
  frame();
  frame();
  frame();
  EXPECT_EQ(camera.eyePos.z, -16.0f);
  input.keyUp('W');

  frame({'W', 'S'});  // the later key of the pair wins
  EXPECT_EQ(camera.eyePos.z, -3.0f);

  frame({'D'});  // looking down -z with y up, right is +x
  EXPECT_EQ(camera.eyePos.x, 13.0f);
  frame({'D', 'A'});
  EXPECT_EQ(camera.eyePos.x, 0.0f);

  // Along an oblique direction the step is still 13 units.
  camera.eyePos = {1, 2, 3};
  camera.lookAt = {4, 6, 3.5f};
  const vec3 start = camera.eyePos;
  frame({'W'});
  EXPECT_NEAR(distance(camera.eyePos, start), 13.0f, 1e-5f);
  EXPECT_NEAR(distance(camera.lookAt, camera.eyePos), 1.0f, 1e-6f);
  EXPECT_EQ(camera.upVector.y, 1.0f);
}

TEST_F(CameraControl, FieldOfViewAndMouseLook) {
  switchOn();
  frame({'Q'});
  EXPECT_EQ(camera.fov, 61.0f);
  frame({'E'});
  frame({'E'});
  EXPECT_EQ(camera.fov, 59.0f);

  // Motion without the button is measured but does not turn the view.
  input.setCursor(192, 0, false);
  frame();
  EXPECT_EQ(camera.lookAt.x, 0.0f);
  EXPECT_EQ(camera.cursor.x, 192);

  // 192 pixels right with the button held: 45 degrees to the right.
  input.setCursor(384, 0, true);
  frame();
  EXPECT_FLOAT_EQ(camera.lookAt.x - camera.eyePos.x, 1.0f);
  EXPECT_FLOAT_EQ(camera.lookAt.z - camera.eyePos.z, -1.0f);

  // Moving down turns the view down.
  camera.lookAt = {0, 0, 0};
  camera.eyePos = {0, 0, 10};
  input.setCursor(384, 108, true);
  frame();
  EXPECT_FLOAT_EQ(camera.lookAt.y, -1.0f);
  EXPECT_FLOAT_EQ(camera.lookAt.z, 9.0f);
}

TEST_F(CameraControl, FirstFrameAfterLoadingSelectsKeyZero) {
  for (int i = 0; i < 3; ++i) camera.keys.push_back(testKey(i));
  camera.currentKey = 3;  // as loading three keys leaves it
  const std::string log = loggedFrame({'C'});
  EXPECT_EQ(log, "Camera Mode: On\nactive camera: 3\nCurrent Camera: 0\n");
  EXPECT_EQ(camera.currentKey, 0);
  EXPECT_TRUE(sameKey(camera.currentView(), testKey(0)));

  EXPECT_EQ(loggedFrame({vk::Down}), "Current Camera: 2\n");
  EXPECT_TRUE(sameKey(camera.currentView(), testKey(2)));
  EXPECT_EQ(loggedFrame({vk::Up}), "Current Camera: 0\n");
  EXPECT_EQ(loggedFrame({vk::Up, vk::Down}), "");
}

TEST_F(CameraControl, EditingKeys) {
  for (int i = 0; i < 3; ++i) camera.keys.push_back(testKey(i));
  camera.currentKey = 1;
  camera.selectKey(1);
  captureStdout([&] { frame({'C'}); });
  ASSERT_EQ(camera.currentKey, 1);

  // F appends the current view and moves the index on by one, not to it.
  std::string log = loggedFrame({'F'});
  EXPECT_TRUE(contains(log, "Inserted Pos at 3\n\tNumber of keys in stack: 4\n"));
  EXPECT_TRUE(contains(log, "Camera::Rebuild Tables\n"));
  EXPECT_FALSE(contains(log, "Current Camera"));
  ASSERT_EQ(camera.keys.size(), 4u);
  EXPECT_TRUE(sameKey(camera.keys[3], camera.currentView()));
  EXPECT_EQ(camera.currentKey, 2);

  // T copies the current key right after it and names the copy.
  camera.keys.resize(3);
  camera.currentKey = 1;
  log = loggedFrame({'T'});
  EXPECT_EQ(log, "\tNumber of keys in stack: 4 (copy)\nCamera::Rebuild Tables\n");
  ASSERT_EQ(camera.keys.size(), 4u);
  EXPECT_TRUE(sameKey(camera.keys[2], testKey(1)));
  EXPECT_TRUE(sameKey(camera.keys[3], testKey(2)));
  EXPECT_TRUE(sameKey(camera.currentView(), testKey(1)));
  EXPECT_EQ(camera.currentKey, 2);

  // Delete at the last of three keys leaves the index on the one before.
  camera.keys = {testKey(0), testKey(1), testKey(2)};
  camera.currentKey = 2;
  log = loggedFrame({vk::Delete});
  EXPECT_EQ(log, "Deleting Index: 2\nCamera::Rebuild Tables\n");
  EXPECT_EQ(camera.keys.size(), 2u);
  EXPECT_EQ(camera.currentKey, 1);

  // Deleting key 0 wraps the index to the last key and selects it.
  camera.currentKey = 0;
  log = loggedFrame({vk::Delete});
  EXPECT_EQ(log, "Deleting Index: 0\nCamera::Rebuild Tables\nCurrent Camera: 0\n");
  ASSERT_EQ(camera.keys.size(), 1u);
  EXPECT_TRUE(sameKey(camera.currentView(), testKey(1)));

  // R prints the view and rebuilds.
  log = loggedFrame({'R'});
  EXPECT_TRUE(contains(log, "\tEyepos: "));
  EXPECT_TRUE(contains(log, "\timestamp: 0.000000\nCamera::Rebuild Tables\n"));
}

TEST_F(CameraControl, EditingWithNoKeysChangesNothing) {
  switchOn();
  const std::string log = loggedFrame({'T', 'U', vk::Delete});
  EXPECT_EQ(log, "Camera::Rebuild Tables\n");
  EXPECT_TRUE(camera.keys.empty());
  EXPECT_EQ(camera.currentKey, 0);

  // V saves; with the path set and keys present the file appears.
  camera.keyFilePath = "saved.cam";
  frame({'F'});
  captureStdout([&] { frame({'V'}); });
  EXPECT_EQ(readBytes("saved.cam").size(), 56u);
}
