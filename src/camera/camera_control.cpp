// Camera: the per-frame free-camera step (C toggles it; W/A/S/D step, Q/E
// change the field of view, the mouse turns the view with the left button
// held, R/F/T/U/V/Delete edit the key list, Up/Down select a key).
#include "base/keys.h"
#include "base/log.h"
#include "camera/camera.h"

namespace {
constexpr float kStep = 13.0f;
constexpr float kFovStep = 1.0f;
// Mouse motion is scaled by a fixed screen size, whatever the window's.
constexpr float kMouseScaleX = 1920.0f;
constexpr float kMouseScaleY = 1080.0f;
constexpr float kLookSpeed = 10.0f;

void readCursor(int& x, int& y) {
  if (InputSource* source = inputSource()) source->cursorPosition(x, y);
}

bool leftButtonDown() {
  InputSource* source = inputSource();
  return source && source->leftButtonDown();
}
}  // namespace

bool Camera::handleEditingKeys() {
  bool edited = false;
  if (KeyPressed('R')) {
    printView();
    edited = true;
  }
  if (KeyPressed('F')) {
    saveCameraPos(currentKey);
    edited = true;
  }
  if (KeyPressed('T')) {
    copyKey(currentKey);
    edited = true;
  }
  if (KeyPressed('U')) {
    updateKey(currentKey);
    edited = true;
  }
  if (KeyPressed('V')) {
    saveKeys();
    edited = true;
  }
  if (KeyPressed(vk::Delete)) {
    deleteKey(currentKey);
    edited = true;
  }
  return edited;
}

bool Camera::control() {
  if (KeyPressed('C')) {
    freeCamera = !freeCamera;
    if (freeCamera) {
      Log("Camera Mode: On\n");
      Log("active camera: %d\n", currentKey);
      readCursor(cursor.x, cursor.y);
    } else {
      Log("Camera Mode: Off\n");
    }
  }
  if (!freeCamera) return false;

  int x = cursor.x;
  int y = cursor.y;
  readCursor(x, y);
  const float dx = static_cast<float>(x - cursor.x) / kMouseScaleX;
  const float dy = static_cast<float>(y - cursor.y) / kMouseScaleY;
  cursor.x = x;
  cursor.y = y;

  float forward = 0.0f;
  float side = 0.0f;
  if (KeyPressed('W')) forward = kStep;
  if (KeyPressed('S')) forward = -kStep;
  if (KeyPressed('D')) side = kStep;
  if (KeyPressed('A')) side = -kStep;
  if (KeyPressed('Q')) fov += kFovStep;
  if (KeyPressed('E')) fov -= kFovStep;

  const vec3 f = normalize(lookAt - eyePos);
  const vec3 s = normalize(cross(f, upVector));
  eyePos += f * forward;
  eyePos += s * side;
  lookAt = eyePos + f;
  if (leftButtonDown()) {
    lookAt += upVector * (-kLookSpeed * dy);
    lookAt += s * (kLookSpeed * dx);
  }

  if (handleEditingKeys()) logRebuild();

  const int previous = currentKey;
  currentKey = CycleIndex(currentKey, static_cast<int>(keys.size()) - 1);
  if (currentKey != previous) {
    Log("Current Camera: %d\n", currentKey);
    selectKey(currentKey);
  }
  return true;
}
